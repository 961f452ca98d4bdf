#include "cli/cli_options.h"

#include <type_traits>

#include "base/native_text.h"

namespace morvale::cli {

const char* const usageText =
    "Usage: morvale-convert INPUT.asc [options]\n"
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
    "  --help, --version\n"
    "\n"
    "Exit status: 0 converted and both checks OK, 1 converted but a check failed,\n"
    "2 usage error, 3 input unreadable or header corrupted, 4 output could not be\n"
    "written, 130 cancelled (Ctrl-C).\n";

namespace {

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
    for (const auto c : arg) {
        // Unsigned first: the character type is signed on some platforms and wide on others.
        const auto code = static_cast<std::make_unsigned_t<std::remove_const_t<decltype(c)>>>(c);
        text.push_back(code < 0x80 ? static_cast<char>(code) : '?');
    }
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
                                is(arg, "--preset") || is(arg, "--scale");
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
            if (is(mode, "interpolated"))
                o.mode = TerrainMode::Interpolated;
            else if (is(mode, "floating-planes"))
                o.mode = TerrainMode::FloatingPlanes;
            else
                return fail("unknown mode '" + toNarrow(mode) + "' (interpolated or floating-planes)");
        } else if (is(arg, "--crop")) {
            if (!splitCrop(toWide(args[++i]), o.crop)) return fail("--crop takes four numbers: XMIN,YMIN,XMAX,YMAX");
            o.cropGiven = true;
        } else if (is(arg, "--preset")) {
            o.presetIndex = findPresetByName(toWide(args[++i]));
            if (o.presetIndex < 0) return fail("unknown preset '" + toNarrow(args[i]) + "'");
        } else if (is(arg, "--scale")) {
            o.scale = toWide(args[++i]);
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
            return fail("unknown option " + toNarrow(arg));
        } else if (haveInput) {
            return fail("more than one input file given");
        } else {
            o.input = std::filesystem::path(arg);
            haveInput = true;
        }
    }
    if (!haveInput && !o.help && !o.version) return fail("no input file given");
    return parsed;
}

}  // namespace morvale::cli
