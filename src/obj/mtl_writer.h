#pragma once
// The material file of a textured OBJ: NAME.mtl beside NAME.obj, one white
// material whose diffuse map is the user's image. The image is referenced,
// never read or copied; a missing image is worth a warning, not a failure
// (the user may put it there later). The OBJ names the file with "mtllib"
// (before its vertices) and the material with "usemtl" (before its faces).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace morvale {

// NAME.mtl beside NAME.obj.
std::filesystem::path mtlPathFor(const std::filesystem::path& objPath);

// The image as "map_Kd" writes it: relative to the OBJ's folder when both lie
// under one root (always on POSIX, the same drive on Windows), absolute
// otherwise; forward slashes; UTF-8. Relative inputs are taken from the
// current folder.
std::string mtlImageReference(const std::filesystem::path& image, const std::filesystem::path& objPath);

// One token for "newmtl" and "usemtl": the object's name with blanks turned
// into '_', "terrain" when empty.
std::string materialName(std::string_view objectName);

// The lines, each with "\n" (written as CR LF like the OBJ).
std::string mtlText(std::string_view material, std::string_view imageReference);
std::string mtllibLine(const std::filesystem::path& mtlPath);
std::string usemtlLine(std::string_view material);
std::string missingImageWarning(const std::filesystem::path& image);

enum class MtlResult : std::uint8_t {
    written,
    cannotCreate,  // reported like an OBJ that cannot be created
    writeFailed,   // reported like a failed OBJ write
};

struct MtlOutcome {
    MtlResult result = MtlResult::written;
    bool imageMissing = false;  // warn with missingImageWarning
    std::error_code error;      // the system's reason for a failure
};

// Writes mtlPathFor(objPath) for `image`, at `writeTo` when given (a
// temporary name, renamed into place with the OBJ).
MtlOutcome writeMtlFile(const std::filesystem::path& objPath, std::string_view material,
                        const std::filesystem::path& image, const std::filesystem::path& writeTo = {});

}  // namespace morvale
