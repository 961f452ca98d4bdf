#include "glb/glb_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "base/platform_file.h"

namespace morvale {

namespace {

constexpr std::int64_t glbLengthLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t vertexLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t indexBytes = 4;
constexpr std::int64_t positionBytes = 12, normalBytes = 12, uvBytes = 8;

std::int64_t pad4(std::int64_t bytes) { return (bytes + 3) & ~std::int64_t{3}; }

std::uint32_t strideFor(const MeshInfo& info) {
    return static_cast<std::uint32_t>(positionBytes + (info.normals != NormalLayout::none ? normalBytes : 0) +
                                      (info.uv ? uvBytes : 0));
}

// Appends to a fixed buffer; remembers an overflow instead of writing past it.
struct JsonText {
    char* out;
    std::size_t room;
    std::size_t used = 0;
    bool overflow = false;

    void text(std::string_view s) {
        const std::size_t n = s.size();
        if (used + n > room) {
            overflow = true;
            return;
        }
        std::memcpy(out + used, s.data(), n);
        used += n;
    }
    // Shortest text that reads back as exactly this double.
    void number(double value) {
        if (!std::isfinite(value)) value = 0.0;  // JSON has no infinities; the callers never pass one
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits - 1, value);
        *result.ptr = '\0';
        text(digits);
    }
    void integer(std::int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits - 1, value);
        *result.ptr = '\0';
        text(digits);
    }
    void vector3(const double v[3]) {
        text("[");
        for (int i = 0; i < 3; ++i) {
            if (i) text(",");
            number(v[i]);
        }
        text("]");
    }
};

struct GlbLayout {
    bool mesh = false;  // false: a scene with one empty node, no buffer
    bool translated = false;
    double translation[3] = {0, 0, 0};
    bool normals = false, uv = false;
    ImageKind image = ImageKind::unknown;  // unknown: no texture
    std::int64_t imageBytes = 0;
    std::int64_t vertexOffset = 0, vertexCount = 0;
    std::uint32_t stride = 12;
    std::int64_t indexOffset = 0, indexCount = 0;
    std::int64_t binBytes = 0;
    std::string_view bufferUri;  // empty: the buffer is the GLB's BIN chunk
    double minimum[3] = {0, 0, 0}, maximum[3] = {0, 0, 0};
};

// The whole JSON chunk text, in one place. Returns its length, 0 when it does not fit.
std::size_t formatGlbJson(const GlbLayout& layout, char* out, std::size_t room) {
    JsonText json{out, room};
    json.text(R"({"asset":{"version":"2.0","generator":"Morvale"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{)");
    if (layout.mesh) json.text(R"("mesh":0)");
    if (layout.translated) {
        json.text(layout.mesh ? R"(,"translation":)" : R"("translation":)");
        json.vector3(layout.translation);
    }
    json.text("}]");
    if (!layout.mesh) {
        json.text("}");
        return json.overflow ? 0 : json.used;
    }
    const bool textured = layout.image != ImageKind::unknown;
    int accessor = 0;
    json.text(R"(,"meshes":[{"primitives":[{"attributes":{"POSITION":0)");
    const int normalAccessor = layout.normals ? ++accessor : -1;
    const int uvAccessor = layout.uv ? ++accessor : -1;
    const int indexAccessor = ++accessor;
    if (layout.normals) {
        json.text(R"(,"NORMAL":)");
        json.integer(normalAccessor);
    }
    if (layout.uv) {
        json.text(R"(,"TEXCOORD_0":)");
        json.integer(uvAccessor);
    }
    json.text(R"(},"indices":)");
    json.integer(indexAccessor);
    json.text(textured ? R"(,"material":0,"mode":4}]}])" : R"(,"mode":4}]}])");
    if (textured) {
        json.text(R"(,"materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0},)"
                  R"("metallicFactor":0,"roughnessFactor":1}}])");
        json.text(R"(,"textures":[{"sampler":0,"source":0}])");
        json.text(R"(,"samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":33071,"wrapT":33071}])");
        json.text(layout.image == ImageKind::png ? R"(,"images":[{"bufferView":0,"mimeType":"image/png"}])"
                                                 : R"(,"images":[{"bufferView":0,"mimeType":"image/jpeg"}])");
    }
    const int vertexView = textured ? 1 : 0;
    const int indexView = vertexView + 1;
    json.text(R"(,"accessors":[{"bufferView":)");
    json.integer(vertexView);
    json.text(R"(,"byteOffset":0,"componentType":5126,"count":)");
    json.integer(layout.vertexCount);
    json.text(R"(,"type":"VEC3","min":)");
    json.vector3(layout.minimum);
    json.text(R"(,"max":)");
    json.vector3(layout.maximum);
    json.text("}");
    std::int64_t attributeOffset = positionBytes;
    const auto attribute = [&](const char* type) {
        json.text(R"(,{"bufferView":)");
        json.integer(vertexView);
        json.text(R"(,"byteOffset":)");
        json.integer(attributeOffset);
        json.text(R"(,"componentType":5126,"count":)");
        json.integer(layout.vertexCount);
        json.text(type);
    };
    if (layout.normals) {
        attribute(R"(,"type":"VEC3"})");
        attributeOffset += normalBytes;
    }
    if (layout.uv) attribute(R"(,"type":"VEC2"})");
    json.text(R"(,{"bufferView":)");
    json.integer(indexView);
    json.text(R"(,"componentType":5125,"count":)");
    json.integer(layout.indexCount);
    json.text(R"(,"type":"SCALAR"}],"bufferViews":[)");
    if (textured) {
        json.text(R"({"buffer":0,"byteOffset":0,"byteLength":)");
        json.integer(layout.imageBytes);
        json.text("},");
    }
    json.text(R"({"buffer":0,"byteOffset":)");
    json.integer(layout.vertexOffset);
    json.text(R"(,"byteLength":)");
    json.integer(layout.vertexCount * layout.stride);
    json.text(R"(,"byteStride":)");
    json.integer(layout.stride);
    json.text(R"(,"target":34962},{"buffer":0,"byteOffset":)");
    json.integer(layout.indexOffset);
    json.text(R"(,"byteLength":)");
    json.integer(layout.indexCount * indexBytes);
    json.text(R"(,"target":34963}],"buffers":[{"byteLength":)");
    json.integer(layout.binBytes);
    if (!layout.bufferUri.empty()) {
        json.text(R"(,"uri":")");
        json.text(layout.bufferUri);
        json.text("\"");
    }
    json.text("}]}");
    return json.overflow ? 0 : json.used;
}

// A float32 position coordinate; past float32's range (or NaN) it is clamped
// so that the file stays valid, and the write is reported as failed.
float toFloat32(double value, bool& lost) {
    constexpr double largest = std::numeric_limits<float>::max();
    if (value >= -largest && value <= largest) return static_cast<float>(value);
    lost = true;
    return value > 0 ? std::numeric_limits<float>::max() : value < 0 ? -std::numeric_limits<float>::max() : 0.0f;
}

// glTF axes from the map frame: (east, elevation, -north).
void toGltfAxes(const double* mapFrame, double out[3]) {
    out[0] = mapFrame[0];
    out[1] = mapFrame[2];
    out[2] = -mapFrame[1];
}

}  // namespace

GlbFit glbFits(std::int64_t vertices, std::int64_t faces, const MeshInfo& info, std::uint64_t textureBytes) {
    if (vertices > vertexLimit) return GlbFit::tooManyVertices;
    const std::int64_t trianglesPerFace = info.faceCorners == 4 ? 2 : 1;
    // Compared in long double: the products of huge counts overflow 64 bits.
    const long double bytes =
        static_cast<long double>(glbBufferStart) +
        static_cast<long double>(pad4(static_cast<std::int64_t>(textureBytes & 0x7FFFFFFFFFFFull))) +
        static_cast<long double>(vertices) * strideFor(info) +
        static_cast<long double>(faces) * trianglesPerFace * 3 * indexBytes;
    if (textureBytes > static_cast<std::uint64_t>(glbLengthLimit) || bytes > glbLengthLimit)
        return GlbFit::fileTooLarge;
    return GlbFit::fits;
}

const char* glbFitMessage(GlbFit fit) {
    switch (fit) {
    case GlbFit::tooManyVertices:
        return "The mesh has more than 4 294 967 295 vertices, more than a binary glTF file can index.";
    case GlbFit::fileTooLarge:
        return "The mesh would make a binary glTF file of 4 GiB or more, larger than the format allows.";
    default: return "";
    }
}

GlbWriter::GlbWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress) {
    gate_.cancelRequested = cancelRequested;
    gate_.progress = progress;
}

bool GlbWriter::open(const std::filesystem::path& path, const GlbOptions& options) {
    options_ = options;
    return files_.open(path, options.container, file_, options.bufferPath, options.bufferName);
}

void GlbWriter::begin(const MeshInfo& info) {
    info_ = info;
    vertexStride_ = strideFor(info);
    if (!options_.texture.empty()) embedTexture();
    file_.writeZeros(static_cast<std::size_t>(pad4(imageBytes_) - imageBytes_));
    vertexStart_ = file_.position();
    if (info.normals == NormalLayout::shared) {
        double glNormal[3];
        toGltfAxes(info.sharedNormal, glNormal);
        for (int i = 0; i < 3; ++i) sharedNormal_[i] = static_cast<float>(glNormal[i]);
    }
}

void GlbWriter::embedTexture() {
    if (!info_.uv) {
        textureStatus_ = TextureStatus::noUv;
        return;
    }
    std::FILE* image = openFile(options_.texture, "rb", L"rb");
    if (!image) {
        textureStatus_ = TextureStatus::unreadable;
        return;
    }
    unsigned char block[1 << 16];
    std::size_t got = std::fread(block, 1, sizeof block, image);
    imageKind_ = sniffImage(block, got);
    if (imageKind_ == ImageKind::unknown) {
        textureStatus_ = TextureStatus::notPngOrJpeg;
        std::fclose(image);
        return;
    }
    while (got > 0) {
        file_.write(block, got);
        imageBytes_ += static_cast<std::int64_t>(got);
        got = std::fread(block, 1, sizeof block, image);
    }
    const bool readFailed = std::ferror(image) != 0;
    std::fclose(image);
    if (readFailed || imageBytes_ > glbLengthLimit) {
        // What was copied stays as padding nothing refers to.
        textureStatus_ = TextureStatus::unreadable;
        imageKind_ = ImageKind::unknown;
        file_.seek(file_.position() - imageBytes_);
        imageBytes_ = 0;
        return;
    }
    textureStatus_ = TextureStatus::embedded;
}

void GlbWriter::vertices(const VertexBatch& batch) {
    assert(batch.count == 0 || ((batch.uv != nullptr || !info_.uv) &&
                                (batch.normal != nullptr || info_.normals != NormalLayout::perVertex)));
    if (!gate_.admit(batch.cancellable)) return;
    for (std::size_t i = 0; i < batch.count; ++i) {
        if (vertexCount_ >= vertexLimit || file_.position() + vertexStride_ > glbLengthLimit) {
            incomplete_ = true;
            break;
        }
        const double* p = batch.position + 3 * i;
        const double local[3] = {p[0] - options_.offset[0], p[1] - options_.offset[1], p[2] - options_.offset[2]};
        double gl[3];
        toGltfAxes(local, gl);
        float position[3];
        for (int k = 0; k < 3; ++k) {
            position[k] = toFloat32(gl[k], incomplete_);
            if (vertexCount_ == 0 || position[k] < minimum_[k]) minimum_[k] = position[k];
            if (vertexCount_ == 0 || position[k] > maximum_[k]) maximum_[k] = position[k];
            file_.writeF32(position[k]);
        }
        if (info_.normals == NormalLayout::perVertex) {
            double n[3];
            toGltfAxes(batch.normal + 3 * i, n);
            for (int k = 0; k < 3; ++k) file_.writeF32(static_cast<float>(n[k]));
        } else if (info_.normals == NormalLayout::shared) {
            for (int k = 0; k < 3; ++k) file_.writeF32(sharedNormal_[k]);
        }
        if (info_.uv) {
            // glTF puts v = 0 at the image's top row; the stream's v runs south to north.
            file_.writeF32(static_cast<float>(batch.uv[2 * i]));
            file_.writeF32(static_cast<float>(1.0 - batch.uv[2 * i + 1]));
        }
        ++vertexCount_;
    }
    gate_.written(batch.stepAfter);
}

void GlbWriter::keepVertices(std::int64_t count) {
    if (count >= vertexCount_) return;
    vertexCount_ = count < 0 ? 0 : count;
    file_.seek(vertexStart_ + vertexCount_ * vertexStride_);
    if (!recomputeBounds()) incomplete_ = true;
}

bool GlbWriter::recomputeBounds() {
    unsigned char record[positionBytes + normalBytes + uvBytes];
    for (std::int64_t v = 0; v < vertexCount_; ++v) {
        if (!file_.readBack(vertexStart_ + v * vertexStride_, record, positionBytes)) return false;
        for (int k = 0; k < 3; ++k) {
            const float value = loadF32(record + 4 * k);
            if (v == 0 || value < minimum_[k]) minimum_[k] = value;
            if (v == 0 || value > maximum_[k]) maximum_[k] = value;
        }
    }
    return true;
}

void GlbWriter::endVertices() {}

void GlbWriter::writeTriangle(std::int64_t a, std::int64_t b, std::int64_t c) {
    file_.writeU32(static_cast<std::uint32_t>(a - 1));
    file_.writeU32(static_cast<std::uint32_t>(b - 1));
    file_.writeU32(static_cast<std::uint32_t>(c - 1));
    ++triangleCount_;
}

void GlbWriter::faces(const FaceBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    const int corners = info_.faceCorners;
    const std::int64_t trianglesPerFace = corners == 4 ? 2 : 1;
    for (std::size_t f = 0; f < batch.count; ++f) {
        const std::int64_t* v = batch.vertex + f * static_cast<std::size_t>(corners);
        bool named = true;
        for (int k = 0; k < corners; ++k) named = named && v[k] >= 1 && v[k] <= vertexCount_;
        // A face naming a vertex that did not reach the file (cut by a cancel) is left out.
        if (!named) continue;
        if (file_.position() + trianglesPerFace * 3 * indexBytes > glbLengthLimit) {
            incomplete_ = true;
            break;
        }
        writeTriangle(v[0], v[1], v[2]);
        if (corners == 4) writeTriangle(v[0], v[2], v[3]);
        ++faceCount_;
    }
    gate_.written(batch.stepAfter);
}

MeshWritten GlbWriter::end() {
    GlbLayout layout;
    layout.mesh = triangleCount_ > 0 && vertexCount_ > 0;
    layout.translated = options_.offset[0] != 0.0 || options_.offset[1] != 0.0 || options_.offset[2] != 0.0;
    toGltfAxes(options_.offset, layout.translation);
    layout.normals = info_.normals != NormalLayout::none;
    layout.uv = info_.uv;
    layout.image = imageKind_;
    layout.imageBytes = imageBytes_;
    layout.vertexOffset = vertexStart_ - files_.bufferStart();
    layout.vertexCount = vertexCount_;
    layout.stride = vertexStride_;
    layout.indexOffset = layout.vertexOffset + vertexCount_ * vertexStride_;
    layout.indexCount = triangleCount_ * 3;
    layout.binBytes = layout.indexOffset + layout.indexCount * indexBytes;
    layout.bufferUri = files_.bufferUri();
    for (int k = 0; k < 3; ++k) {
        layout.minimum[k] = minimum_[k];
        layout.maximum[k] = maximum_[k];
    }

    std::string json(gltfJsonRoom + layout.bufferUri.size(), ' ');
    const std::size_t jsonBytes = formatGlbJson(layout, json.data(), json.size());
    assert(jsonBytes > 0);
    const bool closed = files_.close(file_, json.data(), jsonBytes, layout.mesh ? layout.binBytes : -1);

    MeshWritten written;
    written.vertices = layout.mesh ? vertexCount_ : 0;
    written.faces = layout.mesh ? faceCount_ : 0;
    written.ok = closed && jsonBytes > 0 && !incomplete_;
    return written;
}

}  // namespace morvale
