#pragma once
// Path and argument texts between the platform's native form, wide text and UTF-8.

#include <filesystem>
#include <string>

namespace morvale {

using NativeString = std::filesystem::path::string_type;

// Wide text of a native string. On Linux native strings are taken as UTF-8;
// bytes that are not valid UTF-8 become U+FFFD, so nothing throws.
std::wstring wideFromNative(const NativeString& native);

// UTF-8 form of a native string (Windows names are UTF-16).
std::string utf8FromNative(const NativeString& native);

}  // namespace morvale
