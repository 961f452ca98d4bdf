#pragma once
// Names derived from an input grid's path: the texts the window shows, the
// names written into the OBJ file and the default output path.

#include <filesystem>
#include <string>

namespace morvale {

struct GridNames {
    std::wstring fileNameText;         // base name and extension, as shown in the information panel
    std::string inputNameNarrow;       // the same as UTF-8, for the OBJ header comment
    std::string objectNameNarrow;      // UTF-8 base name, at most 127 bytes, never a split character
    std::filesystem::path outputPath;  // input folder, base name, ".obj"
    std::wstring outputFolderText;     // folder of outputPath, with its trailing separator
    std::wstring outputNameText;       // file name of outputPath
};

GridNames deriveGridNames(const std::filesystem::path& inputPath);

// Folder (with its trailing separator) and file name of a chosen output path.
struct OutputPathTexts {
    std::wstring folderText;
    std::wstring nameText;
};
OutputPathTexts splitOutputPath(const std::filesystem::path& outputPath);

// Longest prefix of text of at most maxBytes bytes that does not split a UTF-8 character.
std::string cutUtf8(const std::string& text, std::size_t maxBytes);

}  // namespace morvale
