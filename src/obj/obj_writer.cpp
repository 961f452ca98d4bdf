#include "obj/obj_writer.h"

#include <charconv>
#include <cstring>

#include "obj/fixed_format.h"

namespace morvale {
namespace {

// Large enough that the disk sees few, big writes.
constexpr std::size_t outputBufferBytes = std::size_t{1} << 20;

// The names are C strings in the window: anything after a zero byte is not part of them.
std::string_view upToTerminator(std::string_view text) { return text.substr(0, text.find('\0')); }

char* appendText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* appendInteger(char* out, std::int64_t value) {
    return std::to_chars(out, out + 20, value).ptr;
}

void writeCountComment(ObjOutput& output, std::int64_t count, std::string_view tail) {
    char line[64];
    char* end = appendText(line, "# ");
    end = appendInteger(end, count);
    end = appendText(end, tail);
    output.write(std::string_view(line, static_cast<std::size_t>(end - line)));
}

}  // namespace

std::string objHeaderText() {
    std::string text = "# Morvale (v0.4)\n# ";
    text += authorSiteAddress;
    text += "\n#\n";
    return text;
}

ObjOutput::~ObjOutput() { close(); }

bool ObjOutput::open(const std::filesystem::path& path) {
    close();
#ifdef _WIN32
    file_ = _wfopen(path.c_str(), L"wb");
#else
    file_ = std::fopen(path.c_str(), "wb");
#endif
    failed_ = false;
    used_ = 0;
    filePosition_ = 0;
    if (file_ == nullptr) return false;
    // This class buffers itself; a second copy in the C library would only cost time.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (buffer_.size() < outputBufferBytes) buffer_.resize(outputBufferBytes);
    return true;
}

void ObjOutput::flush() {
    if (used_ == 0) return;
    if (file_ == nullptr || std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    filePosition_ += static_cast<std::int64_t>(used_);
    used_ = 0;
}

bool ObjOutput::seek(std::int64_t offset) {
    if (file_ == nullptr || offset < 0) return false;
    flush();
#ifdef _WIN32
    const bool moved = _fseeki64(file_, offset, SEEK_SET) == 0;
#else
    const bool moved = fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    if (moved) filePosition_ = offset;
    return moved;
}

void ObjOutput::write(std::string_view bytes) {
    if (bytes.size() > buffer_.size() - used_) {
        flush();
        if (bytes.size() > buffer_.size()) {
            if (file_ == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
            filePosition_ += static_cast<std::int64_t>(bytes.size());
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void ObjOutput::writeText(std::string_view text) {
    for (std::size_t lineEnd = text.find('\n'); lineEnd != std::string_view::npos; lineEnd = text.find('\n')) {
        write(text.substr(0, lineEnd));
        write("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    write(text);
}

char* ObjOutput::reserve(std::size_t bytes) {
    if (bytes > buffer_.size() - used_) {
        flush();
        if (bytes > buffer_.size()) buffer_.resize(bytes);
    }
    return buffer_.data() + used_;
}

void ObjOutput::commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

bool ObjOutput::close() {
    if (file_ == nullptr) return !failed_;
    flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

void writeObjHeader(ObjOutput& output, std::string_view objHeaderText, std::string_view inputNameNarrow) {
    std::time_t now = std::time(nullptr);
    std::tm localTime{};
#ifdef _WIN32
    localtime_s(&localTime, &now);
#else
    localtime_r(&now, &localTime);
#endif
    writeObjHeaderAt(output, objHeaderText, inputNameNarrow, localTime);
}

void writeObjHeaderAt(ObjOutput& output, std::string_view objHeaderText, std::string_view inputNameNarrow,
                      const std::tm& localTime) {
    output.writeText(objHeaderText);
    char startedAt[512] = {};
    std::size_t length = std::strftime(startedAt, sizeof startedAt, "# File conversion started at: %Y-%m-%d, %H:%M\n",
                                       &localTime);
    output.writeText(std::string_view(startedAt, length));
    output.write("# Original input filename: ");
    output.write(upToTerminator(inputNameNarrow));
    output.write("\r\n\r\n\r\n");
}

char* formatVertexLine(char* out, double first, double second, double third) {
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

char* formatFaceLine(char* out, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    *out++ = 'f';
    for (std::int64_t vertex : {a, b, c, d}) {
        *out++ = ' ';
        out = appendInteger(out, vertex);
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

void writeVertexLine(ObjOutput& output, double first, double second, double third) {
    output.commit(formatVertexLine(output.reserve(vertexLineMaxChars), first, second, third));
}

void writeFaceLine(ObjOutput& output, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    output.commit(formatFaceLine(output.reserve(faceLineMaxChars), a, b, c, d));
}

void writeVertexCount(ObjOutput& output, std::int64_t vertexCount) {
    writeCountComment(output, vertexCount, " vertices\r\n\r\n");
}

void writeObjectAndGroup(ObjOutput& output, std::string_view objectNameNarrow) {
    std::string_view name = upToTerminator(objectNameNarrow);
    output.write("o ");
    output.write(name);
    output.write("\r\ng ");
    output.write(name);
    output.write("\r\n");
}

void writeQuadCount(ObjOutput& output, std::int64_t quadCount) { writeCountComment(output, quadCount, " quads"); }

}  // namespace morvale
