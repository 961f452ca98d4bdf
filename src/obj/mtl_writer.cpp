#include "obj/mtl_writer.h"

#include <system_error>

#include "base/output_file.h"
#include "obj/obj_writer.h"

namespace morvale {
namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path absoluteOrAsIs(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal();
}

}  // namespace

std::filesystem::path mtlPathFor(const std::filesystem::path& objPath) {
    std::filesystem::path path = objPath;
    return path.replace_extension(".mtl");
}

std::string mtlImageReference(const std::filesystem::path& image, const std::filesystem::path& objPath) {
    const std::filesystem::path target = absoluteOrAsIs(image);
    const std::filesystem::path folder = absoluteOrAsIs(objPath).parent_path();
    if (target.root_name() == folder.root_name()) {
        const std::filesystem::path relative = target.lexically_relative(folder);
        if (!relative.empty()) return utf8(relative);
    }
    return utf8(target);
}

std::string materialName(std::string_view objectName) {
    if (objectName.empty()) return "terrain";
    std::string name(objectName);
    for (char& c : name) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') c = '_';
    }
    return name;
}

std::string mtlText(std::string_view material, std::string_view imageReference) {
    std::string text = "# Morvale (v0.4)\nnewmtl ";
    text += material;
    text += "\nKd 1.000000 1.000000 1.000000\nmap_Kd ";
    text += imageReference;
    text += '\n';
    return text;
}

std::string mtllibLine(const std::filesystem::path& mtlPath) { return "mtllib " + utf8(mtlPath.filename()) + "\n"; }

std::string usemtlLine(std::string_view material) {
    std::string line = "usemtl ";
    line += material;
    line += '\n';
    return line;
}

std::string missingImageWarning(const std::filesystem::path& image) {
    return "Warning: texture image not found (the material refers to it anyway): " + utf8(image);
}

MtlOutcome writeMtlFile(const std::filesystem::path& objPath, std::string_view material,
                        const std::filesystem::path& image, const std::filesystem::path& writeTo) {
    MtlOutcome outcome;
    std::error_code error;
    outcome.imageMissing = !std::filesystem::is_regular_file(image, error);
    OutputFile output;
    if (!output.open(writeTo.empty() ? mtlPathFor(objPath) : writeTo)) {
        outcome.result = MtlResult::cannotCreate;
        outcome.error = output.error();
        return outcome;
    }
    output.writeText(mtlText(material, mtlImageReference(image, objPath)));
    if (!output.close()) {
        outcome.result = MtlResult::writeFailed;
        outcome.error = output.error();
    }
    return outcome;
}

}  // namespace morvale
