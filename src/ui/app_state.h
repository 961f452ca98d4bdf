#pragma once
// The process-wide records that the window thread and the conversion worker
// share. The window layer owns them; the core receives them as parameters.

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "app/mesh_options.h"
#include "convert/conversion_settings.h"
#include "convert/conversion_stats.h"
#include "grid/grid_header.h"

namespace morvale::ui {

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND tooltip = nullptr;            // one tooltip window for every control
    std::filesystem::path inputPath;   // the open grid
    std::filesystem::path outputPath;  // the file the next conversion writes
    // Its format and the mesh options (OBJ and none: the file the window always wrote).
    MeshOptions meshOptions;
    std::string inputNameNarrow;   // UTF-8 file name of the input, for the OBJ header
    std::string objectNameNarrow;  // UTF-8 base name, for the OBJ object and group lines
    std::atomic<bool> running{false};
    std::atomic<bool> cancelRequested{false};
    // The unit scale shown when a grid opens; every reset sets it back to 1.
    double defaultUnitScale = 1.0;
    // How to reproject the open grid when it is in degrees, else empty.
    std::wstring degreesAdvice;
    // The control that had the keyboard when the window was last deactivated.
    int focusedControl = 0;
};

// Written on the window thread only while no job runs; the worker reads them.
extern AppState appState;
extern GridHeader gridHeader;
extern ConversionSettings conversionSettings;
// Touched by the worker only.
extern ConversionStats conversionStats;

}  // namespace morvale::ui
