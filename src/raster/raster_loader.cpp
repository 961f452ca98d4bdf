#include <dlfcn.h>

#include <system_error>

#include "morvale_version.h"
#include "raster/raster_source.h"

namespace morvale {

namespace {

// Where the module is looked for, from the program's folder: beside it (the
// build tree), then where the package installs it (/usr/bin -> /usr/lib/morvale).
constexpr const char* moduleFolders[] = {".", "../lib/morvale"};

std::filesystem::path programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : program.parent_path();
}

// The module's entry, or null with the reason. dlopen of a module already
// loaded only counts it again; it is never closed (sources it made use it).
RasterModuleEntry loadModule(std::string& reason) {
    const std::filesystem::path folder = programFolder();
    for (const char* place : moduleFolders) {
        const std::filesystem::path candidate = folder / place / rasterModuleFileName;
        std::error_code error;
        if (folder.empty() || !std::filesystem::exists(candidate, error)) continue;
        void* module = dlopen(candidate.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = dlerror();
            reason = std::string("GDAL's reader could not be loaded: ") + (why != nullptr ? why : "unknown error");
            return nullptr;
        }
        if (void* entry = dlsym(module, rasterModuleEntryName)) return reinterpret_cast<RasterModuleEntry>(entry);
        reason = std::string("GDAL's reader ") + candidate.string() + " is not this program's";
        return nullptr;
    }
    reason = std::string("GDAL's reader (") + rasterModuleFileName + ") is not installed beside the program";
    return nullptr;
}

}  // namespace

RasterOpened openRaster(const std::filesystem::path& path, const RasterOptions& options) {
    RasterOpened opened;
    if (const RasterModuleEntry entry = loadModule(opened.reason)) entry(MORVALE_VERSION_TEXT, path, options, opened);
    return opened;
}

}  // namespace morvale
