// bench_mesh_writers VARIANT COLS ROWS OUTPUT: streams a COLS x ROWS surface
// of quads (one vertex per corner, a batch per row, settled() after each
// face row, as a builder sends it) into one writer and prints the seconds
// spent. VARIANT: null (the stream alone), glb, glb-attributes (normals and
// texture coordinates), stl, solid-stl, solid-glb.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "glb/glb_writer.h"
#include "mesh/solid/solid_filter.h"
#include "stl/stl_writer.h"

using namespace morvale;

namespace {

class NullSink final : public MeshSink {
public:
    void begin(const MeshInfo&) override {}
    void vertices(const VertexBatch& b) override { count += static_cast<std::int64_t>(b.count); }
    void endVertices() override {}
    void faces(const FaceBatch&) override {}
    MeshWritten end() override { return {count, 0, true}; }
    std::int64_t count = 0;
};

MeshWritten streamSurface(MeshSink& sink, int cols, int rows, bool attributes) {
    MeshInfo info;
    info.uv = attributes;
    info.normals = attributes ? NormalLayout::perVertex : NormalLayout::none;
    // Outline marks as the builders give them: the window's border.
    const bool marks = sink.wantsOutline();
    sink.begin(info);
    std::vector<double> position(3 * static_cast<std::size_t>(cols + 1)), normal(position.size()),
        uv(2 * static_cast<std::size_t>(cols + 1));
    std::vector<std::uint8_t> outline(static_cast<std::size_t>(cols + 1));
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= cols; ++c) {
            const std::size_t k = static_cast<std::size_t>(c);
            outline[k] = r == 0 || r == rows || c == 0 || c == cols ? 1 : 0;
            position[3 * k] = c * 10.0 - cols * 5.0;
            position[3 * k + 1] = (rows - r) * 10.0 - rows * 5.0;
            position[3 * k + 2] = 500.0 + 80.0 * std::sin(c * 0.01) * std::cos(r * 0.013);
            normal[3 * k] = 0.0;
            normal[3 * k + 1] = 0.0;
            normal[3 * k + 2] = 1.0;
            uv[2 * k] = static_cast<double>(c) / cols;
            uv[2 * k + 1] = static_cast<double>(rows - r) / rows;
        }
        VertexBatch batch;
        batch.count = static_cast<std::size_t>(cols + 1);
        batch.position = position.data();
        batch.normal = attributes ? normal.data() : nullptr;
        batch.uv = attributes ? uv.data() : nullptr;
        batch.outline = marks ? outline.data() : nullptr;
        batch.cancellable = true;
        sink.vertices(batch);
    }
    sink.endVertices();
    std::vector<std::int64_t> face(4 * static_cast<std::size_t>(cols));
    const std::int64_t stride = cols + 1;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const std::int64_t tl = r * stride + c + 1, bl = tl + stride;
            std::int64_t* f = &face[4 * static_cast<std::size_t>(c)];
            f[0] = bl;
            f[1] = bl + 1;
            f[2] = tl + 1;
            f[3] = tl;
        }
        FaceBatch batch;
        batch.count = static_cast<std::size_t>(cols);
        batch.vertex = face.data();
        batch.cancellable = true;
        sink.faces(batch);
        sink.settled((r + 1) * stride + 1);
    }
    return sink.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: bench_mesh_writers null|glb|glb-attributes|stl|solid-stl|solid-glb COLS ROWS OUTPUT\n",
                   stderr);
        return 2;
    }
    const std::string variant = argv[1];
    const int cols = std::atoi(argv[2]), rows = std::atoi(argv[3]);
    const std::filesystem::path output = argv[4];
    const auto start = std::chrono::steady_clock::now();
    MeshWritten written;
    SolidOptions solid;
    solid.baseElevation = 400.0;
    solid.spoolPath = output.string() + ".surface.tmp";
    if (variant == "null") {
        NullSink sink;
        written = streamSurface(sink, cols, rows, false);
    } else if (variant == "glb" || variant == "glb-attributes" || variant == "solid-glb") {
        GlbWriter writer(nullptr, nullptr);
        if (!writer.open(output, {})) return 1;
        if (variant == "solid-glb") {
            SolidFilter filter(writer, solid, nullptr);
            written = streamSurface(filter, cols, rows, false);
        } else {
            written = streamSurface(writer, cols, rows, variant == "glb-attributes");
        }
    } else if (variant == "stl" || variant == "solid-stl") {
        StlWriter writer(nullptr, nullptr);
        if (!writer.open(output, {})) return 1;
        if (variant == "solid-stl") {
            SolidFilter filter(writer, solid, nullptr);
            written = streamSurface(filter, cols, rows, false);
        } else {
            written = streamSurface(writer, cols, rows, false);
        }
    } else {
        std::fprintf(stderr, "unknown variant %s\n", variant.c_str());
        return 2;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %.3f s, %lld vertices, %lld faces%s\n", variant.c_str(), seconds,
                static_cast<long long>(written.vertices), static_cast<long long>(written.faces),
                written.ok ? "" : " (write failed)");
    return written.ok ? 0 : 1;
}
