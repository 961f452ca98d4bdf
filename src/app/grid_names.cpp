#include "app/grid_names.h"

#include "base/native_text.h"

namespace morvale {
namespace {

#ifdef _WIN32
constexpr const wchar_t* separators = L"\\/:";
#else
constexpr const char* separators = "/";
#endif

std::wstring toWide(const NativeString& native) { return wideFromNative(native); }
std::string toUtf8(const NativeString& native) { return utf8FromNative(native); }

struct SplitPath {
    NativeString folder;  // up to and including the last separator
    NativeString base;    // file name without its last extension
    NativeString extension;
};

SplitPath split(const std::filesystem::path& path) {
    const NativeString& text = path.native();
    const auto cut = text.find_last_of(separators);
    SplitPath parts;
    const NativeString name = cut == NativeString::npos ? text : text.substr(cut + 1);
    parts.folder = cut == NativeString::npos ? NativeString() : text.substr(0, cut + 1);
    const auto dot = name.find_last_of('.');
    parts.base = dot == NativeString::npos ? name : name.substr(0, dot);
    parts.extension = dot == NativeString::npos ? NativeString() : name.substr(dot);
    return parts;
}

}  // namespace

std::string cutUtf8(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

GridNames deriveGridNames(const std::filesystem::path& inputPath) {
    const SplitPath parts = split(inputPath);
    GridNames names;
    names.fileNameText = toWide(parts.base + parts.extension);
    names.inputNameNarrow = toUtf8(parts.base + parts.extension);
    names.objectNameNarrow = cutUtf8(toUtf8(parts.base), 127);
    NativeString outputName = parts.base;
    for (const char c : std::string_view(".obj")) outputName.push_back(static_cast<NativeString::value_type>(c));
    names.outputPath = std::filesystem::path(parts.folder + outputName);
    names.outputFolderText = toWide(parts.folder);
    names.outputNameText = toWide(outputName);
    return names;
}

OutputPathTexts splitOutputPath(const std::filesystem::path& outputPath) {
    const SplitPath parts = split(outputPath);
    return {toWide(parts.folder), toWide(parts.base + parts.extension)};
}

}  // namespace morvale
