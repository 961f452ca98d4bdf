#include "convert/output_format.h"

#include <optional>

#include "convert/conversion_files.h"
#include "convert/conversion_request.h"
#include "glb/glb_writer.h"
#include "mesh/cell_edges.h"
#include "obj/mtl_writer.h"
#include "obj/obj_mesh_writer.h"
#include "stl/stl_writer.h"
#include "threemf/threemf_writer.h"

namespace morvale {
namespace {

// The OBJ writer writes into a file opened for it, with its material lines.
class ObjFile final : public OpenWriter {
public:
    MeshSink& sink() override { return *writer; }
    bool close() override {
        writer.reset();
        return output.close();
    }
    std::error_code writeError() const override { return output.error(); }

    OutputFile output;
    std::string mtllib, usemtl;  // outlive the writer
    std::optional<ObjMeshWriter> writer;
};

ConversionResult openObj(const WriterRun& run, std::unique_ptr<OpenWriter>& opened) {
    const ConversionRequest& request = run.request;
    auto file = std::make_unique<ObjFile>();
    if (!file->output.open(run.outputFile)) {
        run.openError = file->output.error();
        return conversionOutputUncreatable;
    }
    const std::filesystem::path& texture = request.attributes.texture;
    if (!texture.empty()) {
        const std::string material = materialName(request.objectNameNarrow);
        const MtlOutcome mtl = writeMtlFile(request.outputPath, material, texture, run.companionFile);
        run.openError = mtl.error;
        if (mtl.result != MtlResult::written)
            return mtl.result == MtlResult::cannotCreate ? conversionOutputUncreatable : conversionWriteFailed;
        file->mtllib = mtllibLine(mtlPathFor(request.outputPath));
        file->usemtl = usemtlLine(material);
    }
    ObjMeshWriter& writer =
        file->writer.emplace(file->output, run.outputFile,
                             ObjTexts{request.objHeaderText, request.inputNameNarrow, request.objectNameNarrow},
                             request.settings.presetIndex, run.cancelRequested, run.progress, run.threaded);
    writer.useMaterial(file->mtllib, file->usemtl);
    if (request.settings.mode == TerrainMode::FloatingPlanes) writer.countQuadsAs(QuadComment::planesHandedOver);
    opened = std::move(file);
    return conversionFinished;
}

// GLB and STL create their own file.
template <class Writer>
class OwnFile final : public OpenWriter {
public:
    explicit OwnFile(const WriterRun& run) : writer(&run.cancelRequested, &run.progress) {}
    MeshSink& sink() override { return writer; }
    bool close() override { return true; }  // end() closed the file (or the writer does as it goes)
    std::error_code writeError() const override { return writer.writeError(); }

    Writer writer;
};

template <class Writer, class Options>
ConversionResult openOwnFile(const WriterRun& run, const Options& options, std::unique_ptr<OpenWriter>& opened) {
    auto file = std::make_unique<OwnFile<Writer>>(run);
    if (!file->writer.open(run.outputFile, options)) {
        run.openError = file->writer.writeError();
        return conversionOutputUncreatable;
    }
    opened = std::move(file);
    return conversionFinished;
}

GlbOptions glbOptions(const ConversionRequest& request) {
    GlbOptions options;
    if (request.settings.useXllYllOffsets) {
        // The real-world position of the grid's centre (output units): the
        // node's translation keeps it, so the float32 vertices stay as
        // precise as those of a grid centred on the origin.
        const GridHeader& h = request.header;
        const CellEdges edges = makeCellEdges(h, true, request.settings.unitScale);
        options.offset[0] = (edges.xOffsetCells + h.ncols * 0.5) * edges.cellEdge;
        options.offset[1] = (edges.yOffsetCells + h.nrows * 0.5) * edges.cellEdge;
    }
    options.texture = request.attributes.texture;
    return options;
}

ConversionResult openGlb(const WriterRun& run, std::unique_ptr<OpenWriter>& opened) {
    return openOwnFile<GlbWriter>(run, glbOptions(run.request), opened);
}

// The same document and buffer as the GLB's, the buffer in NAME.bin beside it.
ConversionResult openGltf(const WriterRun& run, std::unique_ptr<OpenWriter>& opened) {
    if (isSameFile(run.request.inputPath, gltfBufferPath(run.request.outputPath))) return conversionOutputIsInput;
    GlbOptions options = glbOptions(run.request);
    options.container = GltfContainer::separate;
    options.bufferPath = run.companionFile;
    options.bufferName = gltfBufferPath(run.request.outputPath).filename();
    return openOwnFile<GlbWriter>(run, options, opened);
}

ConversionResult openStl(const WriterRun& run, std::unique_ptr<OpenWriter>& opened) {
    StlOptions options;
    options.presetIndex = run.request.settings.presetIndex;
    options.spoolPath = run.request.outputPath;  // beside the output's final name, as the other spools
    options.spoolPath += ".vertices.tmp";
    return openOwnFile<StlWriter>(run, options, opened);
}

ConversionResult openThreeMf(const WriterRun& run, std::unique_ptr<OpenWriter>& opened) {
    ThreeMfOptions options;
    options.objectName = run.request.objectNameNarrow;
    return openOwnFile<ThreeMfWriter>(run, options, opened);
}

std::filesystem::path objMaterial(const ConversionRequest& request) {
    return request.attributes.texture.empty() ? std::filesystem::path{} : mtlPathFor(request.outputPath);
}

std::filesystem::path gltfBuffer(const ConversionRequest& request) { return gltfBufferPath(request.outputPath); }

const char* glbLimits(const MeshBounds& bounds) {
    MeshInfo info;
    info.faceCorners = bounds.faceCorners;
    const GlbFit fit = glbFits(bounds.vertices, bounds.faces, info, 0);
    return fit == GlbFit::fits ? nullptr : glbFitMessage(fit);
}

const char* stlLimits(const MeshBounds& bounds) {
    return stlFits(bounds.faces, bounds.faceCorners) ? nullptr : stlTooManyTrianglesMessage;
}

const char* threeMfLimits(const MeshBounds& bounds) {
    return threeMfFits(bounds.vertices, bounds.faces * (bounds.faceCorners == 4 ? 2 : 1))
               ? nullptr
               : "The mesh has more than 4 294 967 295 vertices or triangles, more than a 3MF file can number.";
}

constexpr OutputWriter writers[] = {
    {.format = OutputFormat::obj,
     .name = "obj",
     .extension = ".obj",
     .label = "OBJ",
     .description = "Wavefront OBJ text: quads (triangles when\n"
                    "simplified), coordinates with four decimals, CR LF\n"
                    "line ends on every system",
     .holds = holdsUv | holdsNormals | holdsTexture | holdsSolid,
     .holdsNotMessage = nullptr,
     .embedsTexture = false,
     .verticesAfterAhead = false,
     .inWindow = true,
     .windowType = "OBJ files",
     .writingStage = "Creating output *.OBJ file...",
     .limits = nullptr,
     .open = openObj,
     .companion = objMaterial},
    {.format = OutputFormat::glb,
     .name = "glb",
     .extension = ".glb",
     .label = "GLB",
     .description = "binary glTF 2.0: triangles, Y up, positions\n"
                    "relative to the crop window's centre",
     .holds = holdsUv | holdsNormals | holdsTexture | holdsSolid,
     .holdsNotMessage = nullptr,
     .embedsTexture = true,
     .verticesAfterAhead = true,
     .inWindow = true,
     .windowType = "Binary glTF",
     .writingStage = "Creating output *.GLB file...",
     .limits = glbLimits,
     .open = openGlb,
     .companion = nullptr},
    {.format = OutputFormat::gltf,
     .name = "gltf",
     .extension = ".gltf",
     .label = "glTF",
     .description = "glTF 2.0 JSON, its buffer in NAME.bin beside it:\n"
                    "the same document and buffer as glb's",
     .holds = holdsUv | holdsNormals | holdsTexture | holdsSolid,
     .holdsNotMessage = nullptr,
     .embedsTexture = true,
     .verticesAfterAhead = true,
     .inWindow = false,
     .windowType = nullptr,
     .writingStage = "Creating output *.GLTF file...",
     .limits = glbLimits,
     .open = openGltf,
     .companion = gltfBuffer},
    {.format = OutputFormat::stl,
     .name = "stl",
     .extension = ".stl",
     .label = "STL",
     .description = "binary STL: triangles with facet normals",
     .holds = holdsSolid,
     .holdsNotMessage =
         "--uv, --normals and --texture do not apply to STL, which holds only triangles and facet normals",
     .embedsTexture = false,
     .verticesAfterAhead = true,
     .inWindow = true,
     .windowType = "STL",
     .writingStage = "Creating output *.STL file...",
     .limits = stlLimits,
     .open = openStl,
     .companion = nullptr},
    {.format = OutputFormat::threemf,
     .name = "3mf",
     .extension = ".3mf",
     .label = "3MF",
     .description = "3MF for slicers: always a closed solid (implies\n"
                    "--solid), in millimetres, Z up",
     .holds = holdsSolid,
     .holdsNotMessage = "--uv, --normals and --texture do not apply to 3MF, which holds a solid's triangles only",
     .embedsTexture = false,
     .verticesAfterAhead = true,
     .inWindow = false,
     .windowType = nullptr,
     .writingStage = "Creating output *.3MF file...",
     .limits = threeMfLimits,
     .open = openThreeMf,
     .companion = nullptr,
     .alwaysSolid = true,
     .notInThisBuild = threeMfAvailable ? nullptr
                                        : "3MF is not available in this build (it was made without lib3mf, as the "
                                          "Windows build is); write STL for a slicer instead"},
};

bool sameIgnoringCase(const std::filesystem::path::string_type& text, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        auto c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<decltype(c)>(c - 'A' + 'a');
        if (c != static_cast<decltype(c)>(ascii[i])) return false;
    }
    return i == text.size();
}

// One field of every row in a sentence: "a, b or c".
std::string listOf(const char* const OutputWriter::*field) {
    std::string list;
    const std::size_t count = std::size(writers);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) list += i + 1 == count ? " or " : ", ";
        list += writers[i].*field;
    }
    return list;
}

}  // namespace

std::span<const OutputWriter> outputWriters() { return writers; }

std::vector<std::filesystem::path> outputFiles(const ConversionRequest& request) {
    std::vector<std::filesystem::path> files{request.outputPath};
    const OutputWriter& writer = outputWriter(request.format);
    if (writer.companion != nullptr) {
        std::filesystem::path companion = writer.companion(request);
        if (!companion.empty()) files.push_back(std::move(companion));
    }
    return files;
}

const OutputWriter& outputWriter(OutputFormat format) {
    for (const OutputWriter& w : writers)
        if (w.format == format) return w;
    return writers[0];
}

bool parseOutputFormat(std::string_view name, OutputFormat& format) {
    for (const OutputWriter& w : writers) {
        if (name == w.name) {
            format = w.format;
            return true;
        }
    }
    return false;
}

bool knownFormatOfPath(const std::filesystem::path& path, OutputFormat& format) {
    const std::filesystem::path::string_type extension = path.extension().native();
    for (const OutputWriter& w : writers) {
        if (sameIgnoringCase(extension, w.extension)) {
            format = w.format;
            return true;
        }
    }
    return false;
}

OutputFormat formatOfPath(const std::filesystem::path& path) {
    OutputFormat format = writers[0].format;
    knownFormatOfPath(path, format);
    return format;
}

FormatChoice chooseOutputFormat(const std::optional<OutputFormat>& named, const std::filesystem::path& output,
                                OutputFormat& format) {
    OutputFormat byExtension = writers[0].format;
    const bool known = knownFormatOfPath(output, byExtension);
    format = named.value_or(byExtension);
    if (named && known && byExtension != *named) return FormatChoice::contradicted;
    return named || known ? FormatChoice::chosen : FormatChoice::otherExtension;
}

const char* formatExtension(OutputFormat format) { return outputWriter(format).extension; }

std::string formatNameList() { return listOf(&OutputWriter::name); }
std::string formatExtensionList() { return listOf(&OutputWriter::extension); }

}  // namespace morvale
