// SPDX-License-Identifier: MIT
// A shared library opened at run time, by its soname, instead of being linked
// to the program: the functions a part of the program calls are defined there
// under their own names and forward to the pointers looked up here.
#pragma once

#include <dlfcn.h>

#include <string>

namespace vorneck {

class LateLibrary {
public:
    // Opens the library. It is never closed: the functions found in it are
    // called until the program ends.
    explicit LateLibrary(const char* soname) : soname_(soname), handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}

    LateLibrary(const LateLibrary&) = delete;
    LateLibrary& operator=(const LateLibrary&) = delete;

    // Looks up the function `name` into `into`; null, and the library no
    // longer complete, when the library did not open or lacks it.
    template <typename F>
    void Find(const char* name, F& into) {
        into = handle_ ? reinterpret_cast<F>(::dlsym(handle_, name)) : nullptr;
        if (!into) complete_ = false;
    }

    // True while every function looked up so far was found.
    bool Complete() const { return complete_; }

    // "<soname> cannot be used: <reason>", the reason being the dynamic
    // loader's last error of this thread (so ask right after the look-ups,
    // and once), or that a function is missing when it has none to give.
    std::string Failure() const {
        const char* why = ::dlerror();
        return std::string(soname_) + " cannot be used: " + (why ? why : "a function is missing");
    }

private:
    const char* soname_;
    void* handle_;
    bool complete_ = true;
};

}  // namespace vorneck
