// SPDX-License-Identifier: MIT
// Output names from a template: literal text with fields in braces.
//   {n}      the running number the default name starts with
//   {slot}   the sample's slot in its module, 1-based
//   {module} the module's file name; {stem} the same without its extension
//   {name}   the sample's name, made safe for a file name
// {n} and {slot} take a zero-padded width: {slot:02}. "{{" and "}}" stand
// for braces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorneck {

struct NameFields {
    std::int64_t n = 0;
    std::int32_t slot = 0;
    std::string module;
    std::string name;  // as stored in the module
};

// A sample name as part of a file name: up to its first NUL, control
// characters dropped, "/" and Latin-1's C1 range (0x80-0x9F) as "_",
// blanks trimmed, other bytes above ASCII read as Latin-1 and written as
// UTF-8.
std::string SafeSampleName(std::string_view stored);

// The module's file name without its last extension (a leading dot does
// not start one).
std::string Stem(const std::string& module);

class NameTemplate {
public:
    // The most fixed text a template may hold: a name of 255 bytes less
    // room for the fields and an extension.
    static constexpr std::size_t kMaxFixedText = 200;

    // nullopt, with the reason in `error`, for a template that is not one.
    static std::optional<NameTemplate> Parse(std::string_view text, std::string& error);

    // The name for these fields, at most `maxBytes` long: when it would be
    // longer, the text fields are shortened, the longest first, at
    // character boundaries (fixed text and numbers never are: a name whose
    // fixed parts alone are too long comes back too long). An empty result becomes "_", and a leading "."
    // becomes "_": no name is hidden, "." or "..".
    std::string Expand(const NameFields& fields, std::uint64_t maxBytes) const;

private:
    enum class Field { Literal, N, Slot, Module, Stem, Name };
    struct Part {
        Field field = Field::Literal;
        std::string text;  // literal text
        int width = 0;     // zero-padded width of a number
    };
    std::vector<Part> parts_;
};

}  // namespace vorneck
