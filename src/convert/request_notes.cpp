#include "convert/request_notes.h"

#include "convert/texture_check.h"

namespace morvale {

std::vector<RequestNote> requestNotes(const ConversionRequest& request) {
    std::vector<RequestNote> notes;
    if (const char* conflict = conversionConflict(request)) {
        notes.push_back({RequestNoteKind::conflict, std::string(conflict) + "; nothing written"});
        return notes;
    }
    const TextureNote texture = checkTextureFor(request.attributes.texture, request.format);
    if (texture.verdict != TextureVerdict::fine) {
        const bool refused = texture.verdict == TextureVerdict::refused;
        notes.push_back({refused ? RequestNoteKind::textureRefused : RequestNoteKind::textureWarning, texture.text});
        if (refused) return notes;
    }
    if (const char* refusal = conversionRefusal(request))
        notes.push_back({RequestNoteKind::beyondLimits, std::string(refusal) + "; nothing written"});
    return notes;
}

}  // namespace morvale
