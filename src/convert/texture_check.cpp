#include "convert/texture_check.h"

#include "glb/texture_image.h"
#include "obj/mtl_writer.h"

namespace morvale {

TextureNote checkTextureFor(const std::filesystem::path& image, OutputFormat format) {
    TextureNote note;
    if (image.empty()) return note;
    const ImageCheck check = checkTextureImage(image).check;
    if (check == ImageCheck::ok) return note;
    const std::u8string name = image.u8string();
    std::string quoted = "'";
    quoted.append(name.begin(), name.end()).append("'");
    const OutputWriter& writer = outputWriter(format);
    if (writer.embedsTexture) {
        note.verdict = TextureVerdict::refused;
        note.text.append("--texture ").append(quoted).append(" ").append(imageCheckText(check));
        note.text.append(": a ").append(writer.label);
        note.text.append(" file embeds its image, which must be a readable PNG or JPEG; nothing written");
    } else if (check == ImageCheck::missing) {
        note.verdict = TextureVerdict::warning;
        note.text = missingImageWarning(image);
    } else {
        note.verdict = TextureVerdict::warning;
        note.text.append("Warning: texture image ").append(quoted).append(" ").append(imageCheckText(check));
        note.text.append(" (the material refers to it anyway; a viewer may not show it)");
    }
    return note;
}

}  // namespace morvale
