// The GDAL cell source over random rasters made in memory (/vsimem/): sizes,
// band types (complex ones too), one or two bands, geotransforms (none,
// north-up, rotated, south-up, oblong cells, in degrees), no-data values,
// NaN and infinite cells, scale and offset, a band that may not exist. Every
// raster is opened as the converter opens it; one that opens is converted
// whole in a mode the input chooses. Refused rasters must say why; converted
// ones must give a complete OBJ whose counts match the raster's own.

#include <gdal.h>
#include <ogr_srs_api.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "convert/conversion_request.h"
#include "fuzz_support.h"
#include "obj/obj_writer.h"
#include "raster/gdal/gdal_session.h"
#include "raster/gdal/gdal_cell_source.h"

using namespace morvale;
using namespace morvale_fuzz;

namespace {

constexpr GDALDataType bandTypes[] = {GDT_Byte,    GDT_UInt16,  GDT_Int16,  GDT_UInt32,  GDT_Int32,
                                      GDT_Float32, GDT_Float64, GDT_CInt16, GDT_CFloat32};

// A cell value from four input bytes: mostly small numbers, now and then a NaN,
// an infinity or the no-data value itself.
double cellValue(TailBytes& bytes, double nodata) {
    const std::uint8_t kind = bytes.byte();
    if (kind < 8) return std::numeric_limits<double>::quiet_NaN();
    if (kind < 12) return kind < 10 ? HUGE_VAL : -HUGE_VAL;
    if (kind < 40) return nodata;
    return static_cast<double>(static_cast<std::int16_t>((bytes.byte() << 8) | bytes.byte())) / (1 + kind % 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startGdal();
    TailBytes knobs(data, size);
    const int columns = 1 + static_cast<int>(knobs.below(40));
    const int rows = 1 + static_cast<int>(knobs.below(40));
    const GDALDataType type = bandTypes[knobs.below(sizeof bandTypes / sizeof bandTypes[0])];
    const int bands = 1 + static_cast<int>(knobs.below(2));
    const char* path = "/vsimem/fuzz.tif";
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path, columns, rows, bands, type, nullptr);
    FUZZ_CHECK(dataset != nullptr);

    // The geotransform: none, north-up square cells, or one of the refused kinds.
    const std::uint32_t shape = knobs.below(8);
    const double cell = (1 + knobs.below(1000)) / 16.0;
    double transform[6] = {knobs.below(2000) - 1000.0, cell, 0.0, knobs.below(2000) - 1000.0, 0.0, -cell};
    if (shape == 1) transform[2] = 0.5;        // rotated
    if (shape == 2) transform[5] = cell;       // south-up
    if (shape == 3) transform[5] = -2 * cell;  // oblong
    const bool degrees = shape >= 6;
    if (degrees) {
        transform[0] = knobs.below(340) - 170.0;
        transform[3] = knobs.below(160) - 70.0;
        transform[1] = cell / 3600.0;
        transform[5] = -cell / 3600.0 * (shape == 7 ? 1.5 : 1.0);
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(srs, 4326);
        OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
        GDALSetSpatialRef(dataset, srs);
        OSRDestroySpatialReference(srs);
    }
    if (shape != 0) GDALSetGeoTransform(dataset, transform);

    const std::uint32_t nodataKind = knobs.below(3);
    const double nodata = nodataKind == 2 ? std::numeric_limits<double>::quiet_NaN() : -1.0 * knobs.below(100);
    std::vector<double> values(static_cast<std::size_t>(columns) * rows);
    for (int b = 1; b <= bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, b);
        if (nodataKind != 0) GDALSetRasterNoDataValue(band, nodata);
        if (knobs.flag()) {
            GDALSetRasterScale(band, 0.25 * (1 + knobs.below(8)));
            GDALSetRasterOffset(band, knobs.below(100) - 50.0);
        }
        for (double& v : values) v = cellValue(knobs, nodata);
        FUZZ_CHECK(GDALRasterIO(band, GF_Write, 0, 0, columns, rows, values.data(), columns, rows, GDT_Float64, 0, 0) ==
                   CE_None);
    }
    GDALClose(dataset);

    RasterOptions options;
    options.band = 1 + static_cast<int>(knobs.below(3));
    options.keepCrs = knobs.below(4) == 0;
    if (knobs.below(4) == 0) options.cellsize = 0.5 * (1 + knobs.below(4));
    const RasterOpened opened = openGdalRaster(path, options);
    FUZZ_CHECK(opened.status != RasterOpenStatus::unopenable);
    const bool numeric = !GDALDataTypeIsComplex(type);
    const bool shapeOk = shape == 0 || shape >= 4 || (degrees && !options.keepCrs);
    const bool degreesOk = !(shape == 7 && options.keepCrs);
    const bool expected = numeric && options.band <= bands && shapeOk && degreesOk;
    if (opened.status == RasterOpenStatus::refused) {
        FUZZ_CHECK(!opened.reason.empty());
        // A warp may fail on a raster near the poles; a refusal is fine then.
        FUZZ_CHECK(!expected || (degrees && !options.keepCrs));
        VSIUnlink(path);
        return 0;
    }
    FUZZ_CHECK(expected);
    const RasterCellSource& source = *opened.source;
    const GridHeader& h = source.header();
    FUZZ_CHECK(h.ncols >= 1 && h.nrows >= 1 && h.cellsize > 0.0);
    if (!degrees || options.keepCrs) FUZZ_CHECK(h.ncols == columns && h.nrows == rows);

    ConversionRequest request;
    request.inputPath = path;
    request.header = h;
    request.cells = &source;
    request.settings.mode = knobs.flag() ? TerrainMode::FloatingPlanes : TerrainMode::Interpolated;
    request.settings.cropXMin = 1;
    request.settings.cropYMin = 1;
    request.settings.cropXMax = h.ncols;
    request.settings.cropYMax = h.nrows;
    request.settings.unitScale = 1.0;
    request.settings.useXllYllOffsets = knobs.flag();
    request.settings.centerZ = knobs.flag();
    request.attributes.normals = knobs.below(4) == 0;
    if (knobs.below(4) == 0) request.maxError = 0.5 * knobs.below(4);
    request.inputNameNarrow = "fuzz.tif";
    request.objectNameNarrow = "fuzz";
    request.objHeaderText = objHeaderText();
    request.outputPath = scratchFolder() / "raster.obj";
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    ConversionStats stats;
    const ConversionResult result = runConversion(request, cancel, progress, stats);
    FUZZ_CHECK(result == conversionFinished);
    FUZZ_CHECK(source.readError().empty());
    // Every cell of the raster is read and counted, holes included.
    FUZZ_CHECK(stats.rowsOk && stats.recordsOk);
    FUZZ_CHECK(stats.recordsRead == std::int64_t{h.ncols} * h.nrows);
    FUZZ_CHECK(stats.noDataCount >= 0 && stats.noDataCount <= stats.recordsRead);
    // The structure check knows the plain OBJ's lines: quads, no normals.
    if (!request.attributes.normals && !request.maxError) {
        const ObjShape obj = inspectObj(readBytes(request.outputPath));
        if (!obj.sound) std::fprintf(stderr, "OBJ problem: %s\n", obj.problem.c_str());
        FUZZ_CHECK(obj.sound);
        FUZZ_CHECK(obj.vertexLines == stats.vertexCount);
    }
    VSIUnlink(path);
    return 0;
}
