// morvale-make-cli-docs MANPAGE COMPLETION: writes the manual page and the
// bash completion of morvale-convert, both from the tables of its --help.

#include <cstdio>
#include <string>

#include "cli/docs/bash_completion.h"
#include "cli/docs/man_page.h"
#include "morvale_version.h"

namespace {

bool writeText(const char* path, const std::string& text) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: morvale-make-cli-docs MANPAGE COMPLETION\n", stderr);
        return 2;
    }
    if (!writeText(argv[1], morvale::cli::renderManPage(MORVALE_VERSION_TEXT)) ||
        !writeText(argv[2], morvale::cli::renderBashCompletion())) {
        std::fprintf(stderr, "morvale-make-cli-docs: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
