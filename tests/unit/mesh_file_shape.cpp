#include "mesh_file_shape.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

namespace testing_support {

namespace {

std::uint32_t u32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    return v;
}

float f32(std::string_view bytes, std::size_t at) {
    const std::uint32_t bits = u32(bytes, at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

struct JsonReader {
    std::string_view s;
    std::size_t at = 0;
    int depth = 0;

    void blank() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t')) ++at;
    }
    bool literal(std::string_view word) {
        if (s.substr(at, word.size()) != word) return false;
        at += word.size();
        return true;
    }
    bool str(std::string& out) {
        if (at >= s.size() || s[at] != '"') return false;
        for (++at; at < s.size() && s[at] != '"'; ++at) {
            if (s[at] == '\\') ++at;  // escapes are kept raw: the writers emit none
            if (at < s.size()) out += s[at];
        }
        if (at >= s.size()) return false;
        ++at;
        return true;
    }
    bool value(Json& out) {
        if (++depth > 64) return false;
        blank();
        if (at >= s.size()) return false;
        bool ok = true;
        const char c = s[at];
        if (c == '{') {
            out.kind = Json::object;
            ++at;
            blank();
            if (at < s.size() && s[at] == '}') {
                ++at;
            } else {
                for (;;) {
                    blank();
                    std::string key;
                    if (!str(key)) return false;
                    blank();
                    if (at >= s.size() || s[at++] != ':') return false;
                    if (out.fields.count(key) || !value(out.fields[key])) return false;
                    blank();
                    if (at < s.size() && s[at] == ',') {
                        ++at;
                        continue;
                    }
                    if (at < s.size() && s[at] == '}') {
                        ++at;
                        break;
                    }
                    return false;
                }
            }
        } else if (c == '[') {
            out.kind = Json::array;
            ++at;
            blank();
            if (at < s.size() && s[at] == ']') {
                ++at;
            } else {
                for (;;) {
                    out.items.emplace_back();
                    if (!value(out.items.back())) return false;
                    blank();
                    if (at < s.size() && s[at] == ',') {
                        ++at;
                        continue;
                    }
                    if (at < s.size() && s[at] == ']') {
                        ++at;
                        break;
                    }
                    return false;
                }
            }
        } else if (c == '"') {
            out.kind = Json::string;
            ok = str(out.text);
        } else if (literal("true") || literal("false")) {
            out.kind = Json::boolean;
        } else if (literal("null")) {
            out.kind = Json::null;
        } else {
            // A JSON number, strictly: -?digits[.digits][e[+-]digits]
            const std::size_t start = at;
            if (at < s.size() && s[at] == '-') ++at;
            auto digits = [&] {
                const std::size_t from = at;
                while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
                return at > from;
            };
            if (!digits()) return false;
            if (at < s.size() && s[at] == '.') {
                ++at;
                if (!digits()) return false;
            }
            if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
                ++at;
                if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
                if (!digits()) return false;
            }
            out.kind = Json::number;
            out.value = std::stod(std::string(s.substr(start, at - start)));
        }
        --depth;
        return ok;
    }
};

}  // namespace

const Json* Json::get(const std::string& key) const {
    const auto it = fields.find(key);
    return it == fields.end() ? nullptr : &it->second;
}

double Json::numberOr(const std::string& key, double fallback) const {
    const Json* v = get(key);
    return v && v->kind == number ? v->value : fallback;
}

bool parseJson(std::string_view text, Json& out) {
    JsonReader reader{text};
    if (!reader.value(out)) return false;
    reader.blank();
    return reader.at == text.size();
}

GlbShape inspectGlb(std::string_view bytes) {
    GlbShape shape;
    auto fail = [&](std::string why) {
        shape.problem = std::move(why);
        return shape;
    };
    if (bytes.size() < 20) return fail("shorter than a header and a chunk header");
    if (bytes.substr(0, 4) != "glTF" || u32(bytes, 4) != 2) return fail("not a glTF 2 binary");
    if (u32(bytes, 8) != bytes.size()) return fail("header length differs from the file size");
    const std::size_t jsonLength = u32(bytes, 12);
    if (u32(bytes, 16) != 0x4E4F534A) return fail("first chunk is not JSON");
    if (jsonLength % 4 != 0 || 20 + jsonLength > bytes.size()) return fail("bad JSON chunk length");
    if (!parseJson(bytes.substr(20, jsonLength), shape.json) || shape.json.kind != Json::object)
        return fail("JSON chunk does not parse");
    std::string_view bin;
    const std::size_t binAt = 20 + jsonLength;
    if (binAt < bytes.size()) {
        if (binAt + 8 > bytes.size()) return fail("truncated BIN chunk header");
        const std::size_t binLength = u32(bytes, binAt);
        if (u32(bytes, binAt + 4) != 0x004E4942) return fail("second chunk is not BIN");
        if (binLength % 4 != 0 || binAt + 8 + binLength != bytes.size()) return fail("bad BIN chunk length");
        bin = bytes.substr(binAt + 8, binLength);
    }
    const Json& j = shape.json;
    const Json* asset = j.get("asset");
    if (!asset || !asset->get("version") || asset->get("version")->text != "2.0") return fail("no asset version 2.0");
    const Json* nodes = j.get("nodes");
    if (!nodes || nodes->items.size() != 1) return fail("not exactly one node");
    if (const Json* t = nodes->items[0].get("translation")) {
        if (t->items.size() != 3) return fail("bad translation");
        for (int k = 0; k < 3; ++k) shape.translation[k] = t->items[static_cast<std::size_t>(k)].value;
    }
    const Json* meshes = j.get("meshes");
    if (!meshes) {
        if (!bin.empty() || j.get("buffers") || j.get("accessors")) return fail("data without a mesh");
        shape.sound = true;
        return shape;
    }
    shape.hasMesh = true;
    if (nodes->items[0].numberOr("mesh", -1) != 0) return fail("node does not use the mesh");
    const Json* buffers = j.get("buffers");
    if (!buffers || buffers->items.size() != 1 || buffers->items[0].get("uri")) return fail("not one embedded buffer");
    const double bufferLength = buffers->items[0].numberOr("byteLength", -1);
    if (bufferLength < 1 || bufferLength > static_cast<double>(bin.size()) || bin.size() - bufferLength >= 4)
        return fail("buffer length does not match the BIN chunk");
    const Json* views = j.get("bufferViews");
    const Json* accessors = j.get("accessors");
    if (!views || !accessors) return fail("no buffer views or accessors");
    for (const Json& view : views->items) {
        const double offset = view.numberOr("byteOffset", 0), length = view.numberOr("byteLength", -1);
        if (length < 1 || offset < 0 || offset + length > bufferLength) return fail("buffer view out of the buffer");
    }
    // Reads accessor `index` as floats (or indices) after checking its bounds.
    auto readAccessor = [&](double index, int components, int componentType, std::vector<float>* floats,
                            std::vector<std::uint32_t>* ints, std::int64_t& count) -> std::string {
        if (index < 0 || index >= static_cast<double>(accessors->items.size())) return "accessor index out of range";
        const Json& a = accessors->items[static_cast<std::size_t>(index)];
        if (a.numberOr("componentType", -1) != componentType) return "wrong component type";
        count = static_cast<std::int64_t>(a.numberOr("count", -1));
        if (count < 1) return "accessor count below 1";
        const double viewIndex = a.numberOr("bufferView", -1);
        if (viewIndex < 0 || viewIndex >= static_cast<double>(views->items.size())) return "bad buffer view index";
        const Json& view = views->items[static_cast<std::size_t>(viewIndex)];
        const std::size_t elementBytes = static_cast<std::size_t>(components) * 4;
        const std::size_t stride =
            static_cast<std::size_t>(view.numberOr("byteStride", static_cast<double>(elementBytes)));
        const std::size_t start = static_cast<std::size_t>(view.numberOr("byteOffset", 0)) +
                                  static_cast<std::size_t>(a.numberOr("byteOffset", 0));
        const std::size_t end = start + (static_cast<std::size_t>(count) - 1) * stride + elementBytes;
        if (start % 4 != 0 || stride % 4 != 0 || stride < elementBytes) return "misaligned accessor";
        if (end > static_cast<std::size_t>(view.numberOr("byteOffset", 0) + view.numberOr("byteLength", 0)))
            return "accessor runs past its buffer view";
        for (std::int64_t e = 0; e < count; ++e)
            for (int c = 0; c < components; ++c) {
                const std::size_t at = start + static_cast<std::size_t>(e) * stride + static_cast<std::size_t>(c) * 4;
                if (floats) floats->push_back(f32(bin, at));
                if (ints) ints->push_back(u32(bin, at));
            }
        return "";
    };
    const Json& primitives = *meshes->items.at(0).get("primitives");
    if (meshes->items.size() != 1 || primitives.items.size() != 1) return fail("not one mesh with one primitive");
    const Json& primitive = primitives.items[0];
    if (primitive.numberOr("mode", 4) != 4) return fail("not triangles");
    const Json* attributes = primitive.get("attributes");
    if (!attributes || !attributes->get("POSITION")) return fail("no POSITION");
    std::string why =
        readAccessor(attributes->numberOr("POSITION", -1), 3, 5126, &shape.positions, nullptr, shape.vertexCount);
    if (!why.empty()) return fail("POSITION: " + why);
    const Json& position = accessors->items[static_cast<std::size_t>(attributes->numberOr("POSITION", -1))];
    for (int k = 0; k < 3; ++k) {
        float lo = shape.positions[static_cast<std::size_t>(k)], hi = lo;
        for (std::size_t v = 0; v < static_cast<std::size_t>(shape.vertexCount); ++v) {
            lo = std::min(lo, shape.positions[3 * v + static_cast<std::size_t>(k)]);
            hi = std::max(hi, shape.positions[3 * v + static_cast<std::size_t>(k)]);
        }
        const Json* mn = position.get("min");
        const Json* mx = position.get("max");
        if (!mn || !mx || mn->items.size() != 3 || mx->items.size() != 3 ||
            static_cast<float>(mn->items[static_cast<std::size_t>(k)].value) != lo ||
            static_cast<float>(mx->items[static_cast<std::size_t>(k)].value) != hi)
            return fail("POSITION min or max differs from the data");
    }
    std::int64_t count = 0;
    if (attributes->get("NORMAL")) {
        why = readAccessor(attributes->numberOr("NORMAL", -1), 3, 5126, &shape.normals, nullptr, count);
        if (!why.empty() || count != shape.vertexCount) return fail("NORMAL: " + why + " or count");
    }
    if (attributes->get("TEXCOORD_0")) {
        why = readAccessor(attributes->numberOr("TEXCOORD_0", -1), 2, 5126, &shape.uvs, nullptr, count);
        if (!why.empty() || count != shape.vertexCount) return fail("TEXCOORD_0: " + why + " or count");
    }
    why = readAccessor(primitive.numberOr("indices", -1), 1, 5125, nullptr, &shape.indices, count);
    if (!why.empty()) return fail("indices: " + why);
    if (count % 3 != 0) return fail("index count not a multiple of 3");
    for (std::uint32_t i : shape.indices)
        if (i >= static_cast<std::uint64_t>(shape.vertexCount)) return fail("index past the vertices");
    if (const Json* images = j.get("images")) {
        const Json& image = images->items.at(0);
        shape.imageMime = image.get("mimeType") ? image.get("mimeType")->text : "";
        const Json& view = views->items.at(static_cast<std::size_t>(image.numberOr("bufferView", 0)));
        shape.imageBytes = std::string(bin.substr(static_cast<std::size_t>(view.numberOr("byteOffset", 0)),
                                                  static_cast<std::size_t>(view.numberOr("byteLength", 0))));
        if (!j.get("materials") || primitive.numberOr("material", -1) != 0) return fail("image without a material");
    }
    shape.sound = true;
    return shape;
}

StlShape inspectStl(std::string_view bytes) {
    StlShape shape;
    if (bytes.size() < 84) {
        shape.problem = "shorter than the header and count";
        return shape;
    }
    if (bytes.substr(0, 5) == "solid") {
        shape.problem = "header starts like an ASCII STL";
        return shape;
    }
    shape.count = u32(bytes, 80);
    if (bytes.size() != 84 + 50 * static_cast<std::uint64_t>(shape.count)) {
        shape.problem = "size is not 84 + 50 n";
        return shape;
    }
    for (std::size_t t = 0; t < shape.count; ++t) {
        const std::size_t at = 84 + 50 * t;
        for (int k = 0; k < 3; ++k) shape.normals.push_back(f32(bytes, at + 4 * static_cast<std::size_t>(k)));
        for (int k = 0; k < 9; ++k) shape.corners.push_back(f32(bytes, at + 12 + 4 * static_cast<std::size_t>(k)));
        if (bytes[at + 48] != 0 || bytes[at + 49] != 0) {
            shape.problem = "attribute word not zero";
            return shape;
        }
    }
    shape.sound = true;
    return shape;
}

SolidShape inspectSolid(const std::vector<float>& corners) {
    using Point = std::array<float, 3>;
    SolidShape shape;
    std::map<std::pair<Point, Point>, int> directed;
    const std::size_t triangles = corners.size() / 9;
    for (std::size_t t = 0; t < triangles; ++t) {
        Point p[3];
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a)
                p[k][static_cast<std::size_t>(a)] =
                    corners[9 * t + 3 * static_cast<std::size_t>(k) + static_cast<std::size_t>(a)];
        for (int k = 0; k < 3; ++k) ++directed[{p[k], p[(k + 1) % 3]}];
        // Signed volume of the tetrahedron with the origin, in double.
        const double ax = p[0][0], ay = p[0][1], az = p[0][2], bx = p[1][0], by = p[1][1], bz = p[1][2];
        const double cx = p[2][0], cy = p[2][1], cz = p[2][2];
        shape.volume += (ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)) / 6.0;
    }
    shape.closed = true;
    shape.manifold = true;
    for (const auto& [edge, uses] : directed) {
        const auto reverse = directed.find({edge.second, edge.first});
        const int back = reverse == directed.end() ? 0 : reverse->second;
        if (back != uses) {
            shape.closed = shape.manifold = false;
            shape.problem = "an edge is not matched by its reverse";
        } else if (uses != 1) {
            shape.manifold = false;
            if (shape.problem.empty()) shape.problem = "an edge belongs to more than two triangles";
        }
    }
    shape.edges = static_cast<std::int64_t>(directed.size() / 2);
    return shape;
}

}  // namespace testing_support
