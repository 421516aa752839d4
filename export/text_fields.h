// SPDX-License-Identifier: MIT
// Sample names and paths as text for audio files and manifests.
//
// Names come from Amiga and PC trackers as bytes. Bytes above ASCII are read
// as Latin-1 (ISO 8859-1), the Amiga's character set, which also covers what
// PC trackers of the time stored for Western names. What each audio format
// gets:
//   WAV LIST/INFO and FLAC Vorbis comments: UTF-8 (Vorbis comments are
//     UTF-8 by definition; INFO has no fixed character set and today's
//     readers take UTF-8).
//   AIFF NAME and ANNO: ASCII, as the AIFF text chunks are defined; other
//     characters become '?'.
//   8SVX NAME: Latin-1 bytes, the Amiga's own character set.
// Before that a name is cleaned for display: it ends at its first NUL (the
// fields are C strings and trackers leave junk behind the terminator), the
// control characters (0x00-0x1F, 0x7F and Latin-1's 0x80-0x9F) are dropped
// and leading and trailing blanks are trimmed.
#pragma once

#include <string>
#include <string_view>

namespace vorneck {

// The cleaning above; the result is still Latin-1 bytes.
std::string CleanName(std::string_view stored);

// Every byte read as Latin-1, written as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// Bytes above 0x7F become '?'.
std::string Latin1ToAscii(std::string_view latin1);

// For paths, which are bytes on Linux: well-formed UTF-8 sequences are kept
// as they are, and every other byte is read as Latin-1. Valid UTF-8 paths
// come out unchanged; others still give valid UTF-8 that shows what a
// Latin-1 name meant.
std::string BytesToUtf8(std::string_view bytes);

}  // namespace vorneck
