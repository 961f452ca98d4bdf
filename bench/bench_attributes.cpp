// The cost of texture coordinates and normals per vertex of a 4000-column
// grid, side by side with what a plain conversion formats for the same
// vertex: its "v" line and its share of the face lines.
// Usage: bench_attributes [ROWS]

#include <cmath>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "obj/face_text.h"
#include "obj/obj_writer.h"
#include "plain_lines.h"
#include "mesh/corner_normals.h"
#include "mesh/texture_coords.h"
#include "obj/attribute_text.h"

using namespace morvale;

namespace {

constexpr std::int64_t columns = 4000;

double elevationAt(std::int64_t row, std::int64_t col) {
    return 800.0 + 300.0 * std::sin(static_cast<double>(row) * 0.013) * std::cos(static_cast<double>(col) * 0.011) +
           static_cast<double>((row * 7919 + col * 104729) % 1000) * 0.01;
}

// Processor time, not wall time: the machine is shared, and this measures work.
template <class Work>
double nanosecondsPerVertex(std::int64_t vertices, Work work) {
    const std::clock_t start = std::clock();
    work();
    return static_cast<double>(std::clock() - start) * 1e9 / CLOCKS_PER_SEC / static_cast<double>(vertices);
}

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : 400;
    const std::int64_t vertices = rows * (columns + 1);
    const CropWindow window{1, 1, static_cast<std::int32_t>(columns), static_cast<std::int32_t>(rows)};
    std::vector<char> buffer(static_cast<std::size_t>(columns + 1) * 1024);
    std::size_t bytes = 0;
    double sink = 0.0;

    // Normals: cells in, three corner lines kept, a line of normals out per row.
    std::vector<double> cells(static_cast<std::size_t>(8 * columns));
    for (std::size_t k = 0; k < cells.size(); ++k)
        cells[k] = elevationAt(static_cast<std::int64_t>(k) / columns, static_cast<std::int64_t>(k) % columns);
    const double normals = nanosecondsPerVertex(vertices, [&] {
        CornerNormalStream stream(window, 1.0, 30.0);
        for (std::int64_t r = 1; r <= rows; ++r) {
            const double* row = &cells[static_cast<std::size_t>((r % 8) * columns)];
            for (std::int64_t c = 1; c <= columns; ++c) stream.cell(r, c, row[c - 1]);
            if (r >= 2) sink += stream.normals(r - 1)[3 * (r % columns)];
        }
    });
    std::vector<double> unit(static_cast<std::size_t>(3 * (columns + 1)));
    for (std::size_t k = 0; k < unit.size(); k += 3) {
        const double x = 0.1 * std::sin(static_cast<double>(k)), y = 0.2 * std::cos(static_cast<double>(k));
        const double z = std::sqrt(1.0 - x * x - y * y);
        unit[k] = x, unit[k + 1] = y, unit[k + 2] = z;
    }
    const CropWindow extent{1, 1, static_cast<std::int32_t>(columns), 4000};
    const double texCoords = nanosecondsPerVertex(vertices, [&] {
        for (std::int64_t r = 1; r <= rows; ++r) {
            char* out = buffer.data();
            const double v = cornerV(extent, r);
            for (std::int64_t c = 1; c <= columns + 1; ++c) out = putTexCoordLine(out, cornerU(extent, c), v);
            bytes += static_cast<std::size_t>(out - buffer.data());
        }
    });
    const double normalLines = nanosecondsPerVertex(vertices, [&] {
        for (std::int64_t r = 1; r <= rows; ++r) {
            char* out = buffer.data();
            for (std::size_t k = 0; k < unit.size(); k += 3)
                out = putNormalLine(out, unit[k], unit[k + 1], unit[k + 2]);
            bytes += static_cast<std::size_t>(out - buffer.data());
        }
    });
    const double vertexLines = nanosecondsPerVertex(vertices, [&] {
        for (std::int64_t r = 1; r <= rows; ++r) {
            char* out = buffer.data();
            const double* row = &cells[static_cast<std::size_t>((r % 8) * columns)];
            for (std::int64_t c = 1; c <= columns + 1; ++c)
                out = formatVertexLine(out, static_cast<double>(c) * 30.0 - 60000.0, static_cast<double>(r) * -30.0,
                                       row[(c - 1) % columns]);
            bytes += static_cast<std::size_t>(out - buffer.data());
        }
    });
    // One face per vertex, near enough for a grid.
    const FaceAttributes both{.uv = true, .normals = NormalLayout::perVertex};
    const double plainFaces = nanosecondsPerVertex(vertices, [&] {
        for (std::int64_t r = 1; r <= rows; ++r) {
            char* out = buffer.data();
            const std::int64_t top = (r - 1) * (columns + 1) + 1, bottom = top + columns + 1;
            for (std::int64_t c = 0; c <= columns; ++c)
                out = formatFaceLine(out, bottom + c, bottom + c + 1, top + c + 1, top + c);
            bytes += static_cast<std::size_t>(out - buffer.data());
        }
    });
    const double attributeFaces = nanosecondsPerVertex(vertices, [&] {
        for (std::int64_t r = 1; r <= rows; ++r) {
            char* out = buffer.data();
            const std::int64_t top = (r - 1) * (columns + 1) + 1, bottom = top + columns + 1;
            for (std::int64_t c = 0; c <= columns; ++c) {
                const std::int64_t corners[4] = {bottom + c, bottom + c + 1, top + c + 1, top + c};
                out = putAttributeFaceLine(out, corners, 4, both);
            }
            bytes += static_cast<std::size_t>(out - buffer.data());
        }
    });

    std::printf("ns per vertex of a %lld-column grid, %lld rows (%zu bytes, %g)\n", static_cast<long long>(columns),
                static_cast<long long>(rows), bytes, sink);
    std::printf("  plain:   v line %.1f + face line %.1f = %.1f\n", vertexLines, plainFaces, vertexLines + plainFaces);
    std::printf("  added:   normal %.1f + vt line %.1f + vn line %.1f + longer face (%.1f - %.1f) = %.1f\n", normals,
                texCoords, normalLines, attributeFaces, plainFaces,
                normals + texCoords + normalLines + attributeFaces - plainFaces);
    std::printf("  formatting with attributes / plain formatting: %.2f\n",
                (vertexLines + normals + texCoords + normalLines + attributeFaces) / (vertexLines + plainFaces));
    return 0;
}
