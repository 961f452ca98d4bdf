// Writes a whole grid as an Interpolated OBJ with texture coordinates,
// normals and, with a texture, its material: the attribute units and lines on
// a real grid, to load into real readers before the builders write them.
// Keeps the whole grid in memory; meant for small grids.
//
// Usage: morvale-attribute-preview GRID OUT.obj [PRESET [UNIT_SCALE [IMAGE]]]

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mesh/cell_edges.h"
#include "mesh/axis_order.h"
#include "obj/fixed_format.h"
#include "obj/obj_writer.h"
#include "grid/grid_body.h"
#include "grid/grid_header.h"
#include "base/input_file.h"
#include "mesh/corner_normals.h"
#include "mesh/texture_coords.h"
#include "obj/attribute_text.h"
#include "obj/mtl_writer.h"

using namespace morvale;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s GRID OUT.obj [PRESET [UNIT_SCALE [IMAGE]]]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path objPath = argv[2];
    const std::int32_t preset = argc > 3 ? std::atoi(argv[3]) : 0;
    const double unitScale = argc > 4 ? std::atof(argv[4]) : 1.0;
    const std::filesystem::path image = argc > 5 ? argv[5] : "";
    GridHeader header;
    if (readGridHeader(argv[1], header) != 1) {
        std::fprintf(stderr, "cannot read the grid header\n");
        return 1;
    }
    const std::int64_t ncols = header.ncols, nrows = header.nrows;
    const CropWindow whole{1, 1, header.ncols, header.nrows};

    // Cells with a no-data ring: cell (r, c) at (r * (ncols + 2) + c).
    const std::size_t stride = static_cast<std::size_t>(ncols + 2);
    std::vector<double> value(stride * static_cast<std::size_t>(nrows + 2), 0.0);
    std::vector<std::uint8_t> data(value.size(), 0);
    FileHandle input = openForReading(argv[1]);
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    if (!input || !seekTo(input.get(), header.dataStart)) return 1;
    readGridBody(input.get(), header, whole, header.nrows, cancel, progress,
                 [&](std::int32_t r, std::int32_t c, double v, bool) {
                     value[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(c)] = v;
                     data[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(c)] = 1;
                 });

    // Corner line r lies between cell rows r - 1 and r; corner c between columns c - 1 and c.
    const std::size_t corners = static_cast<std::size_t>(ncols + 1);
    std::vector<double> elevation(corners * static_cast<std::size_t>(nrows + 1));
    std::vector<std::uint8_t> exists(elevation.size());
    std::vector<std::int64_t> number(elevation.size(), 0);
    for (std::int64_t r = 1; r <= nrows + 1; ++r) {
        const CellRow north{&value[static_cast<std::size_t>(r - 1) * stride], &data[static_cast<std::size_t>(r - 1) * stride]};
        const CellRow south{&value[static_cast<std::size_t>(r) * stride], &data[static_cast<std::size_t>(r) * stride]};
        const std::size_t at = static_cast<std::size_t>(r - 1) * corners;
        cornerLineFromCells(&elevation[at], &exists[at], &north, &south, corners, unitScale);
    }

    OutputFile out;
    if (!out.open(objPath)) return 1;
    out.writeText("# attribute preview\n");
    const std::string material = materialName(objPath.stem().string());
    if (!image.empty()) {
        out.writeText(mtllibLine(mtlPathFor(objPath)));
        const MtlOutcome written = writeMtlFile(objPath, material, image);
        if (written.imageMissing) std::fprintf(stderr, "%s\n", missingImageWarning(image).c_str());
        if (written.result != MtlResult::written) return 1;
    }
    const CellEdges edges = makeCellEdges(header, false, unitScale);
    const CropWindow extent = uvExtentFor(UvExtentMode::grid, whole, header.ncols, header.nrows);
    std::int64_t vertices = 0;
    std::vector<double> uvs, normalLines;
    CornerNormalStream stream(whole, unitScale, edges.cellEdge);
    std::int64_t fed = 0;
    auto feedThrough = [&](std::int64_t row) {
        for (; fed < row && fed < nrows; ++fed)
            for (std::int64_t c = 1; c <= ncols; ++c)
                if (data[static_cast<std::size_t>(fed + 1) * stride + static_cast<std::size_t>(c)])
                    stream.cell(fed + 1, c, value[static_cast<std::size_t>(fed + 1) * stride + static_cast<std::size_t>(c)]);
    };
    for (std::int64_t r = 1; r <= nrows + 1; ++r) {
        feedThrough(r + 1);
        const double* normal = stream.normals(r);
        for (std::int64_t c = 1; c <= ncols + 1; ++c, normal += 3) {
            const std::size_t at = static_cast<std::size_t>(r - 1) * corners + static_cast<std::size_t>(c - 1);
            if (!exists[at]) continue;
            number[at] = ++vertices;
            const double east = c <= ncols ? xWest(edges, c) : xEast(edges, ncols);
            const double north = r <= nrows ? yNorth(edges, r) : ySouth(edges, nrows);
            const VertexCoordinates p = applyAxisOrder(preset, east, north, elevation[at]);
            char* line = out.reserve(3 * (1 + fixed4MaxChars) + 3);
            *line++ = 'v';
            for (const double x : {p.first, p.second, p.third}) {
                *line++ = ' ';
                line = formatFixed4(x, line);
            }
            *line++ = '\r';
            *line++ = '\n';
            out.commit(line);
            uvs.insert(uvs.end(), {cornerU(extent, c), cornerV(extent, r)});
            const VertexCoordinates n = applyAxisOrder(preset, normal[0], normal[1], normal[2]);
            normalLines.insert(normalLines.end(), {n.first, n.second, n.third});
        }
    }
    for (std::size_t k = 0; k < uvs.size(); k += 2) {
        char* line = out.reserve(texCoordLineRoom);
        out.commit(putTexCoordLine(line, uvs[k], uvs[k + 1]));
    }
    for (std::size_t k = 0; k < normalLines.size(); k += 3) {
        char* line = out.reserve(normalLineRoom);
        out.commit(putNormalLine(line, normalLines[k], normalLines[k + 1], normalLines[k + 2]));
    }
    writeVertexCount(out, vertices);
    writeObjectAndGroup(out, material);
    if (!image.empty()) out.writeText(usemtlLine(material));
    const FaceAttributes attributes{.uv = true, .normals = NormalLayout::perVertex};
    std::int64_t faces = 0;
    for (std::int64_t r = 1; r <= nrows; ++r) {
        for (std::int64_t c = 1; c <= ncols; ++c) {
            if (!data[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(c)]) continue;
            auto corner = [&](std::int64_t rr, std::int64_t cc) {
                return number[static_cast<std::size_t>(rr - 1) * corners + static_cast<std::size_t>(cc - 1)];
            };
            const std::int64_t face[4] = {corner(r + 1, c), corner(r + 1, c + 1), corner(r, c + 1), corner(r, c)};
            char* line = out.reserve(attributeFaceLineRoom);
            out.commit(putAttributeFaceLine(line, face, 4, attributes));
            ++faces;
        }
    }
    writeQuadCount(out, faces);
    return out.close() ? 0 : 1;
}
