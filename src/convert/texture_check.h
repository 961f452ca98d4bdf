#pragma once
// What a conversion says about its --texture image before any file is
// written: a format that embeds the image (glTF) refuses one it cannot embed;
// an OBJ's material refers to the image whatever it is, with a warning that
// says what a viewer will find.

#include <cstdint>
#include <filesystem>
#include <string>

#include "convert/output_format.h"

namespace morvale {

enum class TextureVerdict : std::uint8_t {
    fine,     // a readable PNG or JPEG with its size, or no image asked for
    warning,  // the OBJ's material names it anyway
    refused,  // the format cannot embed it: nothing may be written
};

struct TextureNote {
    TextureVerdict verdict = TextureVerdict::fine;
    std::string text;  // the warning or the refusal, one line, without the program's name
};

TextureNote checkTextureFor(const std::filesystem::path& image, OutputFormat format);

}  // namespace morvale
