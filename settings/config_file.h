#pragma once

#include <string>

namespace rerozadez {

// Turns the bytes of a configuration file into text. A non-zero first byte
// means ANSI text up to the first zero byte; a zero first byte (or no byte at
// all) means UTF-16 little-endian text up to the first zero unit.
std::wstring DecodeConfigText(const std::string& bytes);

// The trimmed value after the first occurrence of key in text: the text
// between the first "=" and the first line feed that follow it. Keys are
// found by plain, case-sensitive substring search, so a key that is a prefix
// of another must come first in the file. Empty when the key, the "=" or the
// line feed is missing, or when the "=" lies beyond that line feed.
std::wstring GetConfigValue(const std::wstring& text, const std::wstring& key);

// True when the text reads as the decimal integer 1 ("1", "01", "+1",
// "1abc").
bool ReadConfigFlag(const std::wstring& text);

// False when the text reads as the decimal integer 0 ("0", "00", "0 off"),
// else true, also for an empty text: a switch that is on unless turned off.
bool ReadConfigSwitch(const std::wstring& text);

}  // namespace rerozadez
