#include "base/output_file.h"

namespace morvale {

void OutputFile::writeText(std::string_view text) {
    for (std::size_t lineEnd = text.find('\n'); lineEnd != std::string_view::npos; lineEnd = text.find('\n')) {
        write(text.substr(0, lineEnd));
        write("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    write(text);
}

}  // namespace morvale
