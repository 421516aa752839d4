// SPDX-License-Identifier: MIT
// Opening a library at run time: what is found, and the text that says why a
// library cannot be used (it reaches the user as the audio writer's error).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "late_binding/late_library.h"

namespace vorneck {
namespace {

TEST(LateLibrary, FindsFunctionsAndNamesWhatIsMissing) {
    LateLibrary present("libc.so.6");
    decltype(&::strlen) length = nullptr;
    present.Find("strlen", length);
    ASSERT_TRUE(present.Complete());
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("four"), 4u);

    // A missing function makes the library incomplete, and the text names it.
    void (*missing)() = +[] {};  // not null, so that the look-up must clear it
    present.Find("vorneck_no_such_function", missing);
    EXPECT_EQ(missing, nullptr);
    EXPECT_FALSE(present.Complete());
    const std::string failure = present.Failure();
    EXPECT_EQ(failure.rfind("libc.so.6 cannot be used: ", 0), 0u) << failure;
    EXPECT_NE(failure.find("vorneck_no_such_function"), std::string::npos) << failure;
    // Functions found later do not make it complete again.
    length = nullptr;
    present.Find("strlen", length);
    EXPECT_NE(length, nullptr);
    EXPECT_FALSE(present.Complete());
}

TEST(LateLibrary, AnAbsentLibraryFindsNothing) {
    LateLibrary absent("libvorneck-absent.so.0");
    decltype(&::strlen) length = nullptr;
    absent.Find("strlen", length);
    EXPECT_EQ(length, nullptr);
    EXPECT_FALSE(absent.Complete());
    const std::string failure = absent.Failure();
    EXPECT_EQ(failure.rfind("libvorneck-absent.so.0 cannot be used: ", 0), 0u) << failure;
    // The loader's own reason follows, not the fallback.
    EXPECT_NE(failure.find("libvorneck-absent.so.0", 10), std::string::npos) << failure;
    // Asked again, the loader has nothing more to say.
    EXPECT_EQ(absent.Failure(), "libvorneck-absent.so.0 cannot be used: a function is missing");
}

}  // namespace
}  // namespace vorneck
