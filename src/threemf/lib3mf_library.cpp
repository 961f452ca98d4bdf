#include "threemf/lib3mf_library.h"

#if MORVALE_HAVE_LIB3MF

#include <dlfcn.h>

namespace morvale {

Lib3mf::Lib3mf() {
    handle_ = dlopen(lib3mfFileName, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        problem_ = std::string("lib3mf could not be loaded: ") + (why != nullptr ? why : lib3mfFileName);
        return;
    }
#define MORVALE_LIB3MF_RESOLVE(name)                                \
    name = reinterpret_cast<decltype(name)>(dlsym(handle_, #name)); \
    if (name == nullptr && problem_.empty()) problem_ = std::string(lib3mfFileName) + " has no " #name;
    MORVALE_LIB3MF_FUNCTIONS(MORVALE_LIB3MF_RESOLVE)
#undef MORVALE_LIB3MF_RESOLVE
}

Lib3mf::~Lib3mf() {
    if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace morvale

#endif
