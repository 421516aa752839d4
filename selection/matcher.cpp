#include "selection/matcher.h"

namespace vorneck {

// Placeholder until the linear-space matcher lands.
static bool MatchPattern(std::string_view s, std::string_view p, bool matchCase) {
    if (p == "*") return true;
    if (s.empty()) return p.empty();
    if (p.empty()) return false;
    if (p[0] == '*') return MatchPattern(s, p.substr(1), matchCase) || MatchPattern(s.substr(1), p, matchCase);
    if (p[0] == '?') return MatchPattern(s.substr(1), p.substr(1), matchCase);
    auto up = [&](char c) { return (!matchCase && c >= 'a' && c <= 'z') ? char(c - 32) : c; };
    return up(s[0]) == up(p[0]) && MatchPattern(s.substr(1), p.substr(1), matchCase);
}

bool MatchFileName(std::string_view name, std::string_view pattern, bool matchCase) {
    return MatchPattern(name, pattern, matchCase);
}

}  // namespace vorneck
