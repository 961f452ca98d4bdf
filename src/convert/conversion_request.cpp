#include "convert/conversion_request.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include "base/platform_file.h"
#include "base/staged_file.h"
#include "convert/conversion_files.h"
#include "mesh/floating_planes.h"
#include "mesh/forwarding_sink.h"
#include "mesh/interpolated.h"
#include "mesh/simplify/simplified_builders.h"
#include "mesh/solid/solid_filter.h"

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

// The elevations of the vertices that passed, lowest and highest.
struct VertexRange {
    double lowest = DBL_MAX;
    double highest = -DBL_MAX;

    void add(const VertexBatch& batch) {
        for (std::size_t i = 0; i < batch.count; ++i) {
            const double z = batch.position[3 * i + 2];
            lowest = std::min(lowest, z);
            highest = std::max(highest, z);
        }
    }
    // In grid units (output elevations are grid elevations scaled; a
    // negative scale turns the range over); false when no vertex passed.
    bool inGrid(double unitScale, double& low, double& high) const {
        if (lowest > highest) return false;
        low = std::min(lowest / unitScale, highest / unitScale);
        high = std::max(lowest / unitScale, highest / unitScale);
        return true;
    }
};

// In front of the solid. The default base depends on the elevations of the
// surface, known only once its vertices passed: they are watched on their way
// and the base is set before the solid needs it (at endVertices). A writer
// that cannot take vertices after a block taken ahead, where the solid puts
// its base copies, has the builder hand them over in order.
class SolidFront final : public ForwardingSink {
public:
    // `elevationScale`: output units per grid elevation unit; `thickness`: the
    // base that far below the lowest vertex (output units) instead of the rule.
    SolidFront(SolidFilter& solid, double elevationScale, bool defaultBase, std::optional<double> thickness,
               bool aheadAllowed, ConversionStats& stats)
        : ForwardingSink(solid), solid_(solid), unitScale_(elevationScale), defaultBase_(defaultBase),
          thickness_(thickness), aheadAllowed_(aheadAllowed), stats_(stats) {}

    bool acceptsVerticesAhead() override { return aheadAllowed_ && solid_.acceptsVerticesAhead(); }
    void vertices(const VertexBatch& batch) override {
        range_.add(batch);
        solid_.vertices(batch);
    }
    void endVertices() override {
        // The rule is in grid units; output elevations are grid elevations
        // scaled and shifted, so it carries over scaled.
        double lowest = 0.0, highest = 0.0;
        if (thickness_ && range_.lowest <= range_.highest)
            solid_.setBaseElevation(range_.lowest - *thickness_);
        else if (defaultBase_ && range_.inGrid(unitScale_, lowest, highest))
            solid_.setBaseElevation(defaultSolidBase(lowest, highest) * unitScale_);
        if (range_.lowest <= range_.highest) {
            stats_.modelMeasured = true;
            stats_.modelLowest = range_.lowest;
            stats_.modelHighest = range_.highest;
            stats_.modelBase = solid_.baseElevation();
        }
        solid_.endVertices();
    }

private:
    SolidFilter& solid_;
    double unitScale_;
    bool defaultBase_;
    std::optional<double> thickness_;
    bool aheadAllowed_;
    ConversionStats& stats_;
    VertexRange range_;
};

// Watches the elevations on their way to the writer (a print's summary
// gives the model's height); planes are counted by their cells.
class ModelExtent final : public ForwardingSink {
public:
    ModelExtent(MeshSink& to, ConversionStats& stats) : ForwardingSink(to), stats_(stats) {}

    bool acceptsPlanes(const PlaneLattice& lattice) override {
        planeScale_ = lattice.elevationScale;
        return to().acceptsPlanes(lattice);
    }
    void vertices(const VertexBatch& batch) override {
        range_.add(batch);
        to().vertices(batch);
    }
    void planes(const PlaneBatch& batch) override {
        for (std::size_t i = 0; i < batch.count; ++i) {
            const double z = batch.cell[i].value * planeScale_;
            range_.lowest = std::min(range_.lowest, z);
            range_.highest = std::max(range_.highest, z);
        }
        to().planes(batch);
    }
    MeshWritten end() override {
        if (range_.lowest <= range_.highest) {
            stats_.modelMeasured = true;
            stats_.modelLowest = stats_.modelBase = range_.lowest;
            stats_.modelHighest = range_.highest;
        }
        return to().end();
    }

private:
    ConversionStats& stats_;
    double planeScale_ = 1.0;
    VertexRange range_;
};

// Takes a surface only to find its lowest vertex: a given solid base is
// checked against it before the output is touched.
class LowestVertex final : public MeshSink {
public:
    void begin(const MeshInfo&) override {}
    void vertices(const VertexBatch& batch) override { range.add(batch); }
    void endVertices() override {}
    void faces(const FaceBatch&) override {}
    MeshWritten end() override { return MeshWritten{0, 0, true}; }

    VertexRange range;
};

std::int64_t windowCells(const ConversionSettings& s) {
    return (std::int64_t{s.cropXMax} - s.cropXMin + 1) * (std::int64_t{s.cropYMax} - s.cropYMin + 1);
}

}  // namespace

const char* conversionConflict(const ConversionRequest& request) {
    const ConversionSettings& s = request.settings;
    const OutputWriter& format = outputWriter(request.format);
    if (format.notInThisBuild != nullptr) return format.notInThisBuild;
    if (format.alwaysSolid && s.mode == TerrainMode::FloatingPlanes)
        return "3MF holds a closed solid, which floating planes cannot make: use the interpolated mode";
    if (format.alwaysSolid && s.centerZ)
        return "3MF cannot be used with --center-z: the print stands on its base, which centring would move";
    if (request.solid && s.mode == TerrainMode::FloatingPlanes)
        return "--solid closes the interpolated surface only: floating planes share no edges to close into a solid";
    if (!(request.zScale > 0.0) || !std::isfinite(request.zScale))
        return "--z-scale takes a finite factor above 0: elevations are multiplied by it";
    if (request.baseThickness && request.solidBase)
        return "--base-thickness cannot be used with --solid BASE: both place the base; give one";
    if (request.baseThickness && !(*request.baseThickness > 0.0 && std::isfinite(*request.baseThickness)))
        return "--base-thickness takes a finite thickness above 0: the slab under the surface's lowest point";
    if (request.solid && request.solidBase && s.centerZ)
        return "--solid BASE cannot be used with --center-z: BASE is an elevation of the grid, which centring moves";
    if (request.maxError && request.maxTriangles > 0)
        return "--max-error and --max-triangles cannot be used together: give the error bound or the triangle budget";
    if (request.maxTriangles > 0 && s.mode == TerrainMode::FloatingPlanes)
        return "--max-triangles applies to the interpolated mode only; floating planes merge with --max-error";
    const AttributeSettings& a = request.attributes;
    if (request.solid && a.normals) return "--normals cannot be used with --solid: a surface normal is wrong on a wall";
    const unsigned asked = (a.writesUv() ? holdsUv : 0u) | (a.normals ? holdsNormals : 0u) |
                           (a.texture.empty() ? 0u : holdsTexture) | (request.solid ? holdsSolid : 0u);
    const OutputWriter& writer = outputWriter(request.format);
    if ((asked & ~writer.holds) != 0) return writer.holdsNotMessage;
    return nullptr;
}

const char* conversionRefusal(const ConversionRequest& request) {
    const ConversionSettings& s = request.settings;
    // Upper bounds of the counts, checked against the format's limits.
    // Bounds past any format's limit are held there, so that the factors below cannot overflow.
    constexpr std::int64_t beyondAnyLimit = std::int64_t{1} << 40;
    const std::int64_t cells = std::min(windowCells(s), beyondAnyLimit);
    std::int64_t vertices =
        s.mode == TerrainMode::FloatingPlanes
            ? 4 * cells
            : std::min((std::int64_t{s.cropXMax} - s.cropXMin + 2) * (std::int64_t{s.cropYMax} - s.cropYMin + 2),
                       beyondAnyLimit);
    std::int64_t faces = cells;
    if (request.solid) {
        vertices = solidVertexBound(vertices);
        faces = solidFaceBound(faces, 4);
    }
    const OutputWriter& writer = outputWriter(request.format);
    return writer.limits != nullptr ? writer.limits(MeshBounds{vertices, faces, 4}) : nullptr;
}

std::string inputFailedMidwayText(const std::string& input, const std::string& reason) {
    return "'" + input + "': GDAL could not read it: " + reason + "; nothing written";
}

std::string solidBaseNotBelowText(const ConversionRequest& request, const ConversionStats& stats) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "--solid %.10g is not below the lowest elevation of the surface, %.10g: the walls would cross "
                  "it; give a lower base; nothing written",
                  request.solidBase.value_or(0.0), stats.surfaceLowest);
    return text;
}

ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats, PipelineMode mode) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const ConversionSettings& settings = request.settings;
    if (conversionConflict(request) != nullptr || conversionRefusal(request) != nullptr)
        return conversionOutputUncreatable;
    FileHandle input;
    bool positioned = false;
    if (const ConversionResult opened = openConversionInput(request, input, positioned); opened != conversionFinished)
        return opened;
    const OutputWriter& format = outputWriter(request.format);

    TerrainJob job;
    job.header = &request.header;
    job.window = CropWindow{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    job.useXllYllOffsets = settings.useXllYllOffsets;
    job.centerZ = settings.centerZ;
    job.unitScale = settings.unitScale;
    job.zScale = request.zScale;
    const double zUnits = elevationScale(job);
    job.cells = request.cells;
    if (request.cells == nullptr && positioned) {
        job.input = input.get();
        job.bodyBytes = bodyBytes(request);
    }
    job.cancelRequested = &cancelRequested;
    job.progress = &progress;
    job.threaded = mode == PipelineMode::threaded;
    job.attributes = request.attributes;
    job.writingStage = format.writingStage;

    // The mesh of the mode, simplified or not, into `sink`.
    const bool floating = settings.mode == TerrainMode::FloatingPlanes;
    const auto build = [&](const TerrainJob& run, MeshSink& sink) {
        SimplifiedBuilt simplified;
        if (request.maxError || request.maxTriangles > 0) {
            // Faces past the memory budget wait beside the output, as the solid's surface does.
            SimplifyRequest simplify{request.maxError.value_or(0.0), request.maxTriangles, request.outputPath};
            simplify.spoolPath += ".faces.tmp";
            simplified = floating ? buildMergedPlanesMesh(run, simplify.maxError, sink)
                                  : buildSimplifiedInterpolatedMesh(run, simplify, sink);
        } else {
            simplified.built = floating ? buildFloatingPlanesMesh(run, sink) : buildInterpolatedMesh(run, sink);
        }
        return simplified;
    };

    // A given solid base must lie below the surface's lowest vertex, or the
    // walls would cross the surface. That vertex is known only once the
    // surface is built: a first build, that writes nothing, finds it before
    // the output (which may hold an earlier conversion) is touched.
    if (request.solid && request.solidBase) {
        SilentProgress quiet;
        TerrainJob first = job;
        first.progress = &quiet;
        LowestVertex lowest;
        build(first, lowest);
        double low = 0.0, high = 0.0;
        if (!lowest.range.inGrid(zUnits, low, high) && !cancelRequested.load()) return conversionSolidWithoutCells;
        if (lowest.range.inGrid(zUnits, low, high) && *request.solidBase >= low) {
            stats.surfaceLowest = low;
            return conversionSolidBaseNotBelow;
        }
        if (job.input != nullptr && !seekTo(job.input, request.header.dataStart)) job.input = nullptr;
    }

    // Every file is written under a temporary name beside its own and put in
    // place when the run ends as a conversion (a cancelled one too: its file
    // is its result); a run that fails leaves the earlier files as they were.
    std::vector<StagedFile> staged;
    for (const std::filesystem::path& path : outputFiles(request)) staged.push_back(stageFile(path));
    const auto discard = [&staged] {
        for (const StagedFile& file : staged) discardStaged(file);
    };
    const std::filesystem::path noCompanion;
    std::unique_ptr<OpenWriter> writer;
    try {
        const WriterRun run{request,          cancelRequested,   progress,
                            job.threaded,     staged[0].written, staged.size() > 1 ? staged[1].written : noCompanion,
                            stats.outputError};
        if (const ConversionResult opened = format.open(run, writer); opened != conversionFinished) {
            discard();
            return opened;
        }
    } catch (const std::bad_alloc&) {
        discard();
        return conversionVertexTableFailed;
    }

    // The solid sits between the builder and the writer.
    std::optional<SolidFilter> solid;
    std::optional<SolidFront> solidFront;
    std::optional<ModelExtent> extent;
    MeshSink* sink = &writer->sink();
    if (request.measureModel && !request.solid) sink = &extent.emplace(*sink, stats);
    if (request.solid) {
        SolidOptions options;
        std::filesystem::path spool = request.outputPath;
        spool += ".surface.tmp";
        options.spoolPath = spool;
        if (request.solidBase) options.baseElevation = *request.solidBase * zUnits;
        solid.emplace(writer->sink(), options, &cancelRequested);
        sink = &solidFront.emplace(*solid, zUnits, !request.solidBase, request.baseThickness, format.verticesAfterAhead,
                                   stats);
    }

    const SimplifiedBuilt simplified = build(job, *sink);
    const TerrainBuilt& built = simplified.built;
    extent.reset();
    solidFront.reset();
    solid.reset();
    const bool closed = writer->close();
    std::error_code writeError = writer->writeError();
    writer.reset();
    input.reset();
    if (built.failure != BuildFailure::none) {
        discard();
        return built.failure == BuildFailure::vertexTable ? conversionVertexTableFailed : conversionQuadTableFailed;
    }
    if (request.cells != nullptr && request.cells->failedMidway() && !cancelRequested.load()) {
        discard();
        return conversionInputFailedMidway;
    }
    if (request.solid && !stats.modelMeasured && !cancelRequested.load()) {
        // A window without data cells has nothing to close: nothing is kept,
        // and the earlier files stay as they were.
        discard();
        return conversionSolidWithoutCells;
    }
    bool written = closed && built.written;
    // The companion first: an output in place never names a file that is not.
    for (auto file = staged.rbegin(); written && file != staged.rend(); ++file) {
        writeError = commitStaged(*file);
        written = !writeError;
    }
    if (!written) {
        discard();
        stats.outputError = writeError;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const ConversionResult result = finishRun(stats, cancelRequested, seconds, settings, built, written);
    const bool simplifiedSurface = !floating && (request.maxError || request.maxTriangles > 0);
    if (simplifiedSurface || request.solid) {
        // The simplified surface and the solid are made of triangles, not quads.
        stats.triangleCount = built.quadCount;
        stats.quadCount = 0;
    }
    if (simplifiedSurface) {
        stats.errorReached = simplified.errorReached;
        stats.budgetReached = simplified.budgetReachable;
    }
    return result;
}

}  // namespace morvale
