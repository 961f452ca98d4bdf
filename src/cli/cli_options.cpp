#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <string>
#include <system_error>

#include "app/mesh_options.h"
#include "app/option_number.h"
#include "app/simplify_options.h"
#include "app/text_format.h"
#include "base/native_text.h"
#include "cli/cli_manual.h"
#include "cli/closest_name.h"

namespace morvale::cli {

namespace {

// More threads than this only queue for the same cores.
constexpr long maxJobs = 1024;
constexpr std::int64_t maxBand = INT32_MAX;

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

// Reads a numeric option's whole value, or says why not.
template <typename Number>
bool readNumber(std::string_view option, const std::string& text, Number& value, std::string& error) {
    const NumberTextStatus status = readNumberText(text, value);
    if (status == NumberTextStatus::ok) return true;
    char message[192];
    error = optionValueMessage(option, text, numberTextReason(status), message, sizeof message);
    return false;
}

// "--solid [BASE]": whether the word after the option is its value rather
// than an input. A number is the value; so is a word that names no file and
// no grid, which then is refused as not a number instead of as a missing input.
bool isOptionalValue(const NativeArg& word) {
    const bool looksLikeOption =
        word.size() > 1 && word[0] == '-' && !(word[1] == '.' || (word[1] >= '0' && word[1] <= '9'));
    if (word.empty() || looksLikeOption) return false;
    double number = 0.0;
    if (readNumberText(toNarrow(word), number) != NumberTextStatus::notANumber) return true;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(word), error)) return false;
    const std::string name = toNarrow(word);
    const std::string_view grid = ".asc";
    if (name.size() < grid.size()) return true;
    for (std::size_t i = 0; i < grid.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - grid.size() + i])) != grid[i]) return true;
    return false;
}

// XMIN,YMIN,XMAX,YMAX as whole numbers; beyond 32 bits each takes the nearest
// limit, which the correction rules then bring into the grid.
bool readCrop(const std::string& text, std::int32_t (&crop)[4], std::string& error) {
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) {
            error = "--crop takes four numbers: XMIN,YMIN,XMAX,YMAX, not '" + text + "'";
            return false;
        }
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::int64_t value = 0;
        const NumberTextStatus status = readNumberText(part, value);
        if (status == NumberTextStatus::tooLarge)
            value = INT32_MAX;
        else if (status == NumberTextStatus::tooSmall)
            value = INT32_MIN;
        else if (!readNumber("--crop", part, value, error))
            return false;
        crop[i] = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
        start = comma + 1;
    }
    return true;
}

// "N" or "NxM" (--tile-size), or "R,C" (--tile): two whole numbers from 1,
// the second the first when `separator` and it are left out.
bool readPair(const char* option, const std::string& text, char separator, bool secondOptional, std::int32_t& first,
              std::int32_t& second, std::string& error) {
    const std::size_t split = text.find(separator);
    if (split == std::string::npos && !secondOptional) {
        error = std::string(option) + " takes two numbers, R,C, not '" + text + "'";
        return false;
    }
    const std::string parts[2] = {text.substr(0, split),
                                  split == std::string::npos ? text.substr(0, split) : text.substr(split + 1)};
    std::int32_t* values[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        std::int64_t value = 0;
        if (!readNumber(option, parts[i], value, error)) return false;
        if (value < 1 || value > INT32_MAX) {
            error = std::string(option) + " takes numbers from 1, not '" + text + "'";
            return false;
        }
        *values[i] = static_cast<std::int32_t>(value);
    }
    return true;
}

// A value outside an option's words: the words, and the nearest when one is near.
std::string unknownValue(const OptionEntry& option, const std::string& value) {
    std::vector<std::string_view> words;
    std::string list;
    for (std::string_view rest = option.words; !rest.empty();) {
        const std::size_t space = rest.find(' ');
        words.push_back(rest.substr(0, space));
        list.append(list.empty() ? "" : ", ").append(words.back());
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    // Presets are matched in any case, with '-', '_' or ' ' between words.
    std::string folded = value;
    for (char& c : folded)
        c = c == '_' || c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string message = std::string(option.longName) + ": '" + value + "' is not one of " + list;
    const std::string_view near = closestName(folded, words);
    if (!near.empty()) message.append("; did you mean ").append(near).append("?");
    return message;
}

// An option that is no option: the nearest option's name, when one is near.
std::string unknownOption(const std::string& name) {
    std::vector<std::string_view> names;
    for (const OptionEntry& option : optionEntries())
        for (const char* optionName : {option.shortName, option.longName})
            if (optionName) names.emplace_back(optionName);
    std::string message = "unknown option " + name;
    const std::string_view near = closestName(name, names);
    if (!near.empty()) message.append("; did you mean ").append(near).append("?");
    return message;
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
        if (option == nullptr) return fail(unknownOption(name));
        if (!option->wired) return fail("option " + name + " is not available in this build");
        std::optional<NativeArg> value;
        if (equals != NativeArg::npos) {
            if (option->valueName == nullptr) return fail("option " + name + " takes no value");
            value = arg.substr(equals + 1);
        } else if (option->valueName != nullptr && !option->valueOptional) {
            if (i + 1 >= args.size()) return fail("option " + name + " needs a value");
            value = args[++i];
        } else if (option->valueOptional && i + 1 < args.size() && isOptionalValue(args[i + 1])) {
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
                return fail(unknownValue(*option, toNarrow(*value)));
            break;
        case OptionId::crop:
            o.cropText = toNarrow(*value);
            if (!readCrop(o.cropText, o.crop, parsed.error)) return parsed;
            o.cropGiven = true;
            break;
        case OptionId::preset:
            o.presetIndex = findPresetByName(toWide(*value));
            if (o.presetIndex < 0) return fail(unknownValue(*option, toNarrow(*value)));
            break;
        case OptionId::scale: {
            o.scaleText = toNarrow(*value);
            double scale = 0.0;
            if (!readNumber(name, o.scaleText, scale, parsed.error)) {
                if (o.scaleText.find(',') != std::string::npos) parsed.error += " (one factor scales all three axes)";
                return parsed;
            }
            o.scale = scale;
            break;
        }
        case OptionId::jobs: {
            const std::string count = toNarrow(*value);
            std::int64_t jobs = 0;
            if (!readNumber(name, count, jobs, parsed.error)) return parsed;
            if (jobs < 1 || jobs > maxJobs)
                return fail("-j takes a number of jobs from 1 to " + std::to_string(maxJobs) + ", not " + count);
            o.jobs = static_cast<int>(jobs);
            break;
        }
        case OptionId::format: {
            OutputFormat format = OutputFormat::obj;
            if (!parseOutputFormat(toNarrow(*value), format)) return fail(unknownValue(*option, toNarrow(*value)));
            o.format = format;
            break;
        }
        case OptionId::solid:
            o.solid = true;
            if (value) {
                double base = 0.0;
                if (!readNumber(name, toNarrow(*value), base, parsed.error)) return parsed;
                o.solidBase = base;
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
        case OptionId::zScale: {
            // The window's options dialog reads it the same way.
            char message[192];
            if (!readZScale(toNarrow(*value), o.zScale, message, sizeof message)) return fail(message);
            break;
        }
        case OptionId::size: {
            const std::string text = toNarrow(*value);
            double size = 0.0;
            if (!readNumber(name, text, size, parsed.error)) return parsed;
            if (!(size > 0.0)) return fail("--size: '" + text + "' is not above 0 millimetres");
            o.size = size;
            break;
        }
        case OptionId::baseThickness: {
            const std::string text = toNarrow(*value);
            double thickness = 0.0;
            if (!readNumber(name, text, thickness, parsed.error)) return parsed;
            if (!(thickness > 0.0))
                return fail("--base-thickness: '" + text + "' is not above 0; it is the slab under the lowest point");
            o.baseThickness = thickness;
            o.solid = true;
            break;
        }
        case OptionId::writeSeams: o.writeSeams = std::filesystem::path(*value); break;
        case OptionId::seams:
            o.seams = std::filesystem::path(*value);
            o.seamPieces.push_back(*o.seams);
            break;
        case OptionId::seamsStale:
            if (is(*value, "error"))
                o.seamsStaleOk = false;
            else if (is(*value, "ok"))
                o.seamsStaleOk = true;
            else
                return fail(unknownValue(*option, toNarrow(*value)));
            break;
        case OptionId::tileSize: {
            TileSize size;
            if (!readPair("--tile-size", toNarrow(*value), 'x', true, size.cols, size.rows, parsed.error))
                return parsed;
            o.tileSize = size;
            break;
        }
        case OptionId::tile:
            if (!readPair("--tile", toNarrow(*value), ',', false, o.tileRow, o.tileCol, parsed.error)) return parsed;
            break;
        case OptionId::uv: o.attributes.uv = true; break;
        case OptionId::normals: o.attributes.normals = true; break;
        case OptionId::uvExtent:
            if (is(*value, "grid"))
                o.attributes.uvExtent = UvExtentMode::grid;
            else if (is(*value, "window"))
                o.attributes.uvExtent = UvExtentMode::window;
            else
                return fail(unknownValue(*option, toNarrow(*value)));
            break;
        case OptionId::texture: o.attributes.texture = std::filesystem::path(*value); break;
        case OptionId::band: {
            const std::string text = toNarrow(*value);
            std::int64_t band = 0;
            if (!readNumber(name, text, band, parsed.error)) return parsed;
            if (band < 1 || band > maxBand) return fail("--band takes a band number from 1, not " + text);
            o.band = static_cast<std::int32_t>(band);
            break;
        }
        case OptionId::keepCrs: o.keepCrs = true; break;
        case OptionId::cellsize: {
            double cellsize = 0.0;
            if (!readNumber(name, toNarrow(*value), cellsize, parsed.error)) return parsed;
            if (!(cellsize > 0.0 && std::isfinite(cellsize)))
                return fail("--cellsize takes a cell size above zero, not " + toNarrow(*value));
            o.cellsize = cellsize;
            break;
        }
        default:
            // A row marked wired without a case here.
            return fail("option " + name + " is not available in this build");
        }
    }
    if (!haveInput && !o.help && !o.version) return fail("no input file given");
    if (o.writeSeams && o.seams) return fail("--write-seams and --seams cannot be used together");
    if (o.size && o.scale) return fail("--size cannot be used with --scale: --size chooses the unit scale");
    if (o.baseThickness && o.solidBase)
        return fail("--base-thickness cannot be used with --solid BASE: both place the base; give one");
    if (o.tileRow > 0 && !o.tileSize) return fail("--tile names a tile of --tile-size: give both");
    if (o.tileSize) {
        std::error_code error;
        if (o.inputs.size() > 1 || std::filesystem::is_directory(o.input, error))
            return fail("--tile-size cuts one input into tiles; several inputs are a tile set already");
        if (o.writeSeams || o.seams)
            return fail("--tile-size needs no seam index: the input itself is the merged grid");
        if (o.centerZ)
            return fail("--center-z cannot be used with --tile-size: each tile would be shifted by its own range");
        if (o.solid) return fail("--solid cannot be used with --tile-size: each tile would stand on walls of its own");
        if (o.maxTriangles > 0)
            return fail(
                "--max-triangles cannot be used with --tile-size: each tile would choose its own error bound; "
                "give --max-error instead");
        if (o.cropGiven) return fail("--crop cannot be used with --tile-size: the tiles cover the whole grid");
        if (o.size)
            return fail("--size cannot be used with --tile-size: each tile would get a scale of its own; give --scale");
    }
    if (isTileSetRun(o) && o.solid)
        return fail(
            "--solid cannot be used with several inputs: each tile would stand on walls of its own, "
            "inside the set between neighbours, not one solid");
    if (isTileSetRun(o) && o.size)
        return fail(
            "--size cannot be used with several inputs: each tile would get a scale of its own; give --scale "
            "instead");
    if (isTileSetRun(o) && o.maxTriangles > 0)
        return fail(
            "--max-triangles cannot be used with several inputs: each tile would choose its own error "
            "bound and neighbours would not meet; give --max-error instead");
    if (isTileSetRun(o) && (o.band != 1 || o.keepCrs || o.cellsize))
        return fail(
            "--band, --keep-crs and --cellsize apply to one input: the tiles of a set are read as they are "
            "(band 1, their own grid)");
    if (isTileSetRun(o) && o.cropGiven)
        return fail("--crop cannot be used with several inputs: a tile set is converted whole, tile by tile");
    return parsed;
}

SettingValues settingValues(const CliOptions& options) {
    SettingValues values;
    values.cropEnabled = options.cropGiven;
    values.cropXMin = options.crop[0];
    values.cropYMin = options.crop[1];
    values.cropXMax = options.crop[2];
    values.cropYMax = options.crop[3];
    values.presetIndex = options.presetIndex;
    values.useXllYllOffsets = options.useXllYllOffsets;
    values.centerZ = options.centerZ;
    values.unitScale = options.scale ? *options.scale : exportPresets[options.presetIndex].defaultUnitScale;
    return values;
}

std::vector<std::string> correctionWarnings(const CliOptions& options, const CorrectedSettings& corrected,
                                            std::int32_t ncols, std::int32_t nrows) {
    std::vector<std::string> warnings;
    const ConversionSettings& s = corrected.settings;
    const std::int32_t used[4] = {s.cropXMin, s.cropYMin, s.cropXMax, s.cropYMax};
    if (options.cropGiven && !std::equal(std::begin(used), std::end(used), std::begin(options.crop))) {
        const std::int32_t(&given)[4] = options.crop;
        const auto outside = [](std::int32_t v, std::int32_t last) { return v < 1 || v > last; };
        std::string why;
        if (outside(given[0], ncols) || outside(given[2], ncols) || outside(given[1], nrows) ||
            outside(given[3], nrows))
            why = "a value lies outside the grid's " + std::to_string(ncols) + " columns and " + std::to_string(nrows) +
                  " rows";
        if (given[0] > given[2] || given[1] > given[3])
            why.append(why.empty() ? "" : ", and ").append("a minimum is above its maximum");
        warnings.push_back("--crop " + options.cropText + " is corrected to " + std::to_string(used[0]) + "," +
                           std::to_string(used[1]) + "," + std::to_string(used[2]) + "," + std::to_string(used[3]) +
                           ": " + why);
    }
    if (options.scale && s.unitScale != *options.scale)
        warnings.push_back("--scale " + options.scaleText + " is corrected to " + asciiText(corrected.unitScaleText) +
                           ": a scale this near zero would flatten the mesh to a point");
    return warnings;
}

bool isTileSetRun(const CliOptions& options) {
    std::error_code error;
    return options.inputs.size() > 1 || options.writeSeams || options.seams || options.tileSize ||
           (!options.inputs.empty() && std::filesystem::is_directory(options.input, error));
}

}  // namespace morvale::cli
