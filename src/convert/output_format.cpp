#include "convert/output_format.h"

namespace morvale {
namespace {

struct FormatName {
    OutputFormat format;
    const char* name;
    const char* extension;
};

constexpr FormatName formatNames[] = {
    {OutputFormat::obj, "obj", ".obj"},
    {OutputFormat::glb, "glb", ".glb"},
    {OutputFormat::stl, "stl", ".stl"},
};

bool sameIgnoringCase(const std::filesystem::path::string_type& text, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        auto c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<decltype(c)>(c - 'A' + 'a');
        if (c != static_cast<decltype(c)>(ascii[i])) return false;
    }
    return i == text.size();
}

}  // namespace

bool parseOutputFormat(std::string_view name, OutputFormat& format) {
    for (const FormatName& f : formatNames) {
        if (name == f.name) {
            format = f.format;
            return true;
        }
    }
    return false;
}

OutputFormat formatOfPath(const std::filesystem::path& path) {
    const std::filesystem::path::string_type extension = path.extension().native();
    for (const FormatName& f : formatNames)
        if (sameIgnoringCase(extension, f.extension)) return f.format;
    return OutputFormat::obj;
}

const char* formatExtension(OutputFormat format) {
    for (const FormatName& f : formatNames)
        if (f.format == format) return f.extension;
    return ".obj";
}

}  // namespace morvale
