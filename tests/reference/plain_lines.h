#pragma once
// Vertex and face lines formatted the plain way, one number after another:
// what the reference builders write and what the writer's fast lines are
// checked against.

#include <charconv>
#include <cstdint>

#include "base/output_file.h"
#include "obj/fixed_format.h"

namespace morvale {

// Longest vertex line: "v", three numbers of fixed4MaxChars with their spaces, CR LF.
inline constexpr std::size_t vertexLineMaxChars = 1 + 3 * (1 + fixed4MaxChars) + 2;
// Longest face line: "f", four 64-bit numbers with their spaces, CR LF.
inline constexpr std::size_t faceLineMaxChars = 1 + 4 * 21 + 2;

inline char* formatVertexLine(char* out, double first, double second, double third) {
    *out++ = 'v';
    *out++ = ' ';
    out = formatFixed4(first, out);
    *out++ = ' ';
    out = formatFixed4(second, out);
    *out++ = ' ';
    out = formatFixed4(third, out);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

inline char* formatFaceLine(char* out, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    *out++ = 'f';
    for (std::int64_t vertex : {a, b, c, d}) {
        *out++ = ' ';
        out = std::to_chars(out, out + 20, vertex).ptr;
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

inline void writeVertexLine(OutputFile& output, double first, double second, double third) {
    output.commit(formatVertexLine(output.reserve(vertexLineMaxChars), first, second, third));
}

inline void writeFaceLine(OutputFile& output, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    output.commit(formatFaceLine(output.reserve(faceLineMaxChars), a, b, c, d));
}

}  // namespace morvale
