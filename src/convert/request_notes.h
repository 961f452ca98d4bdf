#pragma once
// What the converter says of a request before any file is touched, in the
// order it says it: options that do not go together, the --texture image (a
// warning, or a refusal by a format that embeds it), counts beyond the
// format's limits. The command line prints each note and the window shows
// it; a refusal is the last note, and then nothing may be written.

#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_request.h"

namespace morvale {

enum class RequestNoteKind : std::uint8_t {
    conflict,        // options that do not go together (a usage error)
    textureWarning,  // the OBJ's material names the image anyway
    textureRefused,  // the format cannot embed the image (a usage error)
    beyondLimits,    // counts beyond the format's limits (the output cannot be written)
};

struct RequestNote {
    RequestNoteKind kind;
    std::string text;  // one line, without the program's name
};

constexpr bool isRefusal(RequestNoteKind kind) { return kind != RequestNoteKind::textureWarning; }

std::vector<RequestNote> requestNotes(const ConversionRequest& request);

}  // namespace morvale
