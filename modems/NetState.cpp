#include "NetState.h"

#include "RynUtils.h"

#include <charconv>
#include <initializer_list>

namespace {

constexpr std::size_t npos = std::string::npos;

// Neighbour rows are 1 to 6; the grid shows them below the serving row.
constexpr int kFirstNeighbourRow = 1;
constexpr int kMonpLineCount = kNetStateCellCount - 1;   // rows 1 to 6
constexpr int kSmonpLineCount = kNetStateCellCount;      // rows 0 to 6

// The trimmed text between two 0-based positions, both excluded; end may be
// npos for "up to the end".
std::string TrimmedBetween(const std::string &s, std::size_t after, std::size_t end)
{
    const std::size_t first = after + 1;
    if (first > s.size())
        return {};
    const std::size_t count = end == npos ? npos : end - first;
    return TrimControl(s.substr(first, count));
}

// The colon and the first comma after it of "+CSQ: <rssi>,<ber>".
bool CsqSeparators(const std::string &s, std::size_t &c, std::size_t &k)
{
    c = s.find(':');
    k = c == npos ? npos : s.find(',', c + 1);
    return k != npos;
}

void MarkNeighboursInvalid(TNetState &state)
{
    for (int row = kFirstNeighbourRow; row < kNetStateCellCount; ++row)
        state.cells[row].valid = false;
}

// The five numbers every cell line starts with.
struct TCellColumns {
    std::int32_t channel;
    std::int32_t rssi;
    std::int32_t dbm;
    std::int32_t mcc;
    std::int32_t mnc;
};

// Stores a cell line into row when its first five numbers were all read;
// else only clears the row's valid flag, keeping the old values.
void StoreCell(TCellRow &row, const TCellColumns &c, std::int32_t c1)
{
    for (const std::int32_t v : {c.channel, c.rssi, c.dbm, c.mcc, c.mnc}) {
        if (v == kMissingInteger) {
            row.valid = false;
            return;
        }
    }
    row = TCellRow{true, c.channel, c.rssi, c.dbm, c1, c.mcc, c.mnc};
}

// A blank-separated integer column: the number, then the blanks after it.
std::int32_t CutIntegerColumn(std::string &s)
{
    const std::int32_t v = CutInteger(s, kMissingInteger);
    CutSpaces(s);
    return v;
}

// The five leading numbers as blank-separated columns; a braced list reads
// them left to right.
TCellColumns CutCellColumns(std::string &s)
{
    return TCellColumns{CutIntegerColumn(s), CutIntegerColumn(s), CutIntegerColumn(s), CutIntegerColumn(s),
                        CutIntegerColumn(s)};
}

// A blank-separated column that is skipped.
void CutWordColumn(std::string &s)
{
    std::string word;
    CutWord(s, word);
    CutSpaces(s);
}


// A field that holds a number too long for 32 bits (an optional sign, then
// digits only): the modem's value cannot be read, so the field is unknown,
// which no parser default may stand in for.
bool NumberTooLong(const std::string &text)
{
    std::size_t first = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (first == text.size() || text.find_first_not_of("0123456789", first) != npos)
        return false;
    std::int32_t value = 0;
    return std::from_chars(text.data() + first, text.data() + text.size(), value).ec == std::errc::result_out_of_range;
}

} // namespace

TRadioTech RadioTechOfAccessTechnology(std::int32_t act)
{
    switch (act) {
    case 0:
    case 1:
    case 3: return TRadioTech::Gsm;
    case 2:
    case 4:
    case 5:
    case 6: return TRadioTech::Umts;
    case 7:
    case 10: return TRadioTech::Lte;
    case 8: return TRadioTech::LteM;
    case 9: return TRadioTech::NbIot;
    case 11:
    case 12: return TRadioTech::Nr5gSa;
    case 13: return TRadioTech::Nr5gNsa;
    default: return TRadioTech::Unknown;
    }
}

void TNetState::MarkAllInvalid()
{
    signalValid = false;
    berValid = false;
    registrationValid = false;
    activityValid = false;
    operatorNameValid = false;
    operatorCodeValid = false;
    for (TCellRow &row : cells)
        row.valid = false;
    rat = TRadioTech::Unknown;
    copsRat = TRadioTech::Unknown;
    serving.reset();
    secondary.reset();
    neighbours.clear();
    carriers.clear();
}

const char *CarrierRoleName(TCarrierRole role)
{
    return role == TCarrierRole::Primary ? "PCC" : "SCC";
}

const char *RadioTechName(TRadioTech tech)
{
    switch (tech) {
    case TRadioTech::Gsm: return "GSM";
    case TRadioTech::Umts: return "UMTS";
    case TRadioTech::Lte: return "LTE";
    case TRadioTech::LteM: return "LTE-M";
    case TRadioTech::NbIot: return "NB-IoT";
    case TRadioTech::Nr5gNsa: return "NR5G-NSA";
    case TRadioTech::Nr5gSa: return "NR5G-SA";
    case TRadioTech::Unknown: break;
    }
    return nullptr;
}

std::int32_t integerOrDefault(const std::string &text, std::int32_t defaultValue)
{
    const char *first = text.data();
    const char *last = text.data() + text.size();
    // from_chars takes "-" but not "+"; a "+" followed by another sign must
    // still fail.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return defaultValue;
    }
    if (first == last)
        return defaultValue;
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || ptr != last)
        return defaultValue; // not a number, trailing text, or out of range
    return value;
}

void parseCsqExec(const std::string &line, TNetState &state)
{
    // +CSQ: 17,99      rssi 17 -> 53 %, ber unknown -> 0
    // +CSQ: 99,99      no signal known: 0 % and ber 0, both still valid
    // +CSQ: 31,0       strongest: 96 %
    // +CSQ 17          no colon or no comma: left as it was
    // +CSQ: 4294967313,2   a number too long to read: that field unknown
    const std::string s = TrimControl(line);
    std::size_t c = 0;
    std::size_t k = 0;
    if (!CsqSeparators(s, c, k))
        return;

    const std::string rssiText = TrimmedBetween(s, c, k);
    const std::int32_t rssi = integerOrDefault(rssiText, 99);
    state.signal = (rssi >= 0 && rssi <= 31) ? rssi * 100 / 32 : 0;
    state.signalValid = !NumberTooLong(rssiText);

    const std::string berText = TrimmedBetween(s, k, npos);
    const std::int32_t ber = integerOrDefault(berText, 99);
    state.ber = (ber >= 0 && ber <= 7) ? ber : 0;
    state.berValid = !NumberTooLong(berText);
}

std::optional<std::int32_t> CsqRssi(const std::string &line)
{
    const std::string s = TrimControl(line);
    std::size_t c = 0;
    std::size_t k = 0;
    if (!CsqSeparators(s, c, k))
        return std::nullopt;
    const std::int32_t rssi = integerOrDefault(TrimmedBetween(s, c, k), -1);
    return rssi >= 0 ? std::optional<std::int32_t>(rssi) : std::nullopt;
}

void parseCopsRead(const std::string &line, TNetState &state)
{
    // +COPS: 0,0,"Vodafone.de"        format 0: operator name
    // +COPS: 0,2,"26202"              format 2: operator code
    // +COPS: 1,0,"Orange, F",2        quotes delimit the name: commas and
    //                                 blanks inside it are kept, trailing
    //                                 fields are ignored
    // +COPS: 0,0,""                   empty name: "?" for name and code,
    //                                 valid flags untouched
    // +COPS: 0                        mode only (no operator): "?" for both,
    //                                 both valid
    // +COPS: 0,0                      no quoted operator: left as it was
    // +COPS: 0,0,"CHINA MOBILE",13    a fourth field (AcT) after the quoted
    // +COPS:0,2,"26202",7             operator gives copsRat (13 NR5G-NSA,
    //                                 7 LTE); an unknown or missing AcT
    //                                 leaves copsRat as it was
    const std::string s = TrimControl(line);
    const std::size_t c = s.find(':');
    if (c == npos)
        return;
    const std::size_t k1 = s.find(',', c + 1);
    if (k1 == npos) {
        state.operatorName = "?";
        state.operatorCode = "?";
        state.operatorNameValid = true;
        state.operatorCodeValid = true;
        return;
    }
    const std::size_t k2 = s.find(',', k1 + 1);
    if (k2 == npos)
        return;
    const std::size_t q1 = s.find('"', k2 + 1);
    if (q1 == npos)
        return;
    const std::size_t q2 = s.find('"', q1 + 1);
    if (q2 == npos)
        return;

    const std::size_t k3 = s.find(',', q2 + 1);
    if (k3 != npos) {
        const std::int32_t act = integerOrDefault(TrimmedBetween(s, k3, s.find(',', k3 + 1)), -1);
        const TRadioTech rat = RadioTechOfAccessTechnology(act);
        if (rat != TRadioTech::Unknown)
            state.copsRat = rat;
    }

    // The mode before k1 is not used.
    const std::int32_t format = integerOrDefault(TrimmedBetween(s, k1, k2), -1);
    const std::string oper = s.substr(q1 + 1, q2 - q1 - 1);
    if (oper.empty()) {
        state.operatorName = "?";
        state.operatorCode = "?";
        return;
    }
    if (format == 0) {
        state.operatorName = oper;
        state.operatorNameValid = true;
    } else if (format == 2) {
        state.operatorCode = oper;
        state.operatorCodeValid = true;
    }
}

void parseCregRead(const std::string &line, TNetState &state)
{
    // +CREG: 0,1                         registered, home network
    // +CREG: 0,5                         registered, roaming
    // +CREG: 2,5,"1A2B","00C3D4",0       left at AT+CREG=2 by other software:
    //                                    stat is the field after the first
    //                                    comma, the location follows
    // +CREG: 1                           no comma (the unsolicited form):
    //                                    left as it was
    const std::size_t c = line.find(':');
    if (c == npos)
        return;
    const std::size_t k = line.find(',', c + 1);
    if (k == npos)
        return;
    // +CREG: 0,2147483648                a number too long to read: unknown
    // The number before k (the unsolicited-report setting) is not used.
    const std::string statText = TrimmedBetween(line, k, line.find(',', k + 1));
    const std::int32_t stat = integerOrDefault(statText, -1);
    state.registration = (stat >= 0 && stat <= 5) ? stat : -1;
    state.registrationValid = !NumberTooLong(statText);
}

void parseCpasExec(const std::string &line, TNetState &state)
{
    // +CPAS: 0     ready
    // +CPAS: 3     ringing
    // +CPAS: 4     call in progress
    // +CPAS: 2     any other value (unknown, asleep...): -1, valid
    // +CPAS: 99999999999   a number too long to read: unknown
    const std::size_t c = line.find(':');
    if (c == npos)
        return;
    const std::string text = TrimmedBetween(line, c, npos);
    const std::int32_t v = integerOrDefault(text, -1);
    state.activity = (v == 0 || v == 3 || v == 4) ? v : -1;
    state.activityValid = !NumberTooLong(text);
}

void parseMoniServing(const std::string &line, TNetState &state)
{
    // Header: chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev  C1
    //          1011 29  -79   262  02   0084 4A3E 7   7   33  -105   26 | No connection
    //         channel, rs, dBm, MCC, MNC are kept; LAC to RXLev are skipped
    //         as words; C1 is kept and may be missing.
    //           10 21  -80   ---  --   ---- ---- --  --  --  ----  ---
    //         (not registered) or an empty line (time-out): row 0 invalid.
    std::string s = TrimControl(line);
    const TCellColumns columns = CutCellColumns(s);
    for (int skipped = 0; skipped < 6; ++skipped) // LAC, cell, NCC, BCC, PWR, RXLev
        CutWordColumn(s);
    const std::int32_t c1 = CutInteger(s, kMissingInteger);
    StoreCell(state.cells[0], columns, c1);
}

void parseMonpNeighbour(const std::string &line, int index, TNetState &state)
{
    // Header: chann rs  dBm  MCC  MNC  BCC  C1  C2
    //          653  26  -84  262  07   0    22  22
    //         channel, rs, dBm, MCC, MNC are kept; BCC skipped; C1 kept;
    //         C2 not read. Line index 0 goes to row 1.
    // Index -1 (time-out) or 6 and more (a seventh line): rows 1 to 6 all
    // invalid.
    if (index < 0 || index >= kMonpLineCount) {
        MarkNeighboursInvalid(state);
        return;
    }
    std::string s = TrimControl(line);
    const TCellColumns columns = CutCellColumns(s);
    CutWordColumn(s); // BCC
    const std::int32_t c1 = CutInteger(s, kMissingInteger);
    StoreCell(state.cells[index + kFirstNeighbourRow], columns, c1);
}

void parseSmonpNeighbour(const std::string &line, int index, TNetState &state)
{
    // Header: 2G:
    //         1017,17,-100,262,02,4,5,33,33,0084,4A3E
    //         values 1 to 5 (channel, rs, dBm, MCC, MNC) kept, 6 and 7 skipped,
    //         8 taken as C1. No blanks are skipped. Line index 0 goes to
    //         row 0.
    // Index -1 (time-out) or 7 and more: rows 1 to 6 invalid, row 0 kept.
    if (index < 0 || index >= kSmonpLineCount) {
        MarkNeighboursInvalid(state);
        return;
    }
    std::string s = TrimControl(line);
    std::array<std::int32_t, 8> values{};
    values[0] = CutInteger(s, kMissingInteger);
    for (std::size_t i = 1; i < values.size(); ++i) {
        // A missing comma leaves the text in place; the next integer then
        // reads as missing, which the row check below catches for values
        // 1 to 5.
        CutSeparator(s, ",");
        values[i] = CutInteger(s, kMissingInteger);
    }
    StoreCell(state.cells[index], TCellColumns{values[0], values[1], values[2], values[3], values[4]}, values[7]);
}

std::string BandOfChannel(std::int32_t channel)
{
    if ((channel >= 0 && channel <= 124) || (channel >= 955 && channel <= 1023))
        return "900";
    if (channel >= 512 && channel <= 885)
        return "1800";
    return "?";
}
