#pragma once
// The OBJ file: a buffered binary output with explicit CR LF line ends, the
// comment header and the line formats of every section.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace morvale {

// The author's web site; header line 2 of every OBJ file and the link button.
inline constexpr std::string_view authorSiteAddress = "https://morvale.example.org/";
inline constexpr std::string_view authorPagePath = "index.php?m=3&p=5";

// Header lines 1 to 3, with "\n" for each line end.
std::string objHeaderText();

// Buffered writer of one OBJ file. Line ends are written as CR LF on every
// platform; write errors are remembered and reported by close().
class ObjOutput {
public:
    ObjOutput() = default;
    ~ObjOutput();
    ObjOutput(const ObjOutput&) = delete;
    ObjOutput& operator=(const ObjOutput&) = delete;

    // Creates or truncates the file. False when it cannot be created.
    bool open(const std::filesystem::path& path);
    // Writes text as it stands (callers put "\r\n" themselves).
    void write(std::string_view bytes);
    // Writes text turning every "\n" into CR LF.
    void writeText(std::string_view text);
    // Room for at least `bytes` more characters; commit() what was used.
    char* reserve(std::size_t bytes);
    void commit(char* end);
    // Flushes and closes; false when any write or the close failed.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    bool failed() const { return failed_; }

    // Where the next byte goes, counting what is still buffered.
    std::int64_t position() const { return filePosition_ + static_cast<std::int64_t>(used_); }
    // Writes the buffer out and moves the write position; false when the
    // file cannot seek (a pipe, for example).
    bool seek(std::int64_t offset);

private:
    void flush();
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::int64_t filePosition_ = 0;
    bool failed_ = false;
};

// Lines 1 to 5 of the header: objHeaderText, the local start time, the input's name.
void writeObjHeader(ObjOutput& output, std::string_view objHeaderText, std::string_view inputNameNarrow);
void writeObjHeaderAt(ObjOutput& output, std::string_view objHeaderText, std::string_view inputNameNarrow,
                      const std::tm& localTime);

// Longest vertex line: "v", three numbers of fixed4MaxChars with their spaces, CR LF.
inline constexpr std::size_t vertexLineMaxChars = 1 + 3 * (1 + 315) + 2;
// Formats "v %.4f %.4f %.4f" and CR LF at out; returns one past the end.
char* formatVertexLine(char* out, double first, double second, double third);
// Formats "f %d %d %d %d" and CR LF at out (64-bit numbers); returns one past the end.
inline constexpr std::size_t faceLineMaxChars = 1 + 4 * 21 + 2;
char* formatFaceLine(char* out, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d);

void writeVertexLine(ObjOutput& output, double first, double second, double third);
void writeFaceLine(ObjOutput& output, std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d);
// "# N vertices", a line end and an empty line.
void writeVertexCount(ObjOutput& output, std::int64_t vertexCount);
// "o NAME" and "g NAME", each with its line end.
void writeObjectAndGroup(ObjOutput& output, std::string_view objectNameNarrow);
// "# N quads" with no line end: the last bytes of the file.
void writeQuadCount(ObjOutput& output, std::int64_t quadCount);

}  // namespace morvale
