// SPDX-License-Identifier: MIT
// The libxmp functions the loading child calls, defined here under their own
// names and forwarding to the library, which is opened on first use by its
// soname (the one the build was made against). A run that never offers a file
// to the library never loads it.
#include "extra_formats/late_binding.h"

#include <xmp.h>

#include <cerrno>

#include "late_binding/late_library.h"

namespace {

struct Xmp {
    decltype(&::xmp_test_module) test_module = nullptr;
    decltype(&::xmp_create_context) create_context = nullptr;
    decltype(&::xmp_load_module) load_module = nullptr;
    decltype(&::xmp_get_module_info) get_module_info = nullptr;
    bool complete = false;
};

const Xmp& LoadXmp() {
    static const Xmp x = [] {
        Xmp loaded;
        vorneck::LateLibrary library(VORNECK_XMP_SONAME);
        library.Find("xmp_test_module", loaded.test_module);
        library.Find("xmp_create_context", loaded.create_context);
        library.Find("xmp_load_module", loaded.load_module);
        library.Find("xmp_get_module_info", loaded.get_module_info);
        loaded.complete = library.Complete();
        return loaded;
    }();
    return x;
}

}  // namespace

namespace vorneck {

bool PreloadModuleLibrary() { return LoadXmp().complete; }

}  // namespace vorneck

extern "C" {

int xmp_test_module(const char* path, struct xmp_test_info* info) {
    const Xmp& x = LoadXmp();
    if (x.complete) return x.test_module(path, info);
    errno = ELIBACC;
    return -XMP_ERROR_SYSTEM;
}

xmp_context xmp_create_context(void) {
    const Xmp& x = LoadXmp();
    return x.complete ? x.create_context() : nullptr;
}

int xmp_load_module(xmp_context context, const char* path) {
    const Xmp& x = LoadXmp();
    if (x.complete) return x.load_module(context, path);
    errno = ELIBACC;
    return -XMP_ERROR_SYSTEM;
}

void xmp_get_module_info(xmp_context context, struct xmp_module_info* info) {
    const Xmp& x = LoadXmp();
    if (x.complete) x.get_module_info(context, info);
}

}  // extern "C"
