#include "obj/face_pieces.h"

#include "obj/face_text.h"

namespace morvale {

std::size_t faceLineRoomUpTo(std::int64_t maxVertex) {
    std::size_t digits = 1;
    for (std::int64_t v = maxVertex; v >= 10; v /= 10) ++digits;
    // "f", four numbers with their spaces, CR LF, and the formatter's wide stores.
    return 1 + 4 * (1 + digits) + 2 + faceLineSlack;
}

std::vector<FacePiece> planFacePieces(std::int64_t faces, std::int64_t ticksBefore, std::int64_t interval,
                                      std::int64_t facesPerPiece) {
    std::vector<FacePiece> pieces;
    if (facesPerPiece < 1) facesPerPiece = 1;
    // Faces up to and including the next step point, then every interval faces.
    const std::int64_t period = interval > 0 ? interval : 1;
    std::int64_t untilStep = interval > 0 ? interval - ticksBefore : 1;
    if (untilStep < 1) untilStep = 1;
    pieces.reserve(static_cast<std::size_t>(faces / facesPerPiece + faces / period + 2));
    for (std::int64_t first = 0; first < faces;) {
        const std::int64_t segment = untilStep < faces - first ? untilStep : faces - first;
        const bool steps = segment == untilStep;
        for (std::int64_t done = 0; done < segment;) {
            const std::int64_t n = segment - done < facesPerPiece ? segment - done : facesPerPiece;
            pieces.push_back(FacePiece{first + done, n, steps && done + n == segment});
            done += n;
        }
        first += segment;
        untilStep = period;
    }
    return pieces;
}

}  // namespace morvale
