#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"

namespace velmora::AdbText {

// What adb and the phone print, read the way the installer needs it. Pure; any thread.

// Bytes as UTF-8 text, every ill-formed sequence replaced by U+FFFD.
std::string decode(const Bytes& bytes);

// Line ends: LF, CR, VT, FF, NEL, LINE and PARAGRAPH SEPARATOR (CR LF counts once: its empty piece drops).
bool isLineBreak(char32_t c);
// White space inside a line: tab and the Unicode space separators.
bool isInlineSpace(char32_t c);

// The lines of `text` with inline white space trimmed from both ends; lines left empty are dropped.
std::vector<std::string> trimmedLines(std::string_view text);

// The first run of characters that are neither line breaks nor inline spaces; empty when there is none.
std::string firstToken(std::string_view text);

// Whether `text` contains `needle`, ASCII letters compared without case (every needle we look for is
// ASCII, so other characters compare exactly).
bool containsNoCase(std::string_view text, std::string_view needle);

}  // namespace velmora::AdbText
