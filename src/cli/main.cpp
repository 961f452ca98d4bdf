// morvale-convert: the conversion core for scripts and batch work.

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "app/grid_names.h"
#include "app/summary_text.h"
#include "app/text_format.h"
#include "cli/cli_manual.h"
#include "cli/cli_options.h"
#include "cli/terminal_progress.h"
#include "cli/tile_command.h"
#include "convert/conversion_files.h"
#include "convert/conversion_request.h"
#include "convert/exit_status.h"
#include "convert/request_notes.h"
#include "grid/degrees_grid.h"
#include "grid/raster_signature.h"
#include "grid/utf16_text.h"
#include "morvale_version.h"
#include "obj/obj_writer.h"
#ifdef MORVALE_GDAL
#include "raster/raster_source.h"
#endif

using namespace morvale;

namespace {

// The process-wide cancel flag: Ctrl-C acts as the window's cancel button.
std::atomic<bool> cancelRequested{false};

extern "C" void onInterrupt(int) {
    cancelRequested.store(true);
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program at once
}

void printHeader(const GridHeader& header, const GridNames& names, const std::string& crsText) {
    std::printf("filename:     %s\n", names.inputNameNarrow.c_str());
    std::printf("columns:      %s\n", groupedText(header.ncols).c_str());
    std::printf("rows:         %s\n", groupedText(header.nrows).c_str());
    std::printf("records:      %s\n", groupedText(std::int64_t{header.ncols} * header.nrows).c_str());
    std::printf("%-13s %.10g\n", header.xllIsCenter ? "xll center:" : "xll corner:", header.xll);
    std::printf("%-13s %.10g\n", header.yllIsCenter ? "yll center:" : "yll corner:", header.yll);
    std::printf("cell size:    %.10g\n", header.cellsize);
    if (header.hasNodata)
        std::printf("no data:      %.10g\n", header.nodataValue);
    else
        std::printf("no data:      n/a\n");
    if (!crsText.empty()) std::printf("grid:         %s\n", crsText.c_str());
}

void printSettings(const CorrectedSettings& corrected, const std::filesystem::path& output) {
    const ConversionSettings& s = corrected.settings;
    std::printf("\nmode:         %s\n", s.mode == TerrainMode::Interpolated ? "Interpolated" : "Floating planes");
    std::printf("crop window:  x %d..%d, y %d..%d\n", s.cropXMin, s.cropXMax, s.cropYMin, s.cropYMax);
    std::printf("preset:       %s\n", asciiText(exportPresets[s.presetIndex].displayName).c_str());
    std::printf("unit scale:   %s\n", asciiText(corrected.unitScaleText).c_str());
    std::printf("offsets:      %s\n", s.useXllYllOffsets ? "xll and yll" : "grid centred on the origin");
    std::printf("center z:     %s\n", s.centerZ ? "yes" : "no");
    std::printf("output:       %s\n\n", utf8Text(output).c_str());
}

// One line for scripts that run quietly: which file and both checks.
void printFailedChecks(const std::filesystem::path& input, const ConversionStats& stats) {
    std::fprintf(
        stderr, "morvale-convert: '%s': a check failed: rows %lld of %lld read (%s), records %lld of %lld read (%s)\n",
        utf8Text(input).c_str(), static_cast<long long>(stats.rowsRead), static_cast<long long>(stats.rowsExpected),
        stats.rowsOk ? "OK" : "ERROR", static_cast<long long>(stats.recordsRead),
        static_cast<long long>(stats.recordsExpected), stats.recordsOk ? "OK" : "ERROR");
}

// The path and the system's reason under the window's text, which has neither.
void printOutputProblem(const ConversionRequest& request, const ConversionStats& stats) {
    if (stats.outputError) {
        std::fprintf(stderr, "  '%s': %s\n", utf8Text(request.outputPath).c_str(),
                     outputProblem(request.outputPath, stats.outputError).c_str());
        return;
    }
    for (const std::filesystem::path& path : outputFiles(request)) {
        const std::string problem = outputProblem(path);
        if (problem.empty()) continue;
        std::fprintf(stderr, "  '%s': %s\n", utf8Text(path).c_str(), problem.c_str());
        return;
    }
}

// Reads the header of an Esri ASCII grid; on failure says why (a raster of
// another kind is named) and returns the exit status. `gdalReason` is GDAL's
// when it was asked first and does not read the file either.
std::optional<ExitStatus> readAsciiHeader(const std::filesystem::path& input, const std::string& gdalReason,
                                          GridHeader& header) {
    const int headerResult = readGridHeader(input, header);
    if (headerResult == gridHeaderUnopenable) {
        std::fprintf(stderr, "morvale-convert: cannot open '%s' (missing, a folder or not readable)\n",
                     utf8Text(input).c_str());
        return ExitStatus::inputRefused;
    }
    if (headerResult != gridHeaderOk && fileLooksLikeUtf16(input)) {
        std::fprintf(stderr, "morvale-convert: '%s' %s\n", utf8Text(input).c_str(), utf16TextMessage);
        return ExitStatus::inputRefused;
    }
    if (const RasterKind kind = headerResult != gridHeaderOk ? fileRasterKind(input) : RasterKind{};
        kind.what != nullptr) {
        if (gdalReason.empty())
            std::fprintf(stderr, "morvale-convert: '%s' %s\n", utf8Text(input).c_str(),
                         notAGridText(kind, input).c_str());
        else
            std::fprintf(stderr, "morvale-convert: '%s' is %s, not an Esri ASCII grid, and GDAL cannot read it: %s\n",
                         utf8Text(input).c_str(), kind.what, gdalReason.c_str());
        return ExitStatus::inputRefused;
    }
    if (headerResult != gridHeaderOk && !gdalReason.empty()) {
        std::fprintf(stderr,
                     "morvale-convert: '%s': GDAL cannot read it (%s), and as an Esri ASCII grid the grid "
                     "header is corrupted\n",
                     utf8Text(input).c_str(), gdalReason.c_str());
        return ExitStatus::inputRefused;
    }
    if (headerResult != gridHeaderOk) {
        std::fprintf(stderr,
                     "morvale-convert: '%s': the grid header is corrupted; the first lines should read\n"
                     "  ncols [number]\n  nrows [number]\n  xllcenter or xllcorner [number]\n"
                     "  yllcenter or yllcorner [number]\n  cellsize [number]\n"
                     "  nodata_value [number]  (optional)\n",
                     utf8Text(input).c_str());
#ifndef MORVALE_GDAL
        if (!hasAsciiGridExtension(input))
            std::fprintf(stderr,
                         "morvale-convert: this build reads only Esri ASCII grids (.asc); other rasters need "
                         "a build with GDAL\n");
#endif
        return ExitStatus::inputRefused;
    }
    return std::nullopt;
}

ExitStatus run(const std::vector<cli::NativeArg>& args) {
    const cli::ParsedOptions parsed = cli::parseCliOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "morvale-convert: %s\nTry 'morvale-convert --help'\n", parsed.error.c_str());
        return ExitStatus::usageError;
    }
    const cli::CliOptions& options = parsed.options;
    if (options.help) {
        std::fputs(cli::helpText().c_str(), stdout);
        return ExitStatus::success;
    }
    if (options.version) {
        std::printf("%s %s\nbuilt with %s for %s\n", cli::programName, MORVALE_VERSION_TEXT, MORVALE_COMPILER_TEXT,
                    MORVALE_TARGET_TEXT);
        return ExitStatus::success;
    }
    if (cli::isTileSetRun(options)) {
        std::signal(SIGINT, onInterrupt);
        const ExitStatus status = cli::runTileSetCommand(options, cancelRequested);
        std::signal(SIGINT, SIG_DFL);
        return status;
    }

    // An Esri ASCII grid (.asc) is read by its own reader; any other input by GDAL
    // when this build has it, and by the ASCII reader when GDAL does not read it.
    GridHeader header;
    std::string crsText;
#ifdef MORVALE_GDAL
    std::unique_ptr<RasterCellSource> raster;
    std::string gdalReason;
    if (!hasAsciiGridExtension(options.input)) {
        RasterOptions rasterOptions;
        rasterOptions.band = options.band;
        rasterOptions.keepCrs = options.keepCrs;
        rasterOptions.cellsize = options.cellsize;
        RasterOpened opened = openRaster(options.input, rasterOptions);
        if (opened.status == RasterOpenStatus::refused) {
            std::fprintf(stderr, "morvale-convert: '%s' %s\n", utf8Text(options.input).c_str(), opened.reason.c_str());
            return ExitStatus::inputRefused;
        }
        for (const std::string& warning : opened.warnings)
            std::fprintf(stderr, "morvale-convert: warning: '%s': %s\n", utf8Text(options.input).c_str(),
                         warning.c_str());
        for (const std::string& note : opened.notes)
            std::fprintf(stderr, "morvale-convert: note: '%s' %s\n", utf8Text(options.input).c_str(), note.c_str());
        raster = std::move(opened.source);
        crsText = opened.crsText;
        gdalReason = opened.reason;
        if (raster) header = raster->header();
    }
    if (!raster)
#else
    const std::string gdalReason;
#endif
    {
        if (const std::optional<ExitStatus> refused = readAsciiHeader(options.input, gdalReason, header))
            return *refused;
#ifdef MORVALE_GDAL
        if (options.cellsize) {
            std::fprintf(stderr, "morvale-convert: warning: --cellsize %.10g replaces the grid's cell size, %.10g\n",
                         *options.cellsize, header.cellsize);
            header.cellsize = *options.cellsize;
        }
#endif
    }

    const GridNames names = deriveGridNames(options.input);
    CorrectedSettings corrected = correctSettingValues(cli::settingValues(options), header.ncols, header.nrows);
    corrected.settings.mode = options.mode;
    for (const std::string& warning : cli::correctionWarnings(options, corrected, header.ncols, header.nrows))
        std::fprintf(stderr, "morvale-convert: warning: %s\n", warning.c_str());
    // --size: the unit scale that makes the window's longer side that many millimetres.
    const ConversionSettings& window = corrected.settings;
    const double longerSide =
        std::max(window.cropXMax - window.cropXMin + 1, window.cropYMax - window.cropYMin + 1) * header.cellsize;
    if (options.size) {
        SettingValues values = cli::settingValues(options);
        values.unitScale = *options.size / longerSide;
        const TerrainMode mode = corrected.settings.mode;
        corrected = correctSettingValues(values, header.ncols, header.nrows);
        corrected.settings.mode = mode;
    }

    ConversionRequest request;
    request.inputPath = options.input;
    // The format by name, else by the output's extension; a default output name takes the format's extension.
    request.format = options.format.value_or(OutputFormat::obj);
    if (options.output) {
        const FormatChoice choice = chooseOutputFormat(options.format, *options.output, request.format);
        const std::string output = utf8Text(*options.output);
        if (choice == FormatChoice::contradicted) {
            std::fprintf(stderr,
                         "morvale-convert: --format %s contradicts the extension of '%s' (%s's); give the "
                         "format's extension (%s) or leave --format out; nothing written\n",
                         outputWriter(request.format).name, output.c_str(),
                         outputWriter(formatOfPath(*options.output)).name, formatExtension(request.format));
            return ExitStatus::usageError;
        }
        if (choice == FormatChoice::otherExtension)
            std::fprintf(stderr,
                         "morvale-convert: note: '%s' has none of the extensions %s: writing OBJ (choose the "
                         "format with --format or one of these extensions)\n",
                         output.c_str(), formatExtensionList().c_str());
    }
    request.outputPath = options.output ? *options.output : names.outputPath;
    if (!options.output) request.outputPath.replace_extension(formatExtension(request.format));
    request.solid = options.solid || outputWriter(request.format).alwaysSolid;
    request.solidBase = options.solidBase;
    request.baseThickness = options.baseThickness;
    request.zScale = options.zScale;
    request.measureModel = options.size.has_value();
    request.maxError = options.maxError;
    request.maxTriangles = options.maxTriangles;
    request.header = header;
    request.settings = corrected.settings;
    request.inputNameNarrow = names.inputNameNarrow;
    request.objectNameNarrow = names.objectNameNarrow;
    request.objHeaderText = objHeaderText();
    request.attributes = options.attributes;
#ifdef MORVALE_GDAL
    request.cells = raster.get();
#endif

    for (const RequestNote& note : requestNotes(request)) {
        std::fprintf(stderr, "morvale-convert: %s\n", note.text.c_str());
        if (note.kind == RequestNoteKind::beyondLimits) return ExitStatus::outputFailed;
        if (isRefusal(note.kind)) return ExitStatus::usageError;
    }

    if (const DegreesSign degrees = options.keepCrs ? DegreesSign::none : gridInDegrees(header, options.input);
        degrees != DegreesSign::none)
        std::fprintf(stderr, "morvale-convert: warning: '%s' %s\n", utf8Text(options.input).c_str(),
                     degreesWarningText(degrees, header, options.input).c_str());

    if (!options.quiet) {
        printHeader(header, names, crsText);
        printSettings(corrected, request.outputPath);
        if (options.zScale != 1.0) std::printf("z scale:      %.10g (vertical exaggeration)\n\n", options.zScale);
        std::fflush(stdout);
    }

    std::signal(SIGINT, onInterrupt);
    ConversionStats stats;
    ConversionResult result;
    if (!options.quiet && isatty(fileno(stderr))) {
        cli::TerminalProgress progress(stderr);
        result = runConversion(request, cancelRequested, progress, stats);
    } else {
        SilentProgress progress;
        result = runConversion(request, cancelRequested, progress, stats);
    }
    std::signal(SIGINT, SIG_DFL);

    if (result == conversionSolidWithoutCells) {
        std::fprintf(stderr, "morvale-convert: %s\n", solidWithoutCellsText);
        return conversionExitStatus(result, stats);
    }
#ifdef MORVALE_GDAL
    // A raster that fails midway (a truncated or corrupt file): nothing was
    // put in place, and GDAL's reason is the message.
    if (result == conversionInputFailedMidway && raster) {
        std::fprintf(stderr, "morvale-convert: %s\n",
                     inputFailedMidwayText(utf8Text(options.input), raster->readError()).c_str());
        return conversionExitStatus(result, stats);
    }
#endif
    if (result == conversionSolidBaseNotBelow) {
        std::fprintf(stderr, "morvale-convert: %s\n", solidBaseNotBelowText(request, stats).c_str());
        return conversionExitStatus(result, stats);
    }
    if (isFailureResult(result)) {
        std::fprintf(stderr, "morvale-convert: %s\n", asciiText(failureText(result)).c_str());
        if (result == conversionOutputUncreatable || result == conversionWriteFailed)
            printOutputProblem(request, stats);
        return conversionExitStatus(result, stats);
    }
    if (!stats.budgetReached)
        std::fprintf(stderr,
                     "morvale-convert: warning: --max-triangles %lld cannot be reached: the holes and borders "
                     "alone need more triangles; the coarsest surface was written\n",
                     static_cast<long long>(request.maxTriangles));
    const SummaryBox summary = composeSummary(stats);
    if (!options.quiet) {
        std::printf("%s\n\n%s\n", asciiText(summary.caption).c_str(), asciiText(summary.text).c_str());
        if (stats.errorReached >= 0.0) std::printf("Error reached: %.9g\n", stats.errorReached);
        if (options.zScale != 1.0) std::printf("Vertical exaggeration: %.10g\n", options.zScale);
        if (options.size && stats.modelMeasured) {
            // Grid units are taken as metres: a metre of the map is unitScale millimetres of the model.
            std::printf("Map scale: 1 : %.0f\n", 1000.0 / corrected.settings.unitScale);
            std::printf("Model height: %.2f mm (base to top)\n", stats.modelHighest - stats.modelBase);
            std::printf("Base thickness: %.2f mm\n", stats.modelLowest - stats.modelBase);
        }
    }
    const ExitStatus status = conversionExitStatus(result, stats);
    if (status == ExitStatus::checkFailed) printFailedChecks(options.input, stats);
    return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<cli::NativeArg> args(argv + 1, argv + argc);
    return exitCode(run(args));
}
#else
int main(int argc, char** argv) {
    std::vector<cli::NativeArg> args(argv + 1, argv + argc);
    return exitCode(run(args));
}
#endif
