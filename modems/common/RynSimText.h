#pragma once
// Text helpers shared by the simulated modem's engine and channel.

#include <cctype>
#include <string>
#include <vector>

namespace rynsim {

// The text without the control characters and blanks at both ends.
inline std::string Trim(const std::string &s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

// A whole text of up to six digits as a number; false for anything else
// (a sentinel such as -1 could not tell "=-1" apart).
inline bool ParseNumber(const std::string &text, int &value)
{
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 6)
        return false;
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stoi(t);
    return true;
}

// The items of a settings text ("model=BGS5, latency=20,loop"): split at
// the commas, trimmed, the empty ones left out.
inline std::vector<std::string> SettingItems(const std::string &config)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= config.size()) {
        std::size_t end = config.find(',', start);
        if (end == std::string::npos)
            end = config.size();
        if (std::string item = Trim(config.substr(start, end - start)); !item.empty())
            items.push_back(std::move(item));
        start = end + 1;
    }
    return items;
}

} // namespace rynsim
