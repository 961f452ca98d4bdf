#pragma once
// The bash completion of morvale-convert, rendered from the option table of
// cli_manual.h: option names, the words of word options, file names where a
// file is expected, and grid files (.asc) or folders for the inputs.

#include <string>

namespace morvale::cli {

// A script for /usr/share/bash-completion/completions/morvale-convert.
// Options not yet handled by the parser are left out.
std::string renderBashCompletion();

}  // namespace morvale::cli
