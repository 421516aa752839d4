// SPDX-License-Identifier: MIT
#include "engine/byte_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace vorneck {
namespace {

const std::vector<std::uint8_t> kBytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};

TEST(ByteReader, ReadsBigEndianInsideAndNothingOutside) {
    const ByteReader r(kBytes);
    EXPECT_EQ(r.u8(0), 0x12);
    EXPECT_EQ(r.u16be(4), 0x9ABC);
    EXPECT_EQ(r.i32be(0), 0x12345678);
    EXPECT_EQ(r.i32be(2), static_cast<std::int32_t>(0x56789ABCu));  // negative as signed
    // Every read that would touch a byte outside the file gives nothing.
    EXPECT_EQ(r.u8(6), std::nullopt);
    EXPECT_EQ(r.u8(-1), std::nullopt);
    EXPECT_EQ(r.u16be(5), std::nullopt);
    EXPECT_EQ(r.i32be(3), std::nullopt);
    EXPECT_EQ(r.i32be(INT64_MAX), std::nullopt);
    EXPECT_EQ(r.i32be(INT64_MIN), std::nullopt);
    EXPECT_EQ(ByteReader().u8(0), std::nullopt);
}

TEST(ByteReader, ContainsDoesNotOverflow) {
    const ByteReader r(kBytes);
    EXPECT_TRUE(r.contains(0, 6));
    EXPECT_TRUE(r.contains(6, 0));
    EXPECT_FALSE(r.contains(1, 6));
    EXPECT_FALSE(r.contains(2, UINT64_MAX));
    EXPECT_FALSE(r.contains(-1, 1));
}

TEST(ByteReader, ClampCutsRangesToTheFile) {
    const ByteReader r(kBytes);
    auto inside = r.clamp(1, 3);
    EXPECT_EQ(inside.offset, 1u);
    EXPECT_EQ(inside.length, 3u);
    EXPECT_FALSE(inside.clipped);
    EXPECT_EQ(r.bytes(inside).size(), 3u);

    auto tail = r.clamp(4, 100);
    EXPECT_EQ(tail.offset, 4u);
    EXPECT_EQ(tail.length, 2u);
    EXPECT_TRUE(tail.clipped);
    EXPECT_FALSE(tail.outside);
    EXPECT_EQ(r.bytes(tail)[1], 0xBC);

    EXPECT_TRUE(r.clamp(6, 1).outside);
    EXPECT_TRUE(r.clamp(-5, 10).outside);
    EXPECT_TRUE(r.clamp(INT64_MAX, INT64_MAX).outside);
    EXPECT_EQ(r.bytes(r.clamp(6, 1)).size(), 0u);

    const auto empty = r.clamp(100, 0);
    EXPECT_FALSE(empty.clipped || empty.outside);
    EXPECT_EQ(empty.length, 0u);
}

}  // namespace
}  // namespace vorneck
