#include "grid/header_line_reader.h"

#include <cstring>

namespace morvale {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool refill(HeaderByteSource& source) {
    if (source.exhausted) return false;
    source.blockOffset += static_cast<std::int64_t>(source.end);
    source.next = 0;
    source.end = std::fread(source.block.data(), 1, source.block.size(), source.file);
    // A failing read ends the input just like its end does.
    if (source.end == 0) source.exhausted = true;
    return source.end != 0;
}

void startToken(HeaderToken& token) {
    token.length = 0;
    token.cut = false;
}

void append(HeaderToken& token, char c) {
    if (token.length < token.bytes.size()) {
        token.bytes[token.length++] = c;
    } else {
        token.cut = true;
    }
}

// Reads one line up to and including its LF; false when no byte was left.
bool readLine(HeaderByteSource& source, HeaderLine& line) {
    int tokens = 0;
    bool inToken = false;
    bool gotByte = false;
    for (;;) {
        if (source.next == source.end && !refill(source)) {
            line.endOffset = -1;
            break;
        }
        gotByte = true;
        if (tokens > 2) {
            // Nothing after the second token matters: jump to the LF.
            const char* from = source.block.data() + source.next;
            const void* lf = std::memchr(from, '\n', source.end - source.next);
            if (lf == nullptr) {
                source.next = source.end;
                continue;
            }
            source.next += static_cast<std::size_t>(static_cast<const char*>(lf) - from);
        }
        const char c = source.block[source.next++];
        if (c == '\n') {
            line.endOffset = source.blockOffset + static_cast<std::int64_t>(source.next);
            break;
        }
        if (isSpace(c)) {
            inToken = false;
            continue;
        }
        if (!inToken) {
            inToken = true;
            ++tokens;
            if (tokens == 1) {
                startToken(line.key);
                line.keyHasDigit = false;
            } else if (tokens == 2) {
                startToken(line.value);
            }
        }
        if (tokens == 1) {
            append(line.key, c);
            if (c >= '0' && c <= '9') line.keyHasDigit = true;
        } else if (tokens == 2) {
            append(line.value, c);
        }
    }
    line.tokenCount = tokens < 2 ? tokens : 2;
    return gotByte;
}

}  // namespace

bool fetchHeaderLine(HeaderByteSource& source, HeaderLine& line) {
    while (readLine(source, line)) {
        if (line.tokenCount > 0) return true;
    }
    return false;
}

}  // namespace morvale
