#include "raster/gdal/gdal_cell_source.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "base/progress_reporter.h"
#include "grid/degrees_grid.h"
#include "raster/gdal/gdal_session.h"
#include "raster/gdal/raster_header.h"
#include "raster/gdal/utm_warp.h"

namespace morvale {

namespace {

// The datasets, closed in reverse order of opening.
struct Handles {
    std::vector<GDALDatasetH> datasets;  // in the order opened; each may read the one before
    GDALRasterBandH band = nullptr;

    ~Handles() {
        for (auto it = datasets.rbegin(); it != datasets.rend(); ++it) GDALClose(*it);
    }
};

class GdalCellSource final : public RasterCellSource {
public:
    GdalCellSource(std::unique_ptr<Handles> handles, const GridHeader& header, double scale, double offset)
        : handles_(std::move(handles)), header_(header), scale_(scale), offset_(offset) {}

    const GridHeader& header() const override { return header_; }
    const std::string& readError() const override { return readError_; }
    GridBodyCounts read(const CropWindow& window, std::int32_t lastRow, const std::atomic<bool>& cancelRequested,
                        ProgressReporter& progress, CellSink& sink) const override;

private:
    std::unique_ptr<Handles> handles_;
    GridHeader header_;
    double scale_;
    double offset_;
    mutable std::string readError_;
};

// A strip of rows read at once is at most this large (a block taller than that is read in parts).
constexpr std::size_t stripBytes = std::size_t{1} << 20;

std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

RasterOpened refused(std::string reason) {
    RasterOpened opened;
    opened.status = RasterOpenStatus::refused;
    opened.reason = std::move(reason);
    return opened;
}

bool isGeographic(GDALDatasetH dataset) {
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    return srs != nullptr && OSRIsGeographic(srs) != 0;
}

RasterGeometry geometryOf(GDALDatasetH dataset) {
    RasterGeometry geometry;
    geometry.columns = GDALGetRasterXSize(dataset);
    geometry.rows = GDALGetRasterYSize(dataset);
    double transform[6];
    geometry.georeferenced = GDALGetGeoTransform(dataset, transform) == CE_None;
    if (geometry.georeferenced) std::copy(transform, transform + 6, geometry.transform);
    return geometry;
}

}  // namespace

RasterOpened openGdalRaster(const std::filesystem::path& path, const RasterOptions& options) {
    startGdal();
    CPLErrorReset();
    auto handles = std::make_unique<Handles>();
    GDALDatasetH dataset = GDALOpenEx(utf8Text(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                      nullptr, nullptr, nullptr);
    if (dataset == nullptr) {
        RasterOpened opened;
        opened.reason = gdalLastError();
        if (opened.reason.empty()) opened.reason = "GDAL does not read it";
        return opened;
    }
    handles->datasets.push_back(dataset);

    char text[256];
    const int bands = GDALGetRasterCount(dataset);
    RasterGeometry geometry = geometryOf(dataset);
    if (geometry.columns <= 0 || geometry.rows <= 0)
        return refused(rasterHeaderProblem(RasterHeaderStatus::zeroSize, geometry));
    if (bands < 1) return refused("holds no raster band");
    if (options.band < 1 || options.band > bands) {
        std::snprintf(text, sizeof text, "has %d band%s: --band %d is out of range", bands, bands == 1 ? "" : "s",
                      options.band);
        return refused(text);
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset, options.band);
    const GDALDataType type = GDALGetRasterDataType(band);
    if (type == GDT_Unknown || GDALDataTypeIsComplex(type)) {
        std::snprintf(text, sizeof text, "band %d holds %s values, not elevations", options.band,
                      GDALGetDataTypeName(type) != nullptr ? GDALGetDataTypeName(type) : "unknown");
        return refused(text);
    }
    int hasScale = 0, hasOffset = 0;
    double scale = GDALGetRasterScale(band, &hasScale);
    double offset = GDALGetRasterOffset(band, &hasOffset);
    if (!hasScale || !std::isfinite(scale)) scale = 1.0;
    if (!hasOffset || !std::isfinite(offset)) offset = 0.0;

    RasterOpened opened;
    if (geometry.georeferenced && isGeographic(dataset) && !options.keepCrs) {
        const double* t = geometry.transform;
        const int epsg = utmEpsgAt(t[0] + 0.5 * static_cast<double>(geometry.columns) * t[1],
                                   t[3] + 0.5 * static_cast<double>(geometry.rows) * t[5]);
        const UtmWarp warp = warpToUtm(dataset, options.band, epsg);
        if (warp.selected != nullptr) handles->datasets.push_back(warp.selected);
        if (warp.warped == nullptr)
            return refused("is in degrees and could not be warped to " + utmZoneText(epsg) + ": " + warp.reason +
                           " (--keep-crs converts it in degrees)");
        handles->datasets.push_back(warp.warped);
        dataset = warp.warped;
        band = GDALGetRasterBand(dataset, 1);
        geometry = geometryOf(dataset);
        opened.crsText = utmZoneText(epsg) + ", warped from degrees (bilinear)";
    }

    GridHeader header;
    if (const RasterHeaderStatus status = rasterHeader(geometry, header); status != RasterHeaderStatus::ok)
        return refused(rasterHeaderProblem(status, geometry));
    int hasNodata = 0;
    const double nodata = GDALGetRasterNoDataValue(band, &hasNodata);
    header.hasNodata = hasNodata ? 1 : 0;
    header.nodataValue = hasNodata ? nodata : 0.0;
    if (options.cellsize) {
        if (geometry.georeferenced) {
            std::snprintf(text, sizeof text, "--cellsize %.10g replaces the raster's cell size, %.10g",
                          *options.cellsize, header.cellsize);
            opened.warnings.emplace_back(text);
        }
        header.cellsize = *options.cellsize;
    } else if (!geometry.georeferenced) {
        opened.notes.emplace_back(
            "has no georeferencing: cell size 1, corner at the origin (--cellsize sets the "
            "cell size)");
    }
    handles->band = band;
    // Strips never cross a row of blocks, so the cache needs to hold one row
    // of them (and a block to spare) for each block to be decoded once; a
    // warp reads its source in chunks of its own.
    if (opened.crsText.empty()) {
        int blockWidth = 0, blockHeight = 0;
        GDALGetBlockSize(band, &blockWidth, &blockHeight);
        const std::size_t rowOfBlocks = static_cast<std::size_t>(std::max(blockHeight, 1)) *
                                        static_cast<std::size_t>(header.ncols + std::max(blockWidth, 1)) *
                                        static_cast<std::size_t>(GDALGetDataTypeSizeBytes(type));
        setGdalCache(rowOfBlocks);
    } else {
        setGdalCache(gdalCacheBytes);
    }
    opened.status = RasterOpenStatus::opened;
    opened.source = std::make_unique<GdalCellSource>(std::move(handles), header, scale, offset);
    return opened;
}

GridBodyCounts GdalCellSource::read(const CropWindow& window, std::int32_t lastRow,
                                    const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                    CellSink& sink) const {
    readError_.clear();
    GridBodyCounts counts;
    // The window and its one-cell ring, within the raster and up to lastRow.
    const std::int64_t top = std::max<std::int64_t>(std::int64_t{window.yMin} - 1, 1);
    const std::int64_t bottom =
        std::min({std::int64_t{window.yMax} + 1, std::int64_t{header_.nrows}, std::int64_t{lastRow}});
    const std::int64_t left = std::max<std::int64_t>(std::int64_t{window.xMin} - 1, 1);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{window.xMax} + 1, header_.ncols);

    // Progress as the ASCII reader steps it: every twentieth of the rows up to the window's last.
    const std::int64_t tickInterval = static_cast<std::int32_t>(window.yMax / 20.0);
    std::int64_t progressRows = 0;
    const auto rowPassed = [&] {
        if (++progressRows >= tickInterval) {
            progressRows = 0;
            progress.step();
        }
    };
    for (std::int64_t row = 1; row < top && row <= bottom; ++row) rowPassed();
    if (top > bottom || left > right) return counts;

    const std::int64_t width = right - left + 1;
    int blockWidth = 0, blockHeight = 0;
    GDALGetBlockSize(handles_->band, &blockWidth, &blockHeight);
    const std::int64_t fitting =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(stripBytes / sizeof(double)) / width);
    const std::int64_t stripRows = std::clamp<std::int64_t>(blockHeight, 1, fitting);
    std::unique_ptr<double[]> strip(new (std::nothrow) double[static_cast<std::size_t>(stripRows * width)]);
    if (!strip) {
        readError_ = "no memory for a strip of rows";
        return counts;
    }

    const bool identity = scale_ == 1.0 && offset_ == 0.0;
    const bool hasNodata = header_.hasNodata != 0;
    const double nodataLow = header_.nodataValue - noDataTolerance, nodataHigh = header_.nodataValue + noDataTolerance;
    for (std::int64_t first = top; first <= bottom;) {
        if (cancelRequested.load(std::memory_order_relaxed)) return counts;
        // A strip ends at a block's bottom edge, so no block is decoded twice.
        const std::int64_t blockLeft = blockHeight > 0 ? blockHeight - (first - 1) % blockHeight : stripRows;
        const std::int64_t rows = std::min({stripRows, blockLeft, bottom - first + 1});
        CPLErrorReset();
        if (GDALRasterIO(handles_->band, GF_Read, static_cast<int>(left - 1), static_cast<int>(first - 1),
                         static_cast<int>(width), static_cast<int>(rows), strip.get(), static_cast<int>(width),
                         static_cast<int>(rows), GDT_Float64, 0, 0) != CE_None) {
            readError_ = gdalLastError();
            if (readError_.empty()) readError_ = "GDAL could not read row " + std::to_string(first);
            return counts;
        }
        for (std::int64_t r = 0; r < rows; ++r) {
            const std::int64_t row = first + r;
            const bool rowInWindow = row >= window.yMin && row <= window.yMax;
            const double* values = strip.get() + r * width;
            for (std::int64_t i = 0; i < width; ++i) {
                const std::int64_t col = left + i;
                const bool inWindow = rowInWindow && col >= window.xMin && col <= window.xMax;
                const double v = values[i];
                const bool hole = !std::isfinite(v) || (hasNodata && nodataLow <= v && v <= nodataHigh);
                if (inWindow) {
                    ++counts.recordsRead;
                    if (hole) ++counts.noDataCount;
                }
                if (!hole)
                    sink.cell(static_cast<std::int32_t>(row), static_cast<std::int32_t>(col),
                              identity ? v : v * scale_ + offset_, inWindow);
            }
            if (rowInWindow) ++counts.rowsRead;
            rowPassed();
            if (cancelRequested.load(std::memory_order_relaxed)) return counts;
        }
        first += rows;
    }
    return counts;
}

}  // namespace morvale
