#pragma once
// lib3mf's functions as the 3MF writer uses them, from its shared library
// opened when a 3MF is written or read rather than when the program starts:
// linked, lib3mf and what it needs (zip, crypto...) cost every run about
// 1.5 ms and 3 MB before it reads anything, an .asc conversion or a tile
// task among them. The signatures are the header's own, so a mismatch fails
// to compile; the package depends on the library by name.

#if MORVALE_HAVE_LIB3MF

#include <Model/COM/NMR_DLLInterfaces.h>

#include <string>

// Every lib3mf function the program calls, in one list.
#define MORVALE_LIB3MF_FUNCTIONS(X)            \
    X(lib3mf_release)                          \
    X(lib3mf_createmodel)                      \
    X(lib3mf_model_setunit)                    \
    X(lib3mf_model_getunit)                    \
    X(lib3mf_model_addmeshobject)              \
    X(lib3mf_object_setnameutf8)               \
    X(lib3mf_object_setuuidutf8)               \
    X(lib3mf_object_getuuidutf8)               \
    X(lib3mf_meshobject_setgeometry)           \
    X(lib3mf_meshobject_getvertexcount)        \
    X(lib3mf_meshobject_gettrianglecount)      \
    X(lib3mf_meshobject_ismanifoldandoriented) \
    X(lib3mf_model_addbuilditem)               \
    X(lib3mf_builditem_setuuidutf8)            \
    X(lib3mf_model_setbuilduuidutf8)           \
    X(lib3mf_model_querywriter)                \
    X(lib3mf_writer_writetofileutf8)           \
    X(lib3mf_model_queryreader)                \
    X(lib3mf_reader_readfromfileutf8)          \
    X(lib3mf_model_getmeshobjects)             \
    X(lib3mf_resourceiterator_movenext)        \
    X(lib3mf_resourceiterator_getcurrent)

namespace morvale {

// The library's file, by the name its package installs.
inline constexpr const char* lib3mfFileName = "lib3MF.so.1";

// Opens the library and finds every function; closes it when destroyed.
class Lib3mf {
public:
    Lib3mf();
    ~Lib3mf();
    Lib3mf(const Lib3mf&) = delete;
    Lib3mf& operator=(const Lib3mf&) = delete;

    // False when the library or one of its functions was not found (problem() says which).
    bool loaded() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

#define MORVALE_LIB3MF_POINTER(name) decltype(&NMR::name) name = nullptr;
    MORVALE_LIB3MF_FUNCTIONS(MORVALE_LIB3MF_POINTER)
#undef MORVALE_LIB3MF_POINTER

private:
    void* handle_ = nullptr;
    std::string problem_;
};

}  // namespace morvale

#endif
