#pragma once
// The manual page of morvale-convert, in the man macros of roff, rendered
// from the same tables as --help (cli_manual.h).

#include <string>
#include <string_view>

namespace morvale::cli {

// The whole page for section 1; version goes into its title line.
std::string renderManPage(std::string_view version);

}  // namespace morvale::cli
