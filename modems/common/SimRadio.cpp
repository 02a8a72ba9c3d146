#include "modems/common/SimRadio.h"

#include <cmath>

const std::vector<TRynSimOperator> &SimOperators()
{
    static const std::vector<TRynSimOperator> operators = {
        {"23001", "T-Mobile CZ", "TMO CZ"},
        {"23002", "O2 - CZ", "O2 CZ"},
        {"23003", "Vodafone CZ", "VF CZ"},
    };
    return operators;
}


namespace simtext {

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool SplitArguments(const std::string &args, std::vector<Argument> &out)
{
    out.clear();
    Argument current;
    bool inQuotes = false;
    for (char c : args) {
        if (c == '"') {
            inQuotes = !inQuotes;
            current.quoted = true;
        } else if (c == ',' && !inQuotes) {
            out.push_back(current);
            current = Argument{};
        } else if (inQuotes || c != ' ') {
            current.text += c;
        }
    }
    if (inQuotes)
        return false;
    out.push_back(current);
    return true;
}

int BandwidthCode(int mhz)
{
    switch (mhz) {
    case 3: return 1;
    case 5: return 2;
    case 10: return 3;
    case 15: return 4;
    case 20: return 5;
    default: return 0;
    }
}

int Srxlev(double rsrp) { return static_cast<int>(rsrp) + 128; }

std::string Whole(double value) { return std::to_string(static_cast<int>(std::lround(value))); }
std::string Tenths(double value) { return std::to_string(static_cast<int>(std::lround(value * 10))); }

std::string Decimal(double value)
{
    return value == std::round(value) ? Whole(value) : Format("%.1f", value);
}

int Clamped(double value, int low, int high)
{
    return std::clamp(static_cast<int>(std::lround(value)), low, high);
}

std::string RsrpIndex(double dbm) { return std::to_string(Clamped(dbm + 141, 0, 97)); }
std::string RsrqIndex(double db) { return std::to_string(Clamped(2 * (db + 20), 0, 34)); }

} // namespace simtext
