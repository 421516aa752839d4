// SPDX-License-Identifier: MIT
// The libxmp functions the loading child calls, defined here under their own
// names and forwarding to the library, which is opened on first use by its
// soname (the one the build was made against). A run that never offers a file
// to the library never loads it.
#include "extra_formats/late_binding.h"

#include <dlfcn.h>
#include <xmp.h>

#include <cerrno>
#include <mutex>

namespace {

struct Xmp {
    decltype(&::xmp_test_module) test_module = nullptr;
    decltype(&::xmp_create_context) create_context = nullptr;
    decltype(&::xmp_load_module) load_module = nullptr;
    decltype(&::xmp_get_module_info) get_module_info = nullptr;
    bool complete = false;
};

template <typename F>
void Find(void* library, const char* name, F& into, bool& complete) {
    into = library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
    if (!into) complete = false;
}

const Xmp& LoadXmp() {
    static Xmp x;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = ::dlopen(VORNECK_XMP_SONAME, RTLD_NOW | RTLD_LOCAL);
        x.complete = true;
        Find(library, "xmp_test_module", x.test_module, x.complete);
        Find(library, "xmp_create_context", x.create_context, x.complete);
        Find(library, "xmp_load_module", x.load_module, x.complete);
        Find(library, "xmp_get_module_info", x.get_module_info, x.complete);
    });
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
