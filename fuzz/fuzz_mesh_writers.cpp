// Random small terrain surfaces (quads or triangles, holes anywhere, with or
// without settled hints, texture coordinates, normals, offsets and a cancel
// point) written through the GLB and STL writers, plain and as printable
// solids. Every file must have its format's structure; the solids must be
// closed, outward (their volume is that of the prisms under the surface) and,
// unless two data cells meet only at a corner, every edge must belong to
// exactly two triangles.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "fuzz_support.h"
#include "glb/glb_writer.h"
#include "mesh/solid/solid_filter.h"
#include "mesh_file_shape.h"
#include "stl/stl_writer.h"
#include "terrain_stream.h"

using namespace morvale;
using namespace morvale_fuzz;
using namespace testing_support;

namespace {

std::vector<float> glbCorners(const GlbShape& shape) {
    std::vector<float> corners;
    for (std::uint32_t i : shape.indices)
        corners.insert(corners.end(), &shape.positions[3 * i], &shape.positions[3 * i] + 3);
    return corners;
}

void checkSolid(const std::vector<float>& corners, TerrainGrid& g, double base, bool whole) {
    if (!whole) return;
    const SolidShape solid = inspectSolid(corners);
    FUZZ_CHECK(solid.closed);
    FUZZ_CHECK(solid.manifold || pinched(g));
    const double expected = prismVolume(g, base);
    FUZZ_CHECK(std::fabs(solid.volume - expected) <= 1e-4 * std::fabs(expected) + 1e-2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TailBytes knobs(data, size);
    const int cols = 1 + static_cast<int>(knobs.below(10));
    const int rows = 1 + static_cast<int>(knobs.below(9));
    TerrainGrid grid(cols, rows);
    grid.cell = 0.5 + knobs.below(40) * 0.25;
    StreamChoices choices;
    choices.triangles = knobs.flag();
    choices.uv = knobs.flag();
    choices.normals = static_cast<NormalLayout>(knobs.below(3));
    choices.settledHints = knobs.flag();
    choices.stepAfterRows = knobs.flag();
    const bool offsets = knobs.flag();
    const int cancelAfter = knobs.flag() ? static_cast<int>(knobs.below(2 * (rows + 1))) + 1 : 0;
    if (offsets) {
        grid.west = 600000.0 + knobs.below(1000);
        grid.south = 5100000.0 + knobs.below(1000);
    }
    choices.markOutline = knobs.flag();
    // Heights and the data mask from the front of the input.
    std::size_t at = 0;
    auto next = [&] { return at < size ? data[at++] : std::uint8_t{0}; };
    for (double& h : grid.corner) h = next() * 0.5 - 20.0;
    for (std::size_t cell = 0; cell < grid.data.size(); ++cell) grid.data[cell] = next() % 5 != 0;

    const std::filesystem::path& dir = scratchFolder();
    double low = 1e300, high = -1e300;
    for (double h : grid.corner) {
        low = std::min(low, h);
        high = std::max(high, h);
    }
    const double base = defaultSolidBase(low, high);
    std::int64_t dataCells = 0;
    for (bool d : grid.data) dataCells += d;
    const std::uint32_t trianglesPerCell = 2;

    for (int solid = 0; solid < 2; ++solid) {
        std::atomic<bool> cancel{false};
        // GLB.
        {
            GlbWriter writer(&cancel, nullptr);
            GlbOptions options;
            if (offsets) {
                options.offset[0] = grid.west;
                options.offset[1] = grid.south;
                options.offset[2] = 7.25;
            }
            FUZZ_CHECK(writer.open(dir / "m.glb", options));
            SolidOptions solidOptions;
            solidOptions.baseElevation = base;
            solidOptions.memoryBudget = 256;  // through the spool file from the first few vertices on
            solidOptions.spoolPath = dir / "s.tmp";
            SolidFilter filter(writer, solidOptions, &cancel);
            MeshSink& target = solid ? static_cast<MeshSink&>(filter) : writer;
            CancelAfter cancelling(target, cancel, cancelAfter);
            TerrainGrid g = grid;
            streamTerrain(g, cancelAfter ? static_cast<MeshSink&>(cancelling) : target, choices);
            const MeshWritten written = target.end();
            FUZZ_CHECK(written.ok);
            const GlbShape shape = inspectGlb(readBytes(dir / "m.glb"));
            FUZZ_CHECK(shape.sound);
            const bool whole = !cancel.load();
            if (whole && !solid) {
                FUZZ_CHECK(shape.hasMesh == (dataCells > 0));
                FUZZ_CHECK(shape.indices.size() == 3u * trianglesPerCell * static_cast<std::size_t>(dataCells));
                FUZZ_CHECK(!shape.hasMesh || shape.normals.empty() == (choices.normals == NormalLayout::none));
                FUZZ_CHECK(!shape.hasMesh || shape.uvs.empty() == !choices.uv);
            }
            if (shape.hasMesh && solid) {
                // Offsets only move the node: surface and base move alike, the volume stays.
                checkSolid(glbCorners(shape), g, base, whole);
                // With the outline marked, base copies only where walls stand: every vertex is named.
                if (whole && choices.markOutline) {
                    std::vector<bool> named(static_cast<std::size_t>(shape.vertexCount), false);
                    for (std::uint32_t i : shape.indices) named[i] = true;
                    FUZZ_CHECK(std::find(named.begin(), named.end(), false) == named.end());
                }
            }
        }
        // STL.
        {
            cancel = false;
            StlWriter writer(&cancel, nullptr);
            StlOptions options;
            options.presetIndex = static_cast<std::int32_t>(dataCells % 6);
            options.memoryBudget = 128;
            options.spoolPath = dir / "v.tmp";
            FUZZ_CHECK(writer.open(dir / "m.stl", options));
            SolidOptions solidOptions;
            solidOptions.baseElevation = base;
            solidOptions.spoolPath = dir / "s.tmp";
            SolidFilter filter(writer, solidOptions, &cancel);
            MeshSink& target = solid ? static_cast<MeshSink&>(filter) : writer;
            CancelAfter cancelling(target, cancel, cancelAfter);
            // STL has float32 corners and no offset of its own: real-world
            // coordinates would round them together, so the grid stays near 0.
            TerrainGrid g = grid;
            g.west = g.south = 0.0;
            streamTerrain(g, cancelAfter ? static_cast<MeshSink&>(cancelling) : target, choices);
            const MeshWritten written = target.end();
            FUZZ_CHECK(written.ok);
            const StlShape shape = inspectStl(readBytes(dir / "m.stl"));
            FUZZ_CHECK(shape.sound);
            const bool whole = !cancel.load();
            if (whole && !solid) FUZZ_CHECK(shape.count == trianglesPerCell * static_cast<std::uint32_t>(dataCells));
            if (solid) checkSolid(shape.corners, g, base, whole);
        }
    }
    return 0;
}
