#include "cli/cli_options.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "base/native_text.h"
#include "cli/cli_manual.h"
#include "app/simplify_options.h"

namespace morvale::cli {

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
    for (const auto c : arg) text.push_back(static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?');
    return text;
}

// A whole argument that reads as a number: the optional value of an option
// such as "--solid [BASE]", told apart from an input file's name.
bool isNumber(const NativeArg& arg) {
    std::size_t i = arg.size() > 1 && (arg[0] == '-' || arg[0] == '+') ? 1 : 0;
    bool digit = false, point = false;
    for (; i < arg.size(); ++i) {
        if (arg[i] >= '0' && arg[i] <= '9')
            digit = true;
        else if (arg[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
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
    bool optionsEnded = false;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const NativeArg& arg = args[i];
        const bool looksLikeOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!looksLikeOption) {
            if (!haveInput) o.input = std::filesystem::path(arg);
            o.inputs.emplace_back(arg);
            haveInput = true;
            continue;
        }
        if (is(arg, "--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value": the name alone is looked up.
        const std::size_t equals = arg.size() > 2 && arg[1] == '-' ? arg.find('=') : NativeArg::npos;
        const std::string name = toNarrow(arg.substr(0, equals));
        const OptionEntry* option = findOption(name);
        if (option == nullptr) return fail("unknown option " + name);
        if (!option->wired) return fail("option " + name + " is not available in this build");
        std::optional<NativeArg> value;
        if (equals != NativeArg::npos) {
            if (option->valueName == nullptr) return fail("option " + name + " takes no value");
            value = arg.substr(equals + 1);
        } else if (option->valueName != nullptr && !option->valueOptional) {
            if (i + 1 >= args.size()) return fail("option " + name + " needs a value");
            value = args[++i];
        } else if (option->valueOptional && i + 1 < args.size() && isNumber(args[i + 1])) {
            value = args[++i];
        }
        switch (option->id) {
        case OptionId::help: o.help = true; break;
        case OptionId::version: o.version = true; break;
        case OptionId::quiet: o.quiet = true; break;
        case OptionId::offsets: o.useXllYllOffsets = true; break;
        case OptionId::centerZ: o.centerZ = true; break;
        case OptionId::output: o.output = std::filesystem::path(*value); break;
        case OptionId::mode:
            if (is(*value, "interpolated"))
                o.mode = TerrainMode::Interpolated;
            else if (is(*value, "floating-planes"))
                o.mode = TerrainMode::FloatingPlanes;
            else
                return fail("unknown mode '" + toNarrow(*value) + "' (interpolated or floating-planes)");
            break;
        case OptionId::crop:
            if (!splitCrop(toWide(*value), o.crop)) return fail("--crop takes four numbers: XMIN,YMIN,XMAX,YMAX");
            o.cropGiven = true;
            break;
        case OptionId::preset:
            o.presetIndex = findPresetByName(toWide(*value));
            if (o.presetIndex < 0) return fail("unknown preset '" + toNarrow(*value) + "'");
            break;
        case OptionId::scale: o.scale = toWide(*value); break;
        case OptionId::jobs: {
            const std::string count = toNarrow(*value);
            char* end = nullptr;
            const long jobs = std::strtol(count.c_str(), &end, 10);
            if (count.empty() || *end != '\0' || jobs < 1 || jobs > maxJobs)
                return fail("-j takes a number of jobs from 1 to " + std::to_string(maxJobs));
            o.jobs = static_cast<int>(jobs);
            break;
        }
        case OptionId::format: {
            OutputFormat format = OutputFormat::obj;
            if (!parseOutputFormat(toNarrow(*value), format))
                return fail("unknown format '" + toNarrow(*value) + "' (" + formatNameList() + ")");
            o.format = format;
            break;
        }
        case OptionId::solid:
            o.solid = true;
            if (value) {
                const std::string base = toNarrow(*value);
                char* end = nullptr;
                const double elevation = std::strtod(base.c_str(), &end);
                if (base.empty() || *end != '\0' || !std::isfinite(elevation))
                    return fail("--solid takes a finite base elevation, not '" + base + "'");
                o.solidBase = elevation;
            }
            break;
        case OptionId::maxError: {
            const std::string text = toNarrow(*value);
            double error = 0.0;
            if (const SimplifyOptionStatus status = parseMaxError(text, error); status != SimplifyOptionStatus::ok) {
                char message[256];
                return fail(simplifyOptionMessage(status, "--max-error", text, message, sizeof message));
            }
            o.maxError = error;
            break;
        }
        case OptionId::maxTriangles: {
            const std::string text = toNarrow(*value);
            std::int64_t budget = 0;
            if (const SimplifyOptionStatus status = parseMaxTriangles(text, budget);
                status != SimplifyOptionStatus::ok) {
                char message[256];
                return fail(simplifyOptionMessage(status, "--max-triangles", text, message, sizeof message));
            }
            o.maxTriangles = budget;
            break;
        }
        case OptionId::writeSeams: o.writeSeams = std::filesystem::path(*value); break;
        case OptionId::seams: o.seams = std::filesystem::path(*value); break;
        case OptionId::seamsStale:
            if (is(*value, "error"))
                o.seamsStaleOk = false;
            else if (is(*value, "ok"))
                o.seamsStaleOk = true;
            else
                return fail("unknown --seams-stale '" + toNarrow(*value) + "' (error or ok)");
            break;
        case OptionId::uv: o.attributes.uv = true; break;
        case OptionId::normals: o.attributes.normals = true; break;
        case OptionId::uvExtent:
            if (is(*value, "grid"))
                o.attributes.uvExtent = UvExtentMode::grid;
            else if (is(*value, "window"))
                o.attributes.uvExtent = UvExtentMode::window;
            else
                return fail("unknown uv extent '" + toNarrow(*value) + "' (grid or window)");
            break;
        case OptionId::texture: o.attributes.texture = std::filesystem::path(*value); break;
        default:
            // A row marked wired without a case here.
            return fail("option " + name + " is not available in this build");
        }
    }
    if (!haveInput && !o.help && !o.version) return fail("no input file given");
    if (o.writeSeams && o.seams) return fail("--write-seams and --seams cannot be used together");
    if (isTileSetRun(o) && o.solid)
        return fail(
            "--solid cannot be used with several inputs: each tile would stand on walls of its own, "
            "inside the set between neighbours, not one solid");
    if (isTileSetRun(o) && o.maxTriangles > 0)
        return fail(
            "--max-triangles cannot be used with several inputs: each tile would choose its own error "
            "bound and neighbours would not meet; give --max-error instead");
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
