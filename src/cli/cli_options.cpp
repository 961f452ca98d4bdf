#include "cli/cli_options.h"

#include <cstdlib>
#include <system_error>

#include "convert/native_text.h"

namespace morvale::cli {

const char* const usageText =
    "Usage: morvale-convert INPUT.asc [options]\n"
    "       morvale-convert TILE.asc TILE.asc... | FOLDER [options]\n"
    "Converts an Esri ASCII grid into a Wavefront OBJ mesh.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE      output file (default: beside the input, with .obj)\n"
    "  --mode MODE            interpolated (default) or floating-planes\n"
    "  --crop X1,Y1,X2,Y2     convert only columns X1..X2 and rows Y1..Y2 (1-based,\n"
    "                         row 1 is the first row of the file); out-of-range\n"
    "                         values are corrected as in the window\n"
    "  --preset NAME          axis order: \"3ds max\" (default), Blender, \"Cinema 4D\",\n"
    "                         Maya, Unreal, ZBrush (any case, '-' or '_' for spaces)\n"
    "  --scale S              unit scale (default: the preset's)\n"
    "  --offsets              keep the grid's real-world position (xll, yll)\n"
    "  --center-z             centre elevations on zero (interpolated mode)\n"
    "  --quiet                print nothing but errors\n"
    "\n"
    "Tile sets (several inputs, or a folder's .asc files): each tile becomes its\n"
    "own output; tiles on one lattice meet without a crack and are placed in one\n"
    "frame (the centre of the whole set, or real-world with --offsets).\n"
    "  -o, --output FOLDER    outputs go there (default: beside each input)\n"
    "  -j, --jobs N           tiles converted at once (default: one per core)\n"
    "  --write-seams FILE     read the tiles' borders, save them to FILE, stop\n"
    "  --seams FILE           use the borders saved in FILE (converts the given\n"
    "                         tiles only, e.g. one tile per process)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 converted and both checks OK, 1 converted but a check failed,\n"
    "2 usage error, 3 input unreadable or header corrupted, 4 output could not be\n"
    "written, 130 cancelled (Ctrl-C).\n";

namespace {

// More threads than this only queue for the same cores.
constexpr long maxJobs = 1024;

// Options are ASCII; compare a native argument with one.
bool is(const NativeArg& arg, const char* text) {
    std::size_t i = 0;
    for (; text[i] != '\0'; ++i)
        if (i >= arg.size() || arg[i] != static_cast<NativeArg::value_type>(text[i])) return false;
    return i == arg.size();
}

std::wstring toWide(const NativeArg& arg) { return wideFromNative(arg); }

std::string toNarrow(const NativeArg& arg) {
    std::string text;
    for (const auto c : arg) text.push_back(c >= 0 && c < 0x80 ? static_cast<char>(c) : '?');
    return text;
}

bool splitCrop(const std::wstring& text, std::wstring (&parts)[4]) {
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(L',', start);
        if ((comma == std::wstring::npos) != (i == 3)) return false;
        parts[i] = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        start = comma + 1;
    }
    return true;
}

}  // namespace

ParsedOptions parseCliOptions(const std::vector<NativeArg>& args) {
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    bool haveInput = false;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const NativeArg& arg = args[i];
        const bool takesValue = is(arg, "-o") || is(arg, "--output") || is(arg, "--mode") || is(arg, "--crop") ||
                                is(arg, "--preset") || is(arg, "--scale") || is(arg, "-j") || is(arg, "--jobs") ||
                                is(arg, "--write-seams") || is(arg, "--seams");
        if (takesValue && i + 1 >= args.size()) return fail("option " + toNarrow(arg) + " needs a value");
        if (is(arg, "--help") || is(arg, "-h")) {
            o.help = true;
        } else if (is(arg, "--version")) {
            o.version = true;
        } else if (is(arg, "--quiet") || is(arg, "-q")) {
            o.quiet = true;
        } else if (is(arg, "--offsets")) {
            o.useXllYllOffsets = true;
        } else if (is(arg, "--center-z")) {
            o.centerZ = true;
        } else if (is(arg, "-o") || is(arg, "--output")) {
            o.output = std::filesystem::path(args[++i]);
        } else if (is(arg, "--mode")) {
            const NativeArg& mode = args[++i];
            if (is(mode, "interpolated")) o.mode = TerrainMode::Interpolated;
            else if (is(mode, "floating-planes")) o.mode = TerrainMode::FloatingPlanes;
            else return fail("unknown mode '" + toNarrow(mode) + "' (interpolated or floating-planes)");
        } else if (is(arg, "--crop")) {
            if (!splitCrop(toWide(args[++i]), o.crop)) return fail("--crop takes four numbers: XMIN,YMIN,XMAX,YMAX");
            o.cropGiven = true;
        } else if (is(arg, "--preset")) {
            o.presetIndex = findPresetByName(toWide(args[++i]));
            if (o.presetIndex < 0) return fail("unknown preset '" + toNarrow(args[i]) + "'");
        } else if (is(arg, "--scale")) {
            o.scale = toWide(args[++i]);
        } else if (is(arg, "-j") || is(arg, "--jobs")) {
            const std::string count = toNarrow(args[++i]);
            char* end = nullptr;
            const long jobs = std::strtol(count.c_str(), &end, 10);
            if (count.empty() || *end != '\0' || jobs < 1 || jobs > maxJobs)
                return fail("-j takes a number of jobs from 1 to " + std::to_string(maxJobs));
            o.jobs = static_cast<int>(jobs);
        } else if (is(arg, "--write-seams")) {
            o.writeSeams = std::filesystem::path(args[++i]);
        } else if (is(arg, "--seams")) {
            o.seams = std::filesystem::path(args[++i]);
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
            return fail("unknown option " + toNarrow(arg));
        } else {
            if (!haveInput) o.input = std::filesystem::path(arg);
            o.inputs.emplace_back(arg);
            haveInput = true;
        }
    }
    if (!haveInput && !o.help && !o.version) return fail("no input file given");
    if (o.writeSeams && o.seams) return fail("--write-seams and --seams cannot be used together");
    if (isTileSetRun(o) && o.cropGiven)
        return fail("--crop cannot be used with several inputs: a tile set is converted whole, tile by tile");
    return parsed;
}

SettingsControls settingsControls(const CliOptions& options) {
    SettingsControls controls;
    controls.cropEnabled = options.cropGiven;
    controls.cropXMinText = options.crop[0];
    controls.cropYMinText = options.crop[1];
    controls.cropXMaxText = options.crop[2];
    controls.cropYMaxText = options.crop[3];
    controls.presetSelection = options.presetIndex;
    controls.presetText = exportPresets[options.presetIndex].displayName;
    controls.useXllYllOffsets = options.useXllYllOffsets;
    controls.centerZ = options.centerZ;
    controls.unitScaleText =
        options.scale ? *options.scale : std::to_wstring(exportPresets[options.presetIndex].defaultUnitScale);
    return controls;
}

bool isTileSetRun(const CliOptions& options) {
    std::error_code error;
    return options.inputs.size() > 1 || options.writeSeams || options.seams ||
           (!options.inputs.empty() && std::filesystem::is_directory(options.input, error));
}

}  // namespace morvale::cli
