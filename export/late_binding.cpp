// SPDX-License-Identifier: MIT
// libsndfile and libcrypto are opened when a sample is first encoded as an
// audio file or hashed, not when the program starts: a run writing raw
// samples without a manifest needs neither, and loading them (libsndfile
// brings eight codec libraries along) costs more than such a run's first
// module. The functions the export code calls are defined here under their
// own names and forward to the library, which is opened on first use by its
// soname (the one the build was made against).
#include "export/late_binding.h"

#include <openssl/evp.h>
#include <sndfile.h>

#include <cstdio>

#include "late_binding/late_library.h"

namespace {

using vorneck::LateLibrary;

struct Sndfile {
    decltype(&::sf_open_virtual) open_virtual = nullptr;
    decltype(&::sf_close) close = nullptr;
    decltype(&::sf_write_raw) write_raw = nullptr;
    decltype(&::sf_writef_short) writef_short = nullptr;
    decltype(&::sf_set_string) set_string = nullptr;
    decltype(&::sf_strerror) strerror = nullptr;
    decltype(&::sf_error_number) error_number = nullptr;
    decltype(&::sf_command) command = nullptr;
    decltype(&::sf_format_check) format_check = nullptr;
    bool complete = false;
    char failure[512] = {};
};

struct Crypto {
    decltype(&::EVP_Digest) digest = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
    bool complete = false;
};

const Sndfile& LoadSndfile() {
    static const Sndfile s = [] {
        Sndfile loaded;
        LateLibrary library(VORNECK_SNDFILE_SONAME);
        library.Find("sf_open_virtual", loaded.open_virtual);
        library.Find("sf_close", loaded.close);
        library.Find("sf_write_raw", loaded.write_raw);
        library.Find("sf_writef_short", loaded.writef_short);
        library.Find("sf_set_string", loaded.set_string);
        library.Find("sf_strerror", loaded.strerror);
        library.Find("sf_error_number", loaded.error_number);
        library.Find("sf_command", loaded.command);
        library.Find("sf_format_check", loaded.format_check);
        loaded.complete = library.Complete();
        if (!loaded.complete) std::snprintf(loaded.failure, sizeof loaded.failure, "%s", library.Failure().c_str());
        return loaded;
    }();
    return s;
}

const Crypto& LoadCrypto() {
    static const Crypto c = [] {
        Crypto loaded;
        LateLibrary library(VORNECK_CRYPTO_SONAME);
        library.Find("EVP_Digest", loaded.digest);
        library.Find("EVP_sha256", loaded.sha256);
        loaded.complete = library.Complete();
        // The hash is left empty by its caller; say once why.
        if (!loaded.complete) std::fprintf(stderr, "%s\n", library.Failure().c_str());
        return loaded;
    }();
    return c;
}

}  // namespace

namespace vorneck {

const char* AudioLibraryProblem() {
    const Sndfile& s = LoadSndfile();
    return s.complete ? nullptr : s.failure;
}

}  // namespace vorneck

extern "C" {

SNDFILE* sf_open_virtual(SF_VIRTUAL_IO* io, int mode, SF_INFO* info, void* user) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.open_virtual(io, mode, info, user) : nullptr;
}

int sf_close(SNDFILE* file) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.close(file) : SF_ERR_SYSTEM;
}

sf_count_t sf_write_raw(SNDFILE* file, const void* data, sf_count_t bytes) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.write_raw(file, data, bytes) : 0;
}

sf_count_t sf_writef_short(SNDFILE* file, const short* data, sf_count_t frames) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.writef_short(file, data, frames) : 0;
}

int sf_set_string(SNDFILE* file, int which, const char* text) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.set_string(file, which, text) : SF_ERR_SYSTEM;
}

const char* sf_strerror(SNDFILE* file) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.strerror(file) : s.failure;
}

const char* sf_error_number(int number) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.error_number(number) : s.failure;
}

int sf_command(SNDFILE* file, int command, void* data, int size) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.command(file, command, data, size) : SF_FALSE;
}

int sf_format_check(const SF_INFO* info) {
    const Sndfile& s = LoadSndfile();
    return s.complete ? s.format_check(info) : SF_FALSE;
}

int EVP_Digest(const void* data, size_t count, unsigned char* md, unsigned int* size, const EVP_MD* type,
               ENGINE* engine) {
    const Crypto& c = LoadCrypto();
    return c.complete ? c.digest(data, count, md, size, type, engine) : 0;
}

const EVP_MD* EVP_sha256(void) {
    const Crypto& c = LoadCrypto();
    return c.complete ? c.sha256() : nullptr;
}

}  // extern "C"
