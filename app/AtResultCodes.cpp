#include "AtResultCodes.h"

#include "RynUtils.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace {

// Every line of every answer passes through here: StartsWith (frame)
// compares the first byte, which tells most prefixes apart, first.
bool StartsWithAnyOf(std::string_view s, const auto &prefixes)
{
    for (std::string_view p : prefixes)
        if (StartsWith(s, p))
            return true;
    return false;
}

// A line that is exactly word, or word followed by a blank or a colon.
bool IsWord(std::string_view line, std::string_view word)
{
    if (!StartsWith(line, word))
        return false;
    return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == ':';
}

// Results that end a call set-up; outside one, NO CARRIER is the report of a
// call that ended and the others do not occur.
constexpr std::array kCallResults{std::string_view("CONNECT"), std::string_view("NO CARRIER"),
                                  std::string_view("BUSY"), std::string_view("NO ANSWER"),
                                  std::string_view("NO DIALTONE")};

// Unsolicited result codes of 27.007 and 27.005 and of common modules that
// a session may meet while it polls.
// The boot lines a module prints after power-on or a reset, while it is
// being identified, are among them.
constexpr std::array kUnsolicitedWords{std::string_view("RING"),      std::string_view("RDY"),
                                      std::string_view("^SYSSTART"), std::string_view("^SHUTDOWN"),
                                      std::string_view("+PBREADY"),  std::string_view("PB DONE"),
                                      std::string_view("SMS DONE"),  std::string_view("Call Ready"),
                                      std::string_view("SMS Ready"), std::string_view("+PACSP0"),
                                      std::string_view("+PACSP1")};

// Their prefixes that end in a colon, sorted: the head of a line up to its
// first colon is looked up by halving, as every answer line is.
constexpr auto kUnsolicitedHeads = [] {
    std::array heads{
        std::string_view("+CRING:"),  std::string_view("+CLIP:"),
        std::string_view("+CCWA:"),   std::string_view("+CMTI:"),   std::string_view("+CMT:"),
        std::string_view("+CBM:"),    std::string_view("+CDS:"),    std::string_view("+CDSI:"),
        std::string_view("+CBMI:"),   std::string_view("+CGEV:"),   std::string_view("+CUSD:"),
        std::string_view("+CIEV:"),   std::string_view("+CTZV:"),   std::string_view("+CTZE:"),
        std::string_view("+CTZEU:"),  std::string_view("+CSSI:"),   std::string_view("+CSSU:"),
        std::string_view("+CALV:"),   std::string_view("^SBC:"),
        std::string_view("+QIND:"),   std::string_view("+QUSIM:"),
        std::string_view("^SIMST:"),  std::string_view("^BOOT:"),   std::string_view("^RSSI:"),
        std::string_view("^MODE:"),   std::string_view("^SRVST:"),  std::string_view("+STIN:"),
        std::string_view("*PSUTTZ:"), std::string_view("DST:"),
        std::string_view("+CPIN:"),   std::string_view("+CFUN:"),   std::string_view("+PACSP:"),
    };
    std::sort(heads.begin(), heads.end());
    return heads;
}();

// And the prefixes that run on into the code's name.
constexpr std::array kUnsolicitedStems{std::string_view("^SCTM_")};

// The registration reports of +CREG, +CGREG, +CEREG and +C5GREG. Their read
// answers start with the report mode and then the unquoted stat; the
// unsolicited form starts with the stat and has no second field or a quoted
// one (the area code).
bool IsRegistrationReport(std::string_view line)
{
    constexpr std::array prefixes{std::string_view("+CREG:"), std::string_view("+CGREG:"),
                                  std::string_view("+CEREG:"), std::string_view("+C5GREG:")};
    for (std::string_view p : prefixes) {
        if (!StartsWith(line, p))
            continue;
        const std::size_t comma = line.find(',', p.size());
        if (comma == std::string_view::npos)
            return true;
        std::size_t i = comma + 1;
        while (i < line.size() && line[i] == ' ')
            ++i;
        return i < line.size() && line[i] == '"';
    }
    return false;
}

} // namespace

bool IsErrorResultCode(std::string_view line)
{
    return line == "ERROR" || StartsWith(line, "+CME ERROR") || StartsWith(line, "+CMS ERROR");
}

bool IsFinalResultCode(std::string_view line, bool dialling)
{
    if (line == "OK" || IsErrorResultCode(line))
        return true;
    if (!dialling)
        return false;
    for (std::string_view r : kCallResults)
        if (IsWord(line, r))
            return true;
    return false;
}

// True for a byte that starts some unsolicited result code.
constexpr auto kUnsolicitedFirstBytes = [] {
    std::array<bool, 256> first{};
    const auto mark = [&first](std::string_view code) { first[static_cast<unsigned char>(code.front())] = true; };
    for (std::string_view w : kUnsolicitedWords)
        mark(w);
    for (std::string_view p : kUnsolicitedHeads)
        mark(p);
    for (std::string_view p : kUnsolicitedStems)
        mark(p);
    mark("NO CARRIER");
    mark("+CREG:"); // and the other registration reports
    return first;
}();

bool IsUnsolicitedResultCode(std::string_view line, bool dialling)
{
    if (line.empty() || !kUnsolicitedFirstBytes[static_cast<unsigned char>(line.front())])
        return false;
    if (!dialling && IsWord(line, "NO CARRIER"))
        return true;
    for (std::string_view w : kUnsolicitedWords)
        if (IsWord(line, w))
            return true;
    if (StartsWithAnyOf(line, kUnsolicitedStems))
        return true;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    return std::binary_search(kUnsolicitedHeads.begin(), kUnsolicitedHeads.end(), line.substr(0, colon + 1)) ||
           IsRegistrationReport(line);
}

bool IsRingIndication(std::string_view line)
{
    return IsWord(line, "RING") || StartsWith(line, "+CRING:");
}

bool IsDialCommand(std::string_view command)
{
    if (command.size() < 3)
        return false;
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (upper(command[0]) != 'A' || upper(command[1]) != 'T')
        return false;
    const char c = upper(command[2]);
    return c == 'A' || c == 'D';
}

bool LooksLikeStatusLine(std::string_view line)
{
    if (line.empty())
        return false;
    if (IsUnsolicitedResultCode(line, false) || IsFinalResultCode(line, true))
        return true;
    // "+XXX: ...", "^XXX", "*XXX:", "#XXX", "$XXX", "!XXX", "%XXX": the head
    // of a command's answer or of a report, never a maker's or model's name.
    return std::string_view("+^*#$!%").find(line.front()) != std::string_view::npos;
}

std::optional<std::string_view> IdentificationText(std::string_view line, bool manufacturer)
{
    // The plain forms and the prefixed ones some modules give
    // ("+CGMI: Some Maker", "+GMM: \"LTE Module\"").
    const std::array prefixes = manufacturer ? std::array{std::string_view("+CGMI:"), std::string_view("+GMI:")}
                                             : std::array{std::string_view("+CGMM:"), std::string_view("+GMM:")};
    for (std::string_view prefix : prefixes) {
        if (!StartsWith(line, prefix))
            continue;
        std::string_view rest = line.substr(prefix.size());
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        if (rest.empty())
            return std::nullopt;
        return rest;
    }
    if (LooksLikeStatusLine(line))
        return std::nullopt;
    return line;
}
