#include "convert/conversion_request.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <new>
#include <optional>
#include <system_error>

#include "convert/conversion_files.h"
#include "glb/glb_writer.h"
#include "mesh/cell_edges.h"
#include "mesh/floating_planes.h"
#include "mesh/forwarding_sink.h"
#include "mesh/interpolated.h"
#include "obj/mtl_writer.h"
#include "mesh/simplify/simplified_builders.h"
#include "mesh/solid/solid_filter.h"
#include "obj/obj_mesh_writer.h"
#include "stl/stl_writer.h"

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

// In front of the solid. The default base depends on the elevations of the
// surface, known only once its vertices passed: they are watched on their way
// and the base is set before the solid needs it (at endVertices). The OBJ
// writer cannot take vertices after a block written ahead, where the solid
// puts its base copies, so with OBJ the builder hands them over in order.
class SolidFront final : public ForwardingSink {
public:
    SolidFront(SolidFilter& solid, double unitScale, bool defaultBase, bool aheadAllowed)
        : ForwardingSink(solid), solid_(solid), unitScale_(unitScale), defaultBase_(defaultBase),
          aheadAllowed_(aheadAllowed) {}

    bool acceptsVerticesAhead() override { return aheadAllowed_ && solid_.acceptsVerticesAhead(); }
    void vertices(const VertexBatch& batch) override {
        for (std::size_t i = 0; i < batch.count; ++i) {
            const double z = batch.position[3 * i + 2];
            lowest_ = std::min(lowest_, z);
            highest_ = std::max(highest_, z);
        }
        solid_.vertices(batch);
    }
    void endVertices() override {
        // The rule is in grid units; output elevations are grid elevations
        // scaled and shifted, so it carries over scaled.
        if (defaultBase_ && lowest_ <= highest_)
            solid_.setBaseElevation(defaultSolidBase(lowest_ / unitScale_, highest_ / unitScale_) * unitScale_);
        solid_.endVertices();
    }

private:
    SolidFilter& solid_;
    double unitScale_;
    bool defaultBase_;
    bool aheadAllowed_;
    double lowest_ = DBL_MAX;
    double highest_ = -DBL_MAX;
};

std::int64_t windowCells(const ConversionSettings& s) {
    return (std::int64_t{s.cropXMax} - s.cropXMin + 1) * (std::int64_t{s.cropYMax} - s.cropYMin + 1);
}

// The real-world position of the grid's centre (output units): with offsets
// the GLB keeps it in the node's translation, so its float32 vertices stay
// as precise as those of a grid centred on the origin.
void glbOffset(const ConversionRequest& request, double (&offset)[3]) {
    const GridHeader& h = request.header;
    const CellEdges edges = makeCellEdges(h, true, request.settings.unitScale);
    offset[0] = (edges.xOffsetCells + h.ncols * 0.5) * edges.cellEdge;
    offset[1] = (edges.yOffsetCells + h.nrows * 0.5) * edges.cellEdge;
    offset[2] = 0.0;
}

}  // namespace

const char* conversionConflict(const ConversionRequest& request) {
    const ConversionSettings& s = request.settings;
    if (request.solid && s.mode == TerrainMode::FloatingPlanes)
        return "--solid closes the interpolated surface only: floating planes share no edges to close into a solid";
    if (request.solid && request.solidBase && s.centerZ)
        return "--solid BASE cannot be used with --center-z: BASE is an elevation of the grid, which centring moves";
    const bool simplified = request.maxError || request.maxTriangles > 0;
    if (request.maxError && request.maxTriangles > 0)
        return "--max-error and --max-triangles cannot be used together: give the error bound or the triangle budget";
    if (simplified && s.centerZ) return "--max-error and --max-triangles cannot be used with --center-z";
    if (request.maxTriangles > 0 && s.mode == TerrainMode::FloatingPlanes)
        return "--max-triangles applies to the interpolated mode only; floating planes merge with --max-error";
    const AttributeSettings& a = request.attributes;
    if (request.solid && a.normals) return "--normals cannot be used with --solid: a surface normal is wrong on a wall";
    if (request.format == OutputFormat::stl && (a.writesUv() || a.normals))
        return "--uv, --normals and --texture do not apply to STL, which holds only triangles and facet normals";
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
    if (request.format == OutputFormat::stl && !stlFits(faces, 4)) return stlTooManyTrianglesMessage;
    if (request.format == OutputFormat::glb) {
        const GlbFit fit = glbFits(vertices, faces, MeshInfo{}, 0);
        if (fit != GlbFit::fits) return glbFitMessage(fit);
    }
    return nullptr;
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
    OutputFile output;
    const bool obj = request.format == OutputFormat::obj;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output, obj);
        opened != conversionFinished)
        return opened;

    const AttributeSettings& attributes = request.attributes;
    std::string mtllib, usemtl;
    if (obj && !attributes.texture.empty()) {
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

    // The writer chosen for the run.
    std::optional<ObjMeshWriter> objWriter;
    std::optional<GlbWriter> glbWriter;
    std::optional<StlWriter> stlWriter;
    MeshSink* writer = nullptr;
    try {
        if (request.format == OutputFormat::glb) {
            GlbOptions options;
            if (settings.useXllYllOffsets) glbOffset(request, options.offset);
            options.texture = request.attributes.texture;
            writer = &glbWriter.emplace(&cancelRequested, &progress);
            if (!glbWriter->open(request.outputPath, options)) return conversionOutputUncreatable;
        } else if (request.format == OutputFormat::stl) {
            StlOptions options;
            options.presetIndex = settings.presetIndex;
            writer = &stlWriter.emplace(&cancelRequested, &progress);
            if (!stlWriter->open(request.outputPath, options)) return conversionOutputUncreatable;
        } else {
            writer =
                &objWriter.emplace(output, request.outputPath,
                                   ObjTexts{request.objHeaderText, request.inputNameNarrow, request.objectNameNarrow},
                                   settings.presetIndex, cancelRequested, progress, job.threaded);
        }
    } catch (const std::bad_alloc&) {
        output.close();
        return conversionVertexTableFailed;
    }
    if (objWriter) {
        objWriter->useMaterial(mtllib, usemtl);
        if (settings.mode == TerrainMode::FloatingPlanes) objWriter->countQuadsAs(QuadComment::planesHandedOver);
    }

    // The solid sits between the builder and the writer.
    std::optional<SolidFilter> solid;
    std::optional<SolidFront> solidFront;
    MeshSink* sink = writer;
    if (request.solid) {
        SolidOptions options;
        std::filesystem::path spool = request.outputPath;
        spool += ".surface.tmp";
        options.spoolPath = spool;
        if (request.solidBase) options.baseElevation = *request.solidBase * settings.unitScale;
        solid.emplace(*writer, options, &cancelRequested);
        sink = &solidFront.emplace(*solid, settings.unitScale, !request.solidBase, !obj);
    }

    const bool floating = settings.mode == TerrainMode::FloatingPlanes;
    SimplifiedBuilt simplified;
    if (request.maxError || request.maxTriangles > 0) {
        simplified = floating ? buildMergedPlanesMesh(job, request.maxError.value_or(0.0), *sink)
                              : buildSimplifiedInterpolatedMesh(
                                    job, SimplifyRequest{request.maxError.value_or(0.0), request.maxTriangles}, *sink);
    } else {
        simplified.built = floating ? buildFloatingPlanesMesh(job, *sink) : buildInterpolatedMesh(job, *sink);
    }
    const TerrainBuilt& built = simplified.built;
    solidFront.reset();
    solid.reset();
    objWriter.reset();
    glbWriter.reset();
    stlWriter.reset();
    input.reset();
    if (built.failure != BuildFailure::none) {
        output.close();
        return built.failure == BuildFailure::vertexTable ? conversionVertexTableFailed : conversionQuadTableFailed;
    }
    const bool written = (!obj || output.close()) && built.written;

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const ConversionResult result = finishRun(stats, cancelRequested, seconds, settings, built, written);
    if (!floating && (request.maxError || request.maxTriangles > 0)) {
        // The simplified surface is made of triangles, not quads.
        stats.triangleCount = built.quadCount;
        stats.quadCount = 0;
        stats.errorReached = simplified.errorReached;
        stats.budgetReached = simplified.budgetReachable;
    }
    return result;
}

}  // namespace morvale
