#pragma once
// Small routines shared across Palvex: the text cutters the modem answer
// parsers rest on, and the debug check of the distributor chain.
//
// Every cutter takes something from the head of a string, returns it and
// leaves the rest in the string. CutSpaces and CutInteger compute their result
// twice, by two independent readings, and throw RynException when the readings
// disagree, so a fault in either reading shows at once instead of corrupting
// a measurement.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

class RynException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Removes every leading blank (32) and TAB (9).
void CutSpaces(std::string &s);

// Reads a decimal integer at the very start of s: an optional "-", then
// digits. No leading blanks are skipped. When no digit was read the result is
// defaultValue and s is unchanged (a lone "-" stays too). A number of more
// than kCutIntegerMaxDigits digits is too long to read: it is removed whole
// and the result is defaultValue, so the field reads as unknown and the next
// field stays where it was. A value read always fits 32 bits.
std::int32_t CutInteger(std::string &s, std::int32_t defaultValue);
inline constexpr int kCutIntegerMaxDigits = 9;

// Moves the leading word of s, up to the first blank, comma or TAB, into
// word. The delimiter stays in s (CutSpaces removes following blanks).
void CutWord(std::string &s, std::string &word);

// Removes separator from the head of s; tells whether it was there.
bool CutSeparator(std::string &s, const std::string &separator);

// Whether s begins with prefix. The first byte, which tells most prefixes of
// a modem's answers apart, is compared before the rest.
bool StartsWith(std::string_view s, std::string_view prefix);
// An ASCII decimal digit.
bool IsDigit(char c);
// s with its ASCII letters in lower case.
std::string Lower(std::string_view s);

// Trims every character of code 32 or less from both ends.
std::string TrimControl(const std::string &s);
// The same trim as a view into s, for lines that are only looked at.
std::string_view TrimmedControl(std::string_view s);

// The program's debug switch. On in this program: every debug check throws.
bool RynDebugSwitch();
void SetRynDebugSwitch(bool on);

// Throws RynException(message) while the debug switch is on.
void RynDebugCheck(const std::string &message);
