#include "modems/OperatorScan.h"

#include "RynUtils.h"

#include <algorithm>
#include <cctype>

namespace {

// The fields of one parenthesised group, split at commas outside quotes.
struct Field {
    std::string text;
    bool quoted = false;
    int quotedParts = 0;
};

// A quoted field is the text inside its first pair of quotes: what stands
// before or after them, or in a second pair, is no part of it.
std::vector<Field> SplitGroup(std::string_view group)
{
    std::vector<Field> fields(1);
    bool inQuotes = false;
    for (char c : group) {
        Field &f = fields.back();
        if (c == '"') {
            inQuotes = !inQuotes;
            if (inQuotes && ++f.quotedParts == 1)
                f.text.clear();
            f.quoted = true;
        } else if (c == ',' && !inQuotes) {
            fields.emplace_back();
        } else if (inQuotes) {
            if (f.quotedParts == 1)
                f.text += c;
        } else if (!f.quoted && c != ' ') {
            f.text += c;
        }
    }
    return fields;
}

bool AllDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> SmallNumber(const Field &field)
{
    if (field.quoted || !AllDigits(field.text) || field.text.size() > 3)
        return std::nullopt;
    return std::stoi(field.text);
}

// The text after "+COPS:", trimmed; nullopt for another line.
std::optional<std::string_view> Body(std::string_view line)
{
    line = TrimmedControl(line);
    if (!StartsWith(line, "+COPS:"))
        return std::nullopt;
    return TrimmedControl(line.substr(6));
}

} // namespace

const char *OperatorStatusWord(int status)
{
    switch (status) {
    case 1: return "available";
    case 2: return "current";
    case 3: return "forbidden";
    default: return "unknown";
    }
}

bool IsOperatorScanLine(std::string_view line)
{
    const std::optional<std::string_view> body = Body(line);
    return body && !body->empty() && (body->front() == '(' || body->front() == ',');
}

std::optional<std::vector<ScannedOperator>> ParseOperatorScan(std::string_view line)
{
    if (!IsOperatorScanLine(line))
        return std::nullopt;
    const std::string_view body = *Body(line);
    std::vector<ScannedOperator> operators;
    std::size_t i = 0;
    while (i < body.size()) {
        if (body[i] != '(') {
            ++i;
            continue;
        }
        // The group runs to the first ')' outside quotes.
        std::size_t end = i + 1;
        bool inQuotes = false;
        while (end < body.size() && (inQuotes || body[end] != ')')) {
            if (body[end] == '"')
                inQuotes = !inQuotes;
            ++end;
        }
        if (end >= body.size())
            break; // cut off: the rest is no whole group
        const std::vector<Field> fields = SplitGroup(body.substr(i + 1, end - i - 1));
        i = end + 1;
        // A network: <stat>,"long","short","numeric"[,<AcT>]. The lists of
        // modes and formats have no quoted fields.
        if (fields.size() < 4 || !fields[3].quoted)
            continue;
        const std::optional<int> status = SmallNumber(fields[0]);
        if (!status || *status > 3 || !AllDigits(fields[3].text) || fields[3].text.size() < 5 ||
            fields[3].text.size() > 6)
            continue;
        ScannedOperator op;
        op.status = *status;
        op.longName = TrimmedControl(fields[1].text);
        op.shortName = TrimmedControl(fields[2].text);
        op.code = fields[3].text;
        if (fields.size() >= 5)
            if (const std::optional<int> act = SmallNumber(fields[4]))
                op.accessTechnology = *act;
        operators.push_back(std::move(op));
    }
    return operators;
}

std::string ScanOutcomeText(const OperatorScanResult &result, int timeoutSeconds)
{
    switch (result.outcome) {
    case ScanOutcome::Done: {
        const std::size_t n = result.operators.size();
        return n == 0 ? std::string("no network found")
                      : std::to_string(n) + (n == 1 ? " network found" : " networks found");
    }
    case ScanOutcome::Refused: return "the modem refused the scan: " + result.reason;
    case ScanOutcome::TimedOut: return "the scan got no answer within " + std::to_string(timeoutSeconds) + " s";
    case ScanOutcome::Cancelled: return "the scan was cancelled";
    case ScanOutcome::PortLost: return "the port closed during the scan";
    }
    return {};
}
