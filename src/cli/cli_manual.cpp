#include "cli/cli_manual.h"

#include <cassert>
#include <iterator>
#include <vector>

#include "app/preset_words.h"
#include "app/settings_correction.h"
#include "convert/output_format.h"

namespace morvale::cli {
namespace {

// A build with GDAL reads any raster; one without, Esri ASCII grids only.
constexpr const char* usageRows[] = {
#ifdef MORVALE_GDAL
    "INPUT [options]",
    "INPUT... [-o FOLDER] [options]",
#else
    "INPUT.asc [options]",
    "INPUT.asc... [-o FOLDER] [options]",
#endif
    "FOLDER [-o FOLDER] [options]",
    "INPUT --tile-size N[xM] [--tile R,C] [options]",
};

constexpr const char description[] =
#ifdef MORVALE_GDAL
    "Converts elevation rasters into 3D meshes: Esri ASCII grids (.asc), read by\n"
    "their own reader, and every raster GDAL reads (GeoTIFF, SRTM .hgt, VRT\n"
    "mosaics, 16-bit PNG heightmaps...). A raster in degrees is warped to the UTM\n"
    "zone of its centre, so that X, Y and Z are metres (--keep-crs keeps it); one\n"
    "without georeferencing has cells of 1 (--cellsize sets them). The meshes\n"
    "come in two modes: interpolated, one continuous surface whose shared vertices\n"
    "carry the mean of the cells around them, or floating-planes, one flat square\n"
    "of four own vertices per cell.\n"
#else
    "Converts Esri ASCII grids (.asc) into 3D meshes: interpolated, one continuous\n"
    "surface whose shared vertices carry the mean of the cells around them, or\n"
    "floating-planes, one flat square of four own vertices per cell. This build\n"
    "reads only Esri ASCII grids.\n"
#endif
    "\n"
    "The defaults are those of the window after opening a grid: the output beside\n"
    "the input, the interpolated mode, the whole grid, the \"3ds max\" preset and\n"
    "its unit scale. A number is read whole: \"2x\" is refused. Crop and scale\n"
    "values out of range are corrected by the window's rules, with a warning on\n"
    "standard error, and the corrected values are printed. Ctrl-C cancels: the\n"
    "file written so far still ends with its closing sections.";

// The options of rasters read through GDAL, handled only in a build with it.
#ifdef MORVALE_GDAL
constexpr bool gdalWired = true;
#else
constexpr bool gdalWired = false;
#endif

// The rows marked `false` at the end are documented but not handled yet.
constexpr OptionEntry options[] = {
    {OptionId::output, "-o", "--output", "FILE", false, ValueKind::path, nullptr,
     "output file (default: beside the input, with the\n"
     "format's extension); a folder for several inputs,\n"
     "whose name must not end as a mesh file's does",
     true},
    // Its words and the list that starts its text are the writers' names (optionEntries).
    {OptionId::format, nullptr, "--format", "FORMAT", false, ValueKind::words, nullptr,
     " (default: the output's\n"
     "extension, else obj); refused when the output has\n"
     "another format's extension",
     true},
    {OptionId::mode, nullptr, "--mode", "MODE", false, ValueKind::words, "interpolated floating-planes",
     "interpolated (default) or floating-planes", true},
    {OptionId::crop, nullptr, "--crop", "X1,Y1,X2,Y2", false, ValueKind::text, nullptr,
     "convert only columns X1..X2 and rows Y1..Y2\n"
     "(1-based, row 1 is the first row of the file)",
     true},
    // Its words are the presets' names (optionEntries).
    {OptionId::preset, nullptr, "--preset", "NAME", false, ValueKind::words, nullptr,
     "axis order and unit scale for a 3D package, one\n"
     "of the Presets below (default: the first); any\n"
     "case, with - or _ or a space between words",
     true},
    {OptionId::scale, nullptr, "--scale", "S", false, ValueKind::number, nullptr, "unit scale (default: the preset's)",
     true},
    {OptionId::offsets, nullptr, "--offsets", nullptr, false, ValueKind::none, nullptr,
     "keep the grid's real-world position (xll, yll)", true},
    {OptionId::centerZ, nullptr, "--center-z", nullptr, false, ValueKind::none, nullptr,
     "centre the elevations on zero (interpolated,\n"
     "simplified or not; the grid is then read twice)",
     true},
    {OptionId::maxError, nullptr, "--max-error", "E", false, ValueKind::number, nullptr,
     "simplify: every vertex of the full mesh stays\n"
     "within E elevation units of the result",
     true},
    {OptionId::maxTriangles, nullptr, "--max-triangles", "N", false, ValueKind::number, nullptr,
     "simplify to at most N triangles, spent where the\n"
     "error is largest",
     true},
    {OptionId::uv, nullptr, "--uv", nullptr, false, ValueKind::none, nullptr,
     "texture coordinates, 0..1 over the whole grid\n"
     "(the whole set for several inputs)",
     true},
    {OptionId::uvExtent, nullptr, "--uv-extent", "EXTENT", false, ValueKind::words, "grid window",
     "what the texture coordinates span: grid (default)\n"
     "or window (the crop window)",
     true},
    {OptionId::normals, nullptr, "--normals", nullptr, false, ValueKind::none, nullptr,
     "vertex normals (one per plane in floating-planes)", true},
    {OptionId::texture, nullptr, "--texture", "IMAGE", false, ValueKind::file, nullptr,
     "a material that drapes IMAGE (PNG or JPEG) over\n"
     "the mesh (implies --uv); glb and gltf embed it and\n"
     "refuse an image they cannot, obj refers to it",
     true},
    {OptionId::solid, nullptr, "--solid", "BASE", true, ValueKind::number, nullptr,
     "a closed solid for printing: walls and a flat\n"
     "bottom at elevation BASE, which must lie below\n"
     "the surface's lowest point (default: below it\n"
     "by a tenth of the relief)",
     true},
    {OptionId::baseThickness, nullptr, "--base-thickness", "MM", false, ValueKind::number, nullptr,
     "a closed solid (implies --solid) whose bottom lies\n"
     "MM output units (millimetres with --size) below\n"
     "the surface's lowest point",
     true},
    {OptionId::zScale, nullptr, "--z-scale", "F", false, ValueKind::number, nullptr,
     "vertical exaggeration: elevations times F (after\n"
     "--center-z, before the unit scale; --max-error\n"
     "stays in the grid's elevation units)",
     true},
    {OptionId::size, nullptr, "--size", "MM", false, ValueKind::number, nullptr,
     "for printing: the unit scale that makes the crop\n"
     "window's longer side MM millimetres (not with\n"
     "--scale); the summary gives the map scale, the\n"
     "model's height and its base thickness",
     true},
    {OptionId::jobs, "-j", nullptr, "N", false, ValueKind::number, nullptr,
     "convert N inputs at a time, one core each\n"
     "(default: the number of cores)",
     true},
    {OptionId::writeSeams, nullptr, "--write-seams", "FILE", false, ValueKind::file, nullptr,
     "save the seam index of the inputs' tile set (on\n"
     "a part of the set's files: a piece of the index)",
     true},
    {OptionId::seams, nullptr, "--seams", "FILE", false, ValueKind::path, nullptr,
     "convert with the seam index saved in FILE, so one\n"
     "tile of a set converts alone; repeat it for the\n"
     "pieces of an index, or give their folder",
     true},
    {OptionId::seamsStale, nullptr, "--seams-stale", "WHAT", false, ValueKind::words, "error ok",
     "with --seams, a tile edited since the index was\n"
     "written, or not in it: error (default; exit 3\n"
     "for that tile) or ok (converted on its own)",
     true},
    {OptionId::tileSize, nullptr, "--tile-size", "N[xM]", false, ValueKind::text, nullptr,
     "cut one input into tiles of N x M cells (N x N),\n"
     "each written as NAME_rROW_cCOL; neighbours meet\n"
     "exactly, with no seam index",
     true},
    {OptionId::tile, nullptr, "--tile", "R,C", false, ValueKind::text, nullptr,
     "with --tile-size, convert only the tile in row R\n"
     "and column C (from 1, north-west first)",
     true},
    {OptionId::band, nullptr, "--band", "N", false, ValueKind::number, nullptr,
     "the band of a raster read through GDAL to\n"
     "convert (default: 1)",
     gdalWired},
    {OptionId::keepCrs, nullptr, "--keep-crs", nullptr, false, ValueKind::none, nullptr,
     "keep a raster in degrees on its own grid instead\n"
     "of warping it to its UTM zone in metres",
     gdalWired},
    {OptionId::cellsize, nullptr, "--cellsize", "C", false, ValueKind::number, nullptr,
     "cell size C, for a raster without georeferencing\n"
     "(default 1); replaces any grid's, with a warning",
     gdalWired},
    {OptionId::quiet, "-q", "--quiet", nullptr, false, ValueKind::none, nullptr, "print only errors and a failed check",
     true},
    {OptionId::help, "-h", "--help", nullptr, false, ValueKind::none, nullptr, "show this help", true},
    {OptionId::version, nullptr, "--version", nullptr, false, ValueKind::none, nullptr,
     "show the version and the compiler of this build", true},
};

constexpr ExitStatusEntry exitStatuses[] = {
    {ExitStatus::success, "converted, and both checks passed (the rows and\nvalues read match the crop window)"},
    {ExitStatus::checkFailed,
     "converted, but a check failed: the grid holds\nfewer rows or values than its header promises"},
    {ExitStatus::usageError, "usage error, or a --solid BASE not below the\nsurface; nothing written"},
#ifdef MORVALE_GDAL
    {ExitStatus::inputRefused,
     "input unreadable, header corrupted or cell size\nnot above zero; a raster GDAL cannot read or\n"
     "convert (a truncated file, a missing band, a\nrotated grid...): one line says why, and no\n"
     "output is left behind"},
#else
    {ExitStatus::inputRefused,
     "input unreadable, header corrupted or cell size\nnot above zero; a raster of another format (TIFF,\n"
     "PNG, JPEG, SRTM .hgt, zip, gzip) is named, with\nthe gdal_translate command that makes a grid of it"},
#endif
    {ExitStatus::outputFailed,
     "output could not be created or written, or is\nthe input itself (the next line gives the path\nand the system's "
     "reason); a file already under\nthe output's name stays as it was"},
    {ExitStatus::cancelled, "cancelled with Ctrl-C"},
};

constexpr TermEntry examples[] = {
    {"morvale-convert dem.asc --preset maya", "dem.obj beside dem.asc, axes and scale for Maya"},
    {"morvale-convert dem.asc -o out.obj --mode floating-planes --preset blender",
     "one square per cell, axes for Blender"},
#ifdef MORVALE_GDAL
    {"morvale-convert N46E007.hgt --offsets",
     "an SRTM tile in metres, warped to its UTM zone,\nat its real-world position there"},
#endif
    {"morvale-convert dem.asc --crop 1,1,500,400 --offsets -q",
     "the first 500 columns of the first 400 rows, at\ntheir real-world position, quietly"},
};

// The help's left column: two spaces, the term, padding to the right column.
constexpr std::size_t termIndent = 2;
constexpr std::size_t textColumn = 27;
// The right column's width (the header's text rules).
constexpr std::size_t helpTextWidth = 52;

// One line cut into lines of at most `width` characters, between words.
std::string wrapped(std::string_view line, std::size_t width) {
    std::string out;
    std::size_t lineStart = 0;
    for (std::size_t start = 0; start < line.size();) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (out.size() > lineStart) {
            if (out.size() - lineStart + 1 + (end - start) > width) {
                out += '\n';
                lineStart = out.size();
            } else {
                out += ' ';
            }
        }
        out.append(line.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// A term and its text lines, the text in the right column; a term too wide
// for the left column gets a line of its own.
void appendTerm(std::string& out, std::string_view term, std::string_view text) {
    std::string line(termIndent, ' ');
    line += term;
    if (line.size() + 1 > textColumn) {
        out += line;
        out += '\n';
        line.assign(textColumn, ' ');
    } else {
        line.resize(textColumn, ' ');
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        out += line;
        out += text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        out += '\n';
        if (end == std::string_view::npos) break;
        start = end + 1;
        line.assign(textColumn, ' ');
    }
}

}  // namespace

std::span<const char* const> usageLines() { return usageRows; }
const char* descriptionText() { return description; }
std::span<const OptionEntry> optionEntries() {
    static const std::string formatWords = [] {
        std::string words;
        for (const OutputWriter& writer : outputWriters()) words.append(words.empty() ? "" : " ").append(writer.name);
        return words;
    }();
    static const std::string presetWords = [] {
        std::string words;
        for (std::size_t row = 0; row < exportPresets.size(); ++row)
            words.append(words.empty() ? "" : " ").append(presetOptionName(static_cast<std::int32_t>(row)));
        return words;
    }();
    static std::string formatText;  // set once, with the rows
    static const std::vector<OptionEntry> rows = [] {
        std::vector<OptionEntry> all(std::begin(options), std::end(options));
        for (OptionEntry& option : all) {
            if (option.id == OptionId::format) {
                option.words = formatWords.c_str();
                formatText = formatNameList() + option.help;
                option.help = formatText.c_str();
            }
            if (option.id == OptionId::preset) option.words = presetWords.c_str();
        }
        return all;
    }();
    return rows;
}

std::span<const TermEntry> formatEntries() {
    static const std::vector<TermEntry> rows = [] {
        std::vector<TermEntry> all;
        for (const OutputWriter& writer : outputWriters()) all.push_back({writer.name, writer.description});
        return all;
    }();
    return rows;
}
std::span<const TermEntry> presetEntries() {
    struct Texts {
        std::string term, text;
    };
    static const std::vector<Texts> texts = [] {
        std::vector<Texts> all;
        for (std::size_t row = 0; row < exportPresets.size(); ++row) {
            const auto index = static_cast<std::int32_t>(row);
            all.push_back({presetOptionName(index), wrapped(presetWords(index), helpTextWidth)});
        }
        return all;
    }();
    static const std::vector<TermEntry> rows = [] {
        std::vector<TermEntry> all;
        for (const Texts& entry : texts) all.push_back({entry.term.c_str(), entry.text.c_str()});
        return all;
    }();
    return rows;
}
std::span<const ExitStatusEntry> exitStatusEntries() { return exitStatuses; }
std::span<const TermEntry> exampleEntries() { return examples; }

const OptionEntry* findOption(std::string_view name) {
    for (const OptionEntry& option : optionEntries())
        if ((option.shortName && name == option.shortName) || (option.longName && name == option.longName))
            return &option;
    return nullptr;
}

std::string optionSignature(const OptionEntry& option) {
    assert(option.shortName || option.longName);
    std::string text;
    if (option.shortName) text += option.shortName;
    if (option.shortName && option.longName) text += ", ";
    if (option.longName) text += option.longName;
    if (option.valueName) {
        text += option.valueOptional ? " [" : " ";
        text += option.valueName;
        if (option.valueOptional) text += ']';
    }
    return text;
}

std::string helpText() {
    std::string out = "Usage: ";
    for (std::size_t i = 0; i < std::size(usageRows); ++i) {
        if (i > 0) out += "       ";
        out += programName;
        out += ' ';
        out += usageRows[i];
        out += '\n';
    }
    out += description;
    out += "\n\nOptions:\n";
    for (const OptionEntry& option : optionEntries()) appendTerm(out, optionSignature(option), option.help);
    out += "\nOutput formats:\n";
    for (const TermEntry& entry : formatEntries()) appendTerm(out, entry.term, entry.text);
    out += "\nPresets:\n";
    for (const TermEntry& entry : presetEntries()) appendTerm(out, entry.term, entry.text);
    out += "\nExit status:\n";
    for (const ExitStatusEntry& entry : exitStatuses)
        appendTerm(out, std::to_string(exitCode(entry.status)), entry.text);
    out += "\nExamples:\n";
    for (const TermEntry& entry : examples) appendTerm(out, entry.term, entry.text);
    return out;
}

}  // namespace morvale::cli
