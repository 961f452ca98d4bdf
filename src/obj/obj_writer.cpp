#include "obj/obj_writer.h"

#include <charconv>
#include <cstring>

#include "morvale_version.h"
#include "obj/text_room.h"

namespace morvale {
namespace {

// The names are C strings in the window: anything after a zero byte is not part of them.
std::string_view upToTerminator(std::string_view text) { return text.substr(0, text.find('\0')); }

char* appendText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* appendInteger(char* out, std::int64_t value) { return std::to_chars(out, out + integerMaxChars, value).ptr; }

void writeCountComment(OutputFile& output, std::int64_t count, std::string_view tail) {
    char line[64];
    char* end = appendText(line, "# ");
    end = appendInteger(end, count);
    end = appendText(end, tail);
    output.write(std::string_view(line, static_cast<std::size_t>(end - line)));
}

}  // namespace

std::string objHeaderText() {
    std::string text = "# Morvale (v" MORVALE_VERSION_SHORT ")\n# ";
    text += authorSiteAddress;
    text += "\n#\n";
    return text;
}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm localTime{};
#ifdef _WIN32
    localtime_s(&localTime, &now);
#else
    localtime_r(&now, &localTime);
#endif
    return localTime;
}

void writeObjHeader(OutputFile& output, std::string_view objHeaderText, std::string_view inputNameNarrow) {
    writeObjHeaderAt(output, objHeaderText, inputNameNarrow, localTimeNow());
}

void writeObjHeaderAt(OutputFile& output, std::string_view objHeaderText, std::string_view inputNameNarrow,
                      const std::tm& localTime) {
    output.writeText(objHeaderText);
    char startedAt[512] = {};
    std::size_t length =
        std::strftime(startedAt, sizeof startedAt, "# File conversion started at: %Y-%m-%d, %H:%M\n", &localTime);
    output.writeText(std::string_view(startedAt, length));
    output.write("# Original input filename: ");
    output.write(upToTerminator(inputNameNarrow));
    output.write("\r\n\r\n\r\n");
}

void writeVertexCount(OutputFile& output, std::int64_t vertexCount) {
    writeCountComment(output, vertexCount, " vertices\r\n\r\n");
}

void writeObjectAndGroup(OutputFile& output, std::string_view objectNameNarrow) {
    std::string_view name = upToTerminator(objectNameNarrow);
    output.write("o ");
    output.write(name);
    output.write("\r\ng ");
    output.write(name);
    output.write("\r\n");
}

void writeQuadCount(OutputFile& output, std::int64_t quadCount) { writeCountComment(output, quadCount, " quads"); }

}  // namespace morvale
