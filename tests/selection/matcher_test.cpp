// SPDX-License-Identifier: MIT
// The wildcard matcher: its corners, a comparison with the plain recursive
// definition on random input, UTF-8 names and bounded time.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "selection/matcher.h"

namespace vorneck {
namespace {

struct Case {
    const char* name;
    const char* pattern;
    bool matchCase;
    bool expected;
};

TEST(Matcher, Corners) {
    const Case cases[] = {
        {"SONG.MOD", "*.*", false, true},
        {"A.B.C", "*.*", false, true},
        {"README", "*.*", false, false},
        {"", "*", false, true},
        {"anything at all", "*", true, true},
        {"MOD.SONG", "mod.*", false, true},
        {"MOD.SONG", "mod.*", true, false},
        {"SONG1.MOD", "SONG?.MOD", false, true},
        {"SONG.MOD", "SONG?.MOD", false, false},
        {"SONG12.MOD", "SONG?.MOD", false, false},
        {"ABC", "ABC*", false, true},
        {"ABC", "ABC**", false, false},  // a trailing "**" needs a character
        {"ABCD", "ABC**", false, true},
        {"ABC", "AB", false, false},
        {"AB", "ABC", false, false},
        {"", "", false, true},
        {"A", "", false, false},
        {"", "**", false, false},
        {"", "?", false, false},
        {"a", "?", false, true},
        {"abc", "*b*", false, true},
        {"abc", "*?", false, true},
        {"abc", "a*c", true, true},
        {"ac", "a*?c", false, false},
        {"x.mod", "*.MOD", false, true},
        {"x.mod", "*.MOD", true, false},
        {"[a].mod", "[?].mod", true, true},
        // Only a to z fold; other characters stand for themselves.
        {"é.mod", "É.MOD", false, false},
        {"_", "_", false, true},
        {"@", "`", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchFileName(c.name, c.pattern, c.matchCase), c.expected)
            << '"' << c.name << "\" vs \"" << c.pattern << "\" matchCase=" << c.matchCase;
}

TEST(Matcher, QuestionMarkIsOneCharacter) {
    EXPECT_TRUE(MatchFileName("é.mod", "?.mod", true));
    EXPECT_TRUE(MatchFileName("日本.mod", "??.mod", true));
    EXPECT_FALSE(MatchFileName("日本.mod", "???.mod", true));
    EXPECT_TRUE(MatchFileName("🎵.mod", "?.mod", true));
    EXPECT_TRUE(MatchFileName("café.MOD", "CAF?.mod", false));
    // Bytes that are not valid UTF-8 count one character each.
    EXPECT_TRUE(MatchFileName("\xff\xfe.mod", "??.mod", true));
    EXPECT_FALSE(MatchFileName("\xff\xfe.mod", "?.mod", true));
    EXPECT_TRUE(MatchFileName("\xc3.mod", "?.mod", true));         // lone lead byte
    EXPECT_TRUE(MatchFileName("\xc0\xae.mod", "??.mod", true));    // overlong form
    EXPECT_TRUE(MatchFileName("\xed\xa0\x80.mod", "???.mod", true));  // surrogate
    EXPECT_TRUE(MatchFileName("\xff.mod", "\xff.mod", true));
    EXPECT_FALSE(MatchFileName("\xfe.mod", "\xff.mod", true));
}

TEST(Matcher, LongNamesAndPatterns) {
    const std::string name(5000, 'n');
    EXPECT_TRUE(MatchFileName(name + ".mod", "*.mod", true));
    EXPECT_TRUE(MatchFileName(name, std::string(4999, '?') + "?", true));
    EXPECT_FALSE(MatchFileName(name, std::string(5001, '?'), true));
}

TEST(Matcher, PathologicalPatternsFinishQuickly) {
    const std::string name(255, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchFileName(name, "*a*a*a*a*a*a*a*b", true));
    EXPECT_FALSE(MatchFileName(std::string(4000, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*b", false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The matching rules written out directly as recursion over characters
// (decoded beforehand): exponential, but obviously right.
bool Oracle(const std::u32string& s, const std::u32string& p, bool matchCase) {
    if (p == U"*") return true;
    if (s.empty() && !p.empty()) return false;
    if (s.empty()) return true;
    if (p.empty()) return false;  // an exhausted pattern never equals a character
    if (p[0] == U'*') return Oracle(s, p.substr(1), matchCase) || Oracle(s.substr(1), p, matchCase);
    if (p[0] == U'?') return Oracle(s.substr(1), p.substr(1), matchCase);
    auto fold = [&](char32_t c) { return !matchCase && c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c; };
    if (fold(s[0]) != fold(p[0])) return false;
    return Oracle(s.substr(1), p.substr(1), matchCase);
}

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

TEST(Matcher, AgreesWithTheRecursiveDefinition) {
    std::mt19937 rng(20261208);
    const std::u32string nameChars = U"aAbB.é日";
    const std::u32string patternChars = U"aAbB.é日*?**";
    std::uniform_int_distribution<int> nameLength(0, 9);
    std::uniform_int_distribution<int> patternLength(0, 7);
    int matches = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u32string name;
        std::u32string pattern;
        for (int i = nameLength(rng); i > 0; --i) name += nameChars[rng() % nameChars.size()];
        for (int i = patternLength(rng); i > 0; --i) pattern += patternChars[rng() % patternChars.size()];
        const bool matchCase = rng() % 2;
        const bool expected = Oracle(name, pattern, matchCase);
        matches += expected;
        ASSERT_EQ(MatchFileName(Utf8(name), Utf8(pattern), matchCase), expected)
            << '"' << Utf8(name) << "\" vs \"" << Utf8(pattern) << "\" matchCase=" << matchCase;
    }
    // The sample must exercise both answers.
    EXPECT_GT(matches, 1000);
    EXPECT_LT(matches, 19000);
}

}  // namespace
}  // namespace vorneck
