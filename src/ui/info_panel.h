#pragma once
// The grid information panel: what a header read turns into.

#include <filesystem>

namespace morvale::ui {

inline constexpr wchar_t nothingToOpenText[] = L"Nothing to open...";
inline constexpr wchar_t nothingToOpenCaption[] = L"Information...";
inline constexpr wchar_t headerErrorCaption[] = L"Error...";
inline constexpr wchar_t headerErrorText[] =
    L"Error while reading the file header. It seems corrupted in some way.\n\n"
    L"Try open your file in simple text editor, the first 6 lines of the header should like this "
    L"(without brakets):\n\n"
    L"ncols [number]\nnrows [number]\nxllcenter or xllcorner [number]\nyllcenter or yllcorner [number]\n"
    L"cellsize [number]\nnodata_value [number]  <-- this last line is optional.";

// The status line after opening a grid whose X and Y look like degrees
// (grid/degrees_grid.h): the mesh would be a needle. Opening goes on.
inline constexpr wchar_t degreesNoteText[] =
    L"X and Y are degrees, elevations are not: reproject with gdalwarp for metres";

// result is readGridHeader's: -1 and 0 show their message box and change
// nothing; 1 resets the window and fills the panel, the default crop window,
// preset, unit scale and output path for the grid in appState.inputPath, and
// puts the degrees note in the status line when it applies.
void handleOpenResult(int result);

// Reads the header of the grid at path and hands the result to handleOpenResult;
// a header unreadable because the file is UTF-16 text gets a box of its own.
// The open grid (inputPath and gridHeader) changes only when the header is good,
// so a failed open leaves the previous grid whole.
void openGrid(const std::filesystem::path& path);

}  // namespace morvale::ui
