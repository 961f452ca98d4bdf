#include "app/mesh_options.h"

#include <cwchar>
#include <iterator>

#include "app/option_number.h"

namespace morvale {
namespace {

// Stands for any image while the rules are asked: they look only at whether one is given.
constexpr char anyImage[] = "image";

}  // namespace

bool meshOptionsChosen(const MeshOptions& options) {
    const AttributeSettings& a = options.attributes;
    return options.format != OutputFormat::obj || options.maxError || options.maxTriangles > 0 || a.uv || a.normals ||
           a.uvExtent != UvExtentMode::grid || !a.texture.empty() || options.solid || options.zScale != 1.0;
}

void applyMeshOptions(const MeshOptions& options, ConversionRequest& request) {
    request.format = options.format;
    request.maxError = options.maxError;
    request.maxTriangles = options.maxTriangles;
    request.attributes = options.attributes;
    request.solid = options.solid;
    request.solidBase = options.solid ? options.solidBase : std::nullopt;
    request.zScale = options.zScale;
}

const char* meshChoiceConflict(MeshChoice choice, const MeshOptions& options, const ConversionSettings& settings) {
    MeshOptions with = options;
    switch (choice) {
    case MeshChoice::maxError:
        with.maxTriangles = 0;
        with.maxError = 1.0;
        break;
    case MeshChoice::maxTriangles:
        with.maxError.reset();
        with.maxTriangles = 2;
        break;
    case MeshChoice::uv: with.attributes.uv = true; break;
    case MeshChoice::normals: with.attributes.normals = true; break;
    case MeshChoice::texture: with.attributes.texture = anyImage; break;
    case MeshChoice::solid: with.solid = true; break;
    case MeshChoice::solidBase:
        with.solid = true;
        with.solidBase = 0.0;
        break;
    }
    ConversionRequest request;
    request.settings = settings;
    applyMeshOptions(with, request);
    return conversionConflict(request);
}

std::wstring meshOptionsWords(const MeshOptions& options) {
    if (!meshOptionsChosen(options)) return {};
    const AttributeSettings& a = options.attributes;
    wchar_t words[64];
    const std::string_view label = outputWriter(options.format).label;
    std::wstring text(label.begin(), label.end());
    const auto add = [&text](const wchar_t* word) { text.append(L", ").append(word); };
    if (options.maxError) {
        std::swprintf(words, std::size(words), L"max error %.6g", *options.maxError);
        add(words);
    }
    if (options.maxTriangles > 0) add((L"max " + std::to_wstring(options.maxTriangles) + L" triangles").c_str());
    if (!a.texture.empty())
        add(L"texture");
    else if (a.uv)
        add(L"texture coordinates");
    if (a.writesUv() && a.uvExtent == UvExtentMode::window) add(L"over the crop");
    if (a.normals) add(L"normals");
    if (options.solid) {
        if (options.solidBase) {
            std::swprintf(words, std::size(words), L"solid on a base at %.6g", *options.solidBase);
            add(words);
        } else {
            add(L"solid");
        }
    }
    if (options.zScale != 1.0) {
        std::swprintf(words, std::size(words), L"heights x %.6g", options.zScale);
        add(words);
    }
    return text;
}

bool readZScale(std::string_view text, double& scale, char* message, std::size_t size) {
    const NumberTextStatus status = readNumberText(text, scale);
    if (status != NumberTextStatus::ok) {
        optionValueMessage("--z-scale", text, numberTextReason(status), message, size);
        return false;
    }
    if (scale > 0.0) return true;
    optionValueMessage("--z-scale", text, "is not above 0; elevations are multiplied by it", message, size);
    return false;
}

bool readSolidBase(std::string_view text, double& base, char* message, std::size_t size) {
    const NumberTextStatus status = readNumberText(text, base);
    if (status == NumberTextStatus::ok) return true;
    optionValueMessage("--solid", text, numberTextReason(status), message, size);
    return false;
}

}  // namespace morvale
