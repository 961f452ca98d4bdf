#include "obj_shape.h"

#include <charconv>

namespace testing_support {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "# N tail" -> N, or -1.
std::int64_t countComment(std::string_view line, std::string_view tail) {
    if (!startsWith(line, "# ") || line.size() < 2 + tail.size() || line.substr(line.size() - tail.size()) != tail)
        return -1;
    const std::string_view digits = line.substr(2, line.size() - 2 - tail.size());
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size() ? value : -1;
}

// "%.4f" text: an optional minus, digits, a point and four digits; or inf / nan.
bool isFixed4(std::string_view t) {
    if (!t.empty() && t[0] == '-') t.remove_prefix(1);
    if (t == "inf" || t == "nan") return true;
    const std::size_t point = t.find('.');
    if (point == 0 || point == std::string_view::npos || t.size() - point != 5) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (i != point && (t[i] < '0' || t[i] > '9')) return false;
    return true;
}

bool isVertexLine(std::string_view line) {
    line.remove_prefix(2);
    for (int i = 0; i < 3; ++i) {
        const std::size_t space = line.find(' ');
        if ((i < 2) != (space != std::string_view::npos)) return false;
        if (!isFixed4(line.substr(0, space))) return false;
        line = i < 2 ? line.substr(space + 1) : std::string_view();
    }
    return true;
}

}  // namespace

ObjShape inspectObj(std::string_view obj) {
    ObjShape shape;
    const auto problem = [&](std::string text) {
        shape.problem = std::move(text);
        return shape;
    };
    if (obj.size() < 6 || obj.substr(obj.size() - 6) != " quads") return problem("does not end with ' quads'");
    std::size_t at = 0;
    while (at < obj.size()) {
        const std::size_t lf = obj.find('\n', at);
        const bool last = lf == std::string_view::npos;
        std::string_view line = obj.substr(at, last ? std::string_view::npos : lf - at);
        if (!last) {
            if (line.empty() || line.back() != '\r') return problem("a line feed without its carriage return");
            line.remove_suffix(1);
        }
        if (line.find('\r') != std::string_view::npos) return problem("a stray carriage return");
        if (startsWith(line, "v ")) {
            if (shape.vertexComment >= 0) return problem("a vertex line after the vertex count");
            if (!isVertexLine(line))
                return problem("a vertex line that is not three %.4f numbers: " + std::string(line));
            ++shape.vertexLines;
        } else if (startsWith(line, "f ")) {
            if (shape.vertexComment < 0) return problem("a face line before the vertex count");
            std::int64_t index[4];
            const char* p = line.data() + 2;
            const char* end = line.data() + line.size();
            for (std::int64_t& v : index) {
                const auto [next, error] = std::from_chars(p, end, v);
                if (error != std::errc()) return problem("a face line that does not parse");
                p = next < end && *next == ' ' ? next + 1 : next;
            }
            if (p != end) return problem("a face line with trailing text");
            for (const std::int64_t v : index)
                if (v < 1 || v > shape.vertexComment) return problem("a face names a missing vertex");
            ++shape.faceLines;
        } else if (const std::int64_t vertices = countComment(line, " vertices"); vertices >= 0) {
            shape.vertexComment = vertices;
        } else if (last) {
            shape.quadComment = countComment(line, " quads");
        }
        if (last) break;
        at = lf + 1;
    }
    if (shape.vertexComment < 0) return problem("no vertex count comment");
    if (shape.quadComment < 0) return problem("no quad count comment");
    if (shape.vertexComment != shape.vertexLines) return problem("vertex count comment differs from the vertex lines");
    shape.sound = true;
    return shape;
}

}  // namespace testing_support
