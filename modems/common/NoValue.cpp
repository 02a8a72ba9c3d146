#include "modems/common/NoValue.h"

#include "RynUtils.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace cellfields {

namespace {

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view WithoutHexPrefix(std::string_view t)
{
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.remove_prefix(2);
    return t;
}

// The value of a decimal ("-32768") or "0x"-prefixed hex text; nothing for
// other texts or numbers beyond 64 bits.
std::optional<std::int64_t> IntegerText(std::string_view t)
{
    const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (hex)
        t.remove_prefix(2);
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, hex ? 16 : 10);
    if (t.empty() || ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

// A number with an optional fraction ("-256.0"), as a whole value when the
// fraction is zero; nothing otherwise.
std::optional<std::int64_t> WholeNumberText(std::string_view t)
{
    const std::size_t dot = t.find('.');
    if (dot != std::string_view::npos) {
        const std::string_view fraction = t.substr(dot + 1);
        if (fraction.empty() || fraction.find_first_not_of('0') != std::string_view::npos)
            return std::nullopt;
        t = t.substr(0, dot);
    }
    return IntegerText(t);
}

// Hex digits, all of them F once the prefix and leading zeros are gone.
bool AllF(std::string_view t)
{
    t = WithoutHexPrefix(t);
    const std::size_t first = t.find_first_not_of('0');
    if (first == std::string_view::npos)
        return false;
    t.remove_prefix(first);
    return std::all_of(t.begin(), t.end(), [](char c) { return c == 'f' || c == 'F'; });
}

bool IsWordMarker(std::string_view t)
{
    static constexpr std::array<std::string_view, 7> words = {"", "-", "--", "na", "n/a", "unknown", "invalid"};
    const std::string lower = Lower(t);
    return std::find(words.begin(), words.end(), lower) != words.end();
}

bool IsPlmnMarker(std::string_view t)
{
    std::string digits;
    for (const char c : t)
        if (c != ' ' && c != '-' && c != ',')
            digits += c;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsHexDigit))
        return false;
    return digits.find_first_not_of('0') == std::string::npos ||
           digits.find_first_not_of("fF") == std::string::npos;
}

bool OneOf(std::optional<std::int64_t> v, std::initializer_list<std::int64_t> markers)
{
    return v && std::find(markers.begin(), markers.end(), *v) != markers.end();
}

} // namespace

bool IsNoValue(std::string_view text, FieldKind kind)
{
    const std::string_view t = TrimmedControl(text);
    if (IsWordMarker(t))
        return true;
    const std::optional<std::int64_t> whole = WholeNumberText(t);
    if (OneOf(whole, {65535, 0x7FFFFFFF, 0xFFFFFFFF}))
        return true;
    switch (kind) {
    case FieldKind::Plmn:
        return IsPlmnMarker(t);
    case FieldKind::Area:
        return AllF(t) || OneOf(whole, {-1}) || Lower(WithoutHexPrefix(t)) == "fffe";
    case FieldKind::CellId:
        return AllF(t) || OneOf(whole, {-1});
    case FieldKind::Channel:
        return AllF(t) || OneOf(whole, {-1});
    case FieldKind::Level:
        return t == "-0" || OneOf(whole, {255, -255, -256, -32768, 32767});
    case FieldKind::Index:
        return OneOf(whole, {-1, 99, 255});
    }
    return false;
}

std::pair<std::optional<int>, std::optional<int>> PlmnOf(std::string_view mcc, std::string_view mnc)
{
    mcc = TrimmedControl(mcc);
    mnc = TrimmedControl(mnc);
    const auto digits = [](std::string_view t) {
        return !t.empty() && t.size() <= 3 && std::all_of(t.begin(), t.end(), IsDigit);
    };
    // An MNC of zeros is a network ("00"); an MCC of zeros is none.
    if (!digits(mcc) || !digits(mnc) || IsNoValue(mcc, FieldKind::Plmn))
        return {};
    return {std::stoi(std::string(mcc)), std::stoi(std::string(mnc))};
}

std::pair<std::optional<int>, std::optional<int>> PlmnOfText(std::string_view text)
{
    const std::string_view t = TrimmedControl(text);
    const std::size_t separator = t.find_first_of(" -,");
    if (separator != std::string_view::npos)
        return PlmnOf(t.substr(0, separator), t.substr(separator + 1));
    if (t.size() != 5 && t.size() != 6)
        return {};
    return PlmnOf(t.substr(0, 3), t.substr(3));
}

} // namespace cellfields
