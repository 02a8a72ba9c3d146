#include "RynUtils.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>

namespace {

std::atomic<bool> g_debugSwitch{true};

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// First reading of CutSpaces: the span of the set of blank and TAB. A NUL
// in s ends the span as any other character does.
std::size_t LeadingSpacesBySearch(const std::string &s)
{
    return std::strspn(s.c_str(), " \t");
}

// Second reading: a walk with a predicate.
std::size_t LeadingSpacesByWalk(const std::string &s)
{
    return static_cast<std::size_t>(
        std::find_if_not(s.begin(), s.end(), IsBlankOrTab) - s.begin());
}

struct IntegerReading {
    bool found = false;     // a number of at most kCutIntegerMaxDigits digits
    std::int32_t value = 0;
    std::size_t consumed = 0; // also set for a number too long to read
};

// First reading of CutInteger: accumulate digit by digit.
IntegerReading ReadIntegerByDigits(const std::string &s)
{
    IntegerReading r;
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        i = 1;
    std::int64_t value = 0;
    int digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        if (digits < kCutIntegerMaxDigits)
            value = value * 10 + (s[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0)
        return r;
    if (digits > kCutIntegerMaxDigits) {
        r.consumed = i;
        return r;
    }
    r.found = true;
    r.value = static_cast<std::int32_t>(negative ? -value : value);
    r.consumed = i;
    return r;
}

// Second reading: measure the digit run, then let from_chars convert it.
IntegerReading ReadIntegerByCharconv(const std::string &s)
{
    IntegerReading r;
    const std::size_t sign = (!s.empty() && s.front() == '-') ? 1 : 0;
    const std::size_t digits = std::strspn(s.c_str() + sign, "0123456789");
    if (digits > static_cast<std::size_t>(kCutIntegerMaxDigits)) {
        r.consumed = sign + digits;
        return r;
    }
    const std::size_t run = digits;
    if (run == 0)
        return r;
    std::int32_t magnitude = 0;
    const char *first = s.data() + sign;
    const auto [ptr, ec] = std::from_chars(first, first + run, magnitude);
    if (ec != std::errc() || ptr != first + run)
        return r;
    r.found = true;
    r.value = sign ? -magnitude : magnitude;
    r.consumed = sign + run;
    return r;
}

} // namespace

void CutSpaces(std::string &s)
{
    const std::size_t bySearch = LeadingSpacesBySearch(s);
    const std::size_t byWalk = LeadingSpacesByWalk(s);
    if (bySearch != byWalk)
        throw RynException("error in CutSpaces(" + s + ")");
    s.erase(0, bySearch);
}

std::int32_t CutInteger(std::string &s, std::int32_t defaultValue)
{
    const IntegerReading a = ReadIntegerByDigits(s);
    const IntegerReading b = ReadIntegerByCharconv(s);
    if (a.found != b.found || a.consumed != b.consumed || (a.found && a.value != b.value))
        throw RynException("error in CutInteger(" + s + ")");
    s.erase(0, a.consumed);
    if (!a.found)
        return defaultValue;
    return a.value;
}

void CutWord(std::string &s, std::string &word)
{
    const std::size_t p = s.find_first_of(" ,\t");
    const std::size_t n = p == std::string::npos ? s.size() : p;
    word = s.substr(0, n);
    s.erase(0, n);
}

bool CutSeparator(std::string &s, const std::string &separator)
{
    if (separator.empty() || s.compare(0, separator.size(), separator) != 0)
        return false;
    s.erase(0, separator.size());
    return true;
}

std::string TrimControl(const std::string &s)
{
    return std::string(TrimmedControl(s));
}

std::string_view TrimmedControl(std::string_view s)
{
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const auto first = std::find_if_not(s.begin(), s.end(), isControl);
    const auto last = std::find_if_not(s.rbegin(), std::string_view::const_reverse_iterator(first), isControl).base();
    return s.substr(std::size_t(first - s.begin()), std::size_t(last - first));
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    if (prefix.empty())
        return true;
    return s.size() >= prefix.size() && s[0] == prefix[0] && s.compare(1, prefix.size() - 1, prefix.substr(1)) == 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    return out;
}

bool RynDebugSwitch() { return g_debugSwitch.load(); }
void SetRynDebugSwitch(bool on) { g_debugSwitch.store(on); }

void RynDebugCheck(const std::string &message)
{
    if (RynDebugSwitch())
        throw RynException(message);
}
