// SPDX-License-Identifier: MIT
#include "cli/name_template.h"

#include <algorithm>

#include "engine/sample_writer.h"

namespace vorneck {
namespace {

void AppendLatin1(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Padded(std::int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string SafeSampleName(std::string_view stored) {
    const std::size_t nul = stored.find('\0');
    if (nul != std::string_view::npos) stored = stored.substr(0, nul);
    std::string latin1;
    for (const char ch : stored) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) continue;
        latin1 += (c == '/' || (c >= 0x80 && c <= 0x9F)) ? '_' : ch;
    }
    const std::size_t first = latin1.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    latin1 = latin1.substr(first, latin1.find_last_not_of(' ') - first + 1);
    std::string out;
    for (const char ch : latin1) AppendLatin1(out, static_cast<unsigned char>(ch));
    return out;
}

std::string Stem(const std::string& module) {
    const std::size_t dot = module.rfind('.');
    if (dot == std::string::npos || dot == 0) return module;
    return module.substr(0, dot);
}

std::optional<NameTemplate> NameTemplate::Parse(std::string_view text, std::string& error) {
    NameTemplate result;
    std::string literal;
    const auto flush = [&] {
        if (!literal.empty()) result.parts_.push_back({Field::Literal, literal, 0});
        literal.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '}') {
            if (i + 1 < text.size() && text[i + 1] == '}') {
                literal += '}';
                ++i;
                continue;
            }
            error = "a \"}\" without its \"{\" (write \"}}\" for a brace)";
            return std::nullopt;
        }
        if (c != '{') {
            if (c == '/') {
                error = "a name cannot hold \"/\"";
                return std::nullopt;
            }
            literal += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            literal += '{';
            ++i;
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            error = "a \"{\" without its \"}\"";
            return std::nullopt;
        }
        std::string_view field = text.substr(i + 1, close - i - 1);
        int width = 0;
        if (const std::size_t colon = field.find(':'); colon != std::string_view::npos) {
            const std::string_view digits = field.substr(colon + 1);
            if (digits.empty() || digits.size() > 2 ||
                !std::all_of(digits.begin(), digits.end(), [](char d) { return d >= '0' && d <= '9'; })) {
                error = "the width in {" + std::string(field) + "} is not a number from 0 to 99";
                return std::nullopt;
            }
            width = std::stoi(std::string(digits));
            field = field.substr(0, colon);
        }
        Field kind;
        if (field == "n")
            kind = Field::N;
        else if (field == "slot")
            kind = Field::Slot;
        else if (field == "module")
            kind = Field::Module;
        else if (field == "stem")
            kind = Field::Stem;
        else if (field == "name")
            kind = Field::Name;
        else {
            error = "unknown field {" + std::string(field) + "} (known: {n}, {slot}, {module}, {stem}, {name})";
            return std::nullopt;
        }
        if (width > 0 && kind != Field::N && kind != Field::Slot) {
            error = "only {n} and {slot} take a width";
            return std::nullopt;
        }
        flush();
        result.parts_.push_back({kind, {}, width});
        i = close;
    }
    flush();
    if (result.parts_.empty()) {
        error = "the template is empty";
        return std::nullopt;
    }
    // Fixed text is never shortened (a name cut into its numbers would
    // make every later sample's name the same): it must leave room.
    std::size_t fixed = 0;
    for (const auto& part : result.parts_) fixed += part.field == Field::Literal ? part.text.size() : 0;
    if (fixed > kMaxFixedText) {
        error = "its fixed text is " + std::to_string(fixed) + " bytes long; a file name holds at most 255, "
                "and the fields need room (at most " + std::to_string(kMaxFixedText) + ")";
        return std::nullopt;
    }
    return result;
}

std::string NameTemplate::Expand(const NameFields& fields, std::uint64_t maxBytes) const {
    std::vector<std::string> values;
    std::vector<bool> shortenable;
    const std::string safeName = SafeSampleName(fields.name);
    for (const auto& part : parts_) {
        switch (part.field) {
            case Field::Literal: values.push_back(part.text); break;
            case Field::N: values.push_back(Padded(fields.n, part.width)); break;
            case Field::Slot: values.push_back(Padded(fields.slot, part.width)); break;
            case Field::Module: values.push_back(fields.module); break;
            case Field::Stem: values.push_back(Stem(fields.module)); break;
            case Field::Name: values.push_back(safeName); break;
        }
        shortenable.push_back(part.field == Field::Module || part.field == Field::Stem || part.field == Field::Name);
    }
    const auto total = [&] {
        std::uint64_t size = 0;
        for (const auto& v : values) size += v.size();
        return size;
    };
    // Shorten the longest text field until the name fits.
    while (total() > maxBytes) {
        std::size_t longest = values.size();
        for (std::size_t i = 0; i < values.size(); ++i)
            if (shortenable[i] && !values[i].empty() && (longest == values.size() || values[i].size() > values[longest].size()))
                longest = i;
        if (longest == values.size()) break;
        const std::uint64_t excess = total() - maxBytes;
        const std::uint64_t keep = values[longest].size() > excess ? values[longest].size() - excess : 0;
        const std::string cut = CutAtCharacter(values[longest], keep);
        // Make progress even when the cut lands inside a character.
        values[longest] = cut.size() < values[longest].size() ? cut : values[longest].substr(0, values[longest].size() - 1);
    }
    std::string name;
    for (const auto& v : values) name += v;
    // Fixed text and numbers that alone do not fit are left whole: the file
    // system then refuses the name, rather than every sample getting the
    // same cut one.
    if (name.empty() || name == "." || name == "..") name = "_";
    // A name a module chose never makes a hidden file (".bashrc"), nor
    // "." or "..".
    if (name[0] == '.') name[0] = '_';
    return name;
}

}  // namespace vorneck
