#pragma once
// The output formats and their writers, one row each in one table: how a
// format is named (--format, the output's extension, --help, the manual page
// and the shell's completion, the window's save dialog), what its file holds,
// its limits, the text of the writing stage, and how a conversion makes and
// opens its writer. A new format is one row in output_format.cpp beside its
// writer's own folder.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/progress_reporter.h"
#include "convert/conversion_stats.h"
#include "mesh/mesh_sink.h"

namespace morvale {

struct ConversionRequest;

enum class OutputFormat : std::uint8_t { obj, glb, gltf, stl, threemf };

// What a format's file holds besides positions and faces (bits of OutputWriter::holds).
enum FormatHolds : unsigned {
    holdsUv = 1u << 0,       // texture coordinates (--uv)
    holdsNormals = 1u << 1,  // vertex normals (--normals)
    holdsTexture = 1u << 2,  // an image draped over the mesh (--texture)
    holdsSolid = 1u << 3,    // a closed solid (--solid)
};

// Upper bounds of a mesh's counts, for a format's limits.
struct MeshBounds {
    std::int64_t vertices = 0;
    std::int64_t faces = 0;
    int faceCorners = 4;
};

// A writer made for one conversion, with what it keeps open for it.
class OpenWriter {
public:
    virtual ~OpenWriter() = default;
    virtual MeshSink& sink() = 0;
    // Once the stream ended: lets the writer go and closes what it kept
    // open; false when closing failed.
    virtual bool close() = 0;
    // The system's reason for the first failed write (empty: none told).
    virtual std::error_code writeError() const = 0;
};

// What a writer is made from.
struct WriterRun {
    const ConversionRequest& request;
    std::atomic<bool>& cancelRequested;
    ProgressReporter& progress;
    bool threaded;  // false: every stage on the calling thread
    // Where the output and its companion are written: temporary names beside
    // the request's, which the conversion renames into place once complete.
    const std::filesystem::path& outputFile;
    const std::filesystem::path& companionFile;
    // Set to the system's reason when the writer's file cannot be created.
    std::error_code& openError;
};

struct OutputWriter {
    OutputFormat format;
    const char* name;         // as --format takes it, lower case: "obj"
    const char* extension;    // of a default output name, and what picks the format: ".obj"
    const char* label;        // the window's file types: "OBJ" files (*.obj)
    const char* description;  // --help and the manual (the text rules of cli/cli_manual.h)
    unsigned holds;           // FormatHolds
    // The refusal of a request for something the format does not hold (null when it holds all).
    const char* holdsNotMessage;
    // --texture copies the image into the file (else the file refers to it).
    bool embedsTexture;
    // Takes vertices after a block taken ahead (MeshInfo::verticesAhead):
    // only then may the solid's base copies follow a surface taken ahead.
    bool verticesAfterAhead;
    bool inWindow;           // offered by the window's save dialog
    const char* windowType;  // its type there, before " (*.ext)": "OBJ files" (null when not offered)
    const char* writingStage;
    // Why a mesh of at most `bounds` cannot be written (null when it can); null: no limits.
    const char* (*limits)(const MeshBounds& bounds);
    // Makes the writer and creates its output; conversionFinished on success
    // (a bad_alloc may escape: the caller reports the memory).
    ConversionResult (*open)(const WriterRun& run, std::unique_ptr<OpenWriter>& writer);
    // The file it writes beside the output for `request` (empty: none).
    std::filesystem::path (*companion)(const ConversionRequest& request);
    // Holds nothing but a closed solid: asking for it implies --solid.
    bool alwaysSolid = false;
    // Why this build cannot write it (null when it can).
    const char* notInThisBuild = nullptr;
};

// The files a conversion of `request` creates: its output and the
// companion the format writes beside it (OBJ's material, glTF's buffer).
std::vector<std::filesystem::path> outputFiles(const ConversionRequest& request);

// Every format, the default (OBJ) first.
std::span<const OutputWriter> outputWriters();
const OutputWriter& outputWriter(OutputFormat format);

// By name, as typed on the command line (lower case); false for no format's.
bool parseOutputFormat(std::string_view name, OutputFormat& format);
// By the extension, in any case; anything else (no extension, ".txt") is OBJ.
OutputFormat formatOfPath(const std::filesystem::path& path);
// The same; false for an extension of no format's.
bool knownFormatOfPath(const std::filesystem::path& path, OutputFormat& format);
const char* formatExtension(OutputFormat format);
// "obj, glb or stl": the names in a sentence.
std::string formatNameList();
// ".obj, .glb or .stl": the extensions in a sentence.
std::string formatExtensionList();

// The format of the output file `output` when --format names `named` (or nothing).
enum class FormatChoice : std::uint8_t {
    chosen,          // by name, or by a known extension
    otherExtension,  // no --format and no known extension: OBJ, worth a note
    contradicted,    // --format names one format, the extension is another's: refused
};
FormatChoice chooseOutputFormat(const std::optional<OutputFormat>& named, const std::filesystem::path& output,
                                OutputFormat& format);

}  // namespace morvale
