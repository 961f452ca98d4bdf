#include "convert/conversion_request.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <optional>
#include <system_error>

#include "convert/conversion_files.h"
#include "mesh/floating_planes.h"
#include "mesh/interpolated.h"
#include "obj/mtl_writer.h"
#include "obj/obj_mesh_writer.h"

namespace morvale {
namespace {

// Bytes of the body: from dataStart to the end of the file, or -1 when unknown.
std::int64_t bodyBytes(const ConversionRequest& request) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(request.inputPath, error);
    if (error || size > static_cast<std::uintmax_t>(INT64_MAX / 2)) return -1;
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(size) - request.header.dataStart);
}

// The end of every run: the counters against the crop window, then the cancel
// flag cleared. Returns the result the run reports.
ConversionResult finishRun(ConversionStats& stats, std::atomic<bool>& cancelRequested, double seconds,
                           const ConversionSettings& settings, const TerrainBuilt& built, bool written) {
    const std::int64_t rowsExpected = std::int64_t{settings.cropYMax} - settings.cropYMin + 1;
    const std::int64_t recordsExpected = (std::int64_t{settings.cropXMax} - settings.cropXMin + 1) * rowsExpected;
    recordStats(stats, cancelRequested, seconds, built.vertexCount, built.quadCount, built.counts.noDataCount,
                rowsExpected, built.counts.rowsRead, recordsExpected, built.counts.recordsRead);
    cancelRequested.store(false);
    return written ? conversionFinished : conversionWriteFailed;
}

}  // namespace

ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats, PipelineMode mode) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const ConversionSettings& settings = request.settings;
    FileHandle input;
    bool positioned = false;
    OutputFile output;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output);
        opened != conversionFinished)
        return opened;

    const AttributeSettings& attributes = request.attributes;
    std::string mtllib, usemtl;
    if (!attributes.texture.empty()) {
        const std::string material = materialName(request.objectNameNarrow);
        const MtlOutcome mtl = writeMtlFile(request.outputPath, material, attributes.texture);
        if (mtl.result != MtlResult::written) {
            output.close();
            return mtl.result == MtlResult::cannotCreate ? conversionOutputUncreatable : conversionWriteFailed;
        }
        mtllib = mtllibLine(mtlPathFor(request.outputPath));
        usemtl = usemtlLine(material);
    }

    TerrainJob job;
    job.header = &request.header;
    job.window = CropWindow{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    job.useXllYllOffsets = settings.useXllYllOffsets;
    job.centerZ = settings.centerZ;
    job.unitScale = settings.unitScale;
    job.cells = request.cells;
    if (request.cells == nullptr && positioned) {
        job.input = input.get();
        job.bodyBytes = bodyBytes(request);
    }
    job.cancelRequested = &cancelRequested;
    job.progress = &progress;
    job.threaded = mode == PipelineMode::threaded;
    job.attributes = attributes;

    // The writer chosen for the run: OBJ text.
    std::optional<ObjMeshWriter> writer;
    try {
        writer.emplace(output, request.outputPath,
                       ObjTexts{request.objHeaderText, request.inputNameNarrow, request.objectNameNarrow},
                       settings.presetIndex, cancelRequested, progress, job.threaded);
    } catch (const std::bad_alloc&) {
        output.close();
        return conversionVertexTableFailed;
    }
    writer->useMaterial(mtllib, usemtl);
    const TerrainBuilt built = settings.mode == TerrainMode::FloatingPlanes ? buildFloatingPlanesMesh(job, *writer)
                                                                            : buildInterpolatedMesh(job, *writer);
    writer.reset();
    input.reset();
    if (built.failure != BuildFailure::none) {
        output.close();
        return built.failure == BuildFailure::vertexTable ? conversionVertexTableFailed : conversionQuadTableFailed;
    }
    const bool written = output.close() && built.written;

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return finishRun(stats, cancelRequested, seconds, settings, built, written);
}

}  // namespace morvale
