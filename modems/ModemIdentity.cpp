#include "modems/ModemIdentity.h"

#include "RynUtils.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trimmed(std::string_view s) { return TrimmedControl(s); }

bool ContainsNoCase(std::string_view s, std::string_view word) { return Lower(s).find(word) != std::string::npos; }

} // namespace

std::string IdentityValue(std::string_view line)
{
    line = Trimmed(line);
    if (line.empty() || line == "OK" || StartsWith(line, "ERROR") || StartsWith(line, "+CME ERROR"))
        return {};
    // "+CGSN: 35...", "^ICCID: ...", "Revision: ...": the text after the head.
    if (const std::size_t colon = line.find(':'); colon != std::string_view::npos && colon < 16) {
        const std::string_view head = line.substr(0, colon);
        const bool named = std::all_of(head.begin(), head.end(), [](char c) {
            return std::isalpha(static_cast<unsigned char>(c)) || c == '+' || c == '^' || c == '#' || c == '$' ||
                   c == '!' || c == '%' || c == ' ';
        });
        if (named)
            line = Trimmed(line.substr(colon + 1));
    }
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
        line = line.substr(1, line.size() - 2);
    return std::string(line);
}

std::string SimStateOf(std::string_view line)
{
    line = Trimmed(line);
    if (StartsWith(line, "+CPIN:"))
        return std::string(Trimmed(line.substr(6)));
    if (StartsWith(line, "+CME ERROR:")) {
        const std::string_view reason = Trimmed(line.substr(11));
        // 10 SIM not inserted, 13 SIM failure (what many modems say without a card).
        if (reason == "10" || reason == "13" || ContainsNoCase(reason, "not inserted") ||
            ContainsNoCase(reason, "sim failure"))
            return "not inserted";
    }
    return {};
}

std::string SimProblemText(const std::string &sim)
{
    if (sim.empty() || sim == "READY")
        return {};
    if (sim == "not inserted")
        return "no SIM card";
    if (sim == "SIM PIN")
        return "SIM locked: the PIN is needed";
    if (sim == "SIM PUK")
        return "SIM blocked: the PUK is needed";
    return "SIM not ready: " + sim;
}
