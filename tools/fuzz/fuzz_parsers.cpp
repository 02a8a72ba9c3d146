// libFuzzer target: feeds arbitrary bytes, as one answer line, to every AT
// answer parser (the design's, and every family's of the registry) and to the
// text cutters beneath them, and checks what each may and may not change. A sanitizer report, a failed check (abort) or any
// exception — the cutters' self-check RynException included — is a finding.
//
// Built by clang++ straight from frame/RynUtils.cpp, the sources of modems/
// and this file; no Qt is involved.

#include "app/ValueRanges.h"
#include "RynUtils.h"
#include "modems/ModemFamily.h"
#include "modems/NetState.h"
#include "modems/OperatorScan.h"
#include "modems/design/DesignParsers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <string>

namespace {

[[noreturn]] void Fail(const char *what, const std::string &input)
{
    std::fprintf(stderr, "fuzz_parsers: %s (input of %zu bytes)\n", what, input.size());
    std::abort();
}

void Check(bool ok, const char *what, const std::string &input)
{
    if (!ok)
        Fail(what, input);
}

bool EndsWith(const std::string &s, const std::string &tail)
{
    return tail.size() <= s.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A default no nine-digit reading can produce, so "nothing read" is certain.
constexpr std::int32_t kNoValue = std::numeric_limits<std::int32_t>::min();

void CheckCutSpaces(const std::string &input)
{
    std::string s = input;
    CutSpaces(s);
    Check(EndsWith(input, s), "CutSpaces: rest is not a tail of the input", input);
    Check(s.empty() || (s[0] != ' ' && s[0] != '\t'), "CutSpaces: a blank or TAB is left at the head", input);
    for (std::size_t i = 0; i < input.size() - s.size(); ++i)
        Check(input[i] == ' ' || input[i] == '\t', "CutSpaces: removed something other than blanks", input);
}

void CheckCutInteger(const std::string &input)
{
    std::string s = input;
    const std::int32_t v = CutInteger(s, kNoValue);
    Check(EndsWith(input, s), "CutInteger: rest is not a tail of the input", input);
    const std::size_t consumed = input.size() - s.size();
    if (v == kNoValue) {
        // Nothing read, or a number too long to read removed whole.
        const std::size_t sign = (!input.empty() && input[0] == '-') ? 1 : 0;
        std::size_t digits = 0;
        while (sign + digits < input.size() && IsDigit(input[sign + digits]))
            ++digits;
        if (digits > static_cast<std::size_t>(kCutIntegerMaxDigits)) {
            Check(consumed == sign + digits, "CutInteger: a number too long was not removed whole", input);
            return;
        }
        Check(consumed == 0, "CutInteger: default returned but text removed", input);
        Check(digits == 0, "CutInteger: digits present but default returned", input);
        return;
    }
    // Reference reading of what was removed: "-"? then 1 to 9 digits.
    const bool negative = input[0] == '-';
    const std::size_t first = negative ? 1 : 0;
    Check(consumed > first && consumed - first <= static_cast<std::size_t>(kCutIntegerMaxDigits),
          "CutInteger: removed length out of range", input);
    std::int64_t value = 0;
    for (std::size_t i = first; i < consumed; ++i) {
        Check(IsDigit(input[i]), "CutInteger: removed a non-digit", input);
        value = value * 10 + (input[i] - '0');
    }
    Check((negative ? -value : value) == v, "CutInteger: wrong value", input);
    Check(s.empty() || !IsDigit(s[0]), "CutInteger: stopped before the end of the digits", input);
}

void CheckCutWord(const std::string &input)
{
    std::string s = input;
    std::string word;
    CutWord(s, word);
    Check(word + s == input, "CutWord: word and rest do not make the input", input);
    Check(word.find_first_of(" ,\t") == std::string::npos, "CutWord: delimiter inside the word", input);
    Check(s.empty() || s[0] == ' ' || s[0] == ',' || s[0] == '\t', "CutWord: stopped before a delimiter", input);
}

void CheckCutSeparator(const std::string &input, const std::string &separator)
{
    std::string s = input;
    const bool cut = CutSeparator(s, separator);
    const bool present = !separator.empty() && input.compare(0, separator.size(), separator) == 0;
    Check(cut == present, "CutSeparator: wrong answer", input);
    Check(s == (present ? input.substr(separator.size()) : input), "CutSeparator: wrong rest", input);
}

void CheckTrimControl(const std::string &input)
{
    const std::string t = TrimControl(input);
    Check(input.find(t) != std::string::npos, "TrimControl: result is not part of the input", input);
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    Check(t.empty() || (!isControl(t.front()) && !isControl(t.back())), "TrimControl: control code left at an end",
          input);
}

void CheckIntegerOrDefault(const std::string &input)
{
    const std::int32_t v = integerOrDefault(input, kNoValue);
    // Reference: optional sign, at least one digit, nothing else, in range.
    std::size_t i = 0;
    bool negative = false;
    if (i < input.size() && (input[i] == '+' || input[i] == '-')) {
        negative = input[i] == '-';
        ++i;
    }
    bool ok = i < input.size();
    std::int64_t value = 0;
    for (; ok && i < input.size(); ++i) {
        if (!IsDigit(input[i])) {
            ok = false;
            break;
        }
        value = value * 10 + (input[i] - '0');
        if (value > std::int64_t{1} << 32)
            value = std::int64_t{1} << 32; // saturate: far out of range either way
    }
    if (negative)
        value = -value;
    ok = ok && value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
    Check(v == (ok ? static_cast<std::int32_t>(value) : kNoValue), "integerOrDefault: differs from reference", input);
}

// Walks the whole input the way the cell-monitor parsers do, so the cutters
// meet every remainder a line can leave.
void WalkColumns(const std::string &input)
{
    std::string s = input;
    std::string word;
    while (!s.empty()) {
        const std::size_t before = s.size();
        CutInteger(s, kMissingInteger);
        CutSpaces(s);
        CutSeparator(s, ",");
        CutWord(s, word);
        CutSpaces(s);
        if (s.size() == before)
            s.erase(0, 1);
    }
}

// A record with values no parser would produce by accident and with valid
// flags taken from the input, so flag changes in both directions show.
TNetState StartRecord(std::uint32_t flags)
{
    TNetState st;
    st.signal = 77;
    st.ber = 66;
    st.registration = 55;
    st.activity = 44;
    st.operatorName = "old name";
    st.operatorCode = "old code";
    for (int i = 0; i < kNetStateCellCount; ++i)
        st.cells[i] = TCellRow{false, 1000 + i, 100 + i, -200 - i, 300 + i, 400 + i, 500 + i};
    st.signalValid = flags & 1u;
    st.berValid = flags & 2u;
    st.registrationValid = flags & 4u;
    st.activityValid = flags & 8u;
    st.operatorNameValid = flags & 16u;
    st.operatorCodeValid = flags & 32u;
    for (int i = 0; i < kNetStateCellCount; ++i)
        st.cells[i].valid = flags & (64u << i);
    return st;
}

void CheckCellRow(const TCellRow &after, const TCellRow &before, const std::string &input)
{
    if (after.valid) {
        for (const std::int32_t v : {after.channel, after.rssi, after.dbm, after.mcc, after.mnc})
            Check(v != kMissingInteger, "cell row valid with a missing number", input);
    } else {
        TCellRow expected = before;
        expected.valid = false;
        Check(after == expected, "invalid cell row changed its values", input);
    }
}

// ^MONP and ^SMONP at a row index: one row changed, or rows 1 to 6 marked
// invalid for an index outside the grid.
void CheckRowParsers(const std::string &line, const TNetState &start)
{
    // The index comes from the line length so every case, the out-of-range
    // ones included, is reached; index 0 is always tried as well.
    const int indices[] = {0, static_cast<int>(line.size() % 10) - 1};
    for (const int index : indices) {
        {
            TNetState st = start;
            parseMonpNeighbour(line, index, st);
            TNetState expected = start;
            if (index < 0 || index >= kNetStateCellCount - 1) {
                for (int row = 1; row < kNetStateCellCount; ++row)
                    expected.cells[row].valid = false;
                Check(st == expected, "^MONP out-of-range index did not just mark rows 1 to 6 invalid", line);
            } else {
                TNetState rest = st;
                rest.cells[index + 1] = start.cells[index + 1];
                Check(rest == start, "^MONP changed another row", line);
                CheckCellRow(st.cells[index + 1], start.cells[index + 1], line);
            }
        }
        {
            TNetState st = start;
            parseSmonpNeighbour(line, index, st);
            TNetState expected = start;
            if (index < 0 || index >= kNetStateCellCount) {
                for (int row = 1; row < kNetStateCellCount; ++row)
                    expected.cells[row].valid = false;
                Check(st == expected, "^SMONP out-of-range index did not just mark rows 1 to 6 invalid", line);
            } else {
                TNetState rest = st;
                rest.cells[index] = start.cells[index];
                Check(rest == start, "^SMONP changed another row", line);
                CheckCellRow(st.cells[index], start.cells[index], line);
            }
        }
    }
}

void CheckParsers(const std::string &line, std::uint32_t flags)
{
    const TNetState start = StartRecord(flags);

    {
        TNetState st = start;
        parseCsqExec(line, st);
        TNetState rest = st;
        rest.signal = start.signal;
        rest.signalValid = start.signalValid;
        rest.ber = start.ber;
        rest.berValid = start.berValid;
        Check(rest == start, "+CSQ changed a field it does not own", line);
        if (st != start) {
            // A field is valid, or unknown because its number was too long.
            Check((st.signalValid && st.berValid) || line.size() > 10, "+CSQ field unknown without a long number",
                  line);
            Check(st.signal >= 0 && st.signal <= 96 && st.ber >= 0 && st.ber <= 7, "+CSQ value out of range", line);
        }
    }
    {
        TNetState st = start;
        parseCopsRead(line, st);
        TNetState rest = st;
        rest.operatorName = start.operatorName;
        rest.operatorNameValid = start.operatorNameValid;
        rest.operatorCode = start.operatorCode;
        rest.operatorCodeValid = start.operatorCodeValid;
        rest.copsRat = start.copsRat;
        Check(rest == start, "+COPS changed a field it does not own", line);
        Check(st.copsRat == start.copsRat || st.copsRat != TRadioTech::Unknown, "+COPS forgot the access technology",
              line);
        // A changed name or code is "?" or text taken from the line.
        Check(st.operatorName == start.operatorName || st.operatorName == "?" ||
                  line.find(st.operatorName) != std::string::npos,
              "+COPS name not taken from the line", line);
        Check(st.operatorCode == start.operatorCode || st.operatorCode == "?" ||
                  line.find(st.operatorCode) != std::string::npos,
              "+COPS code not taken from the line", line);
    }
    {
        TNetState st = start;
        parseCregRead(line, st);
        TNetState rest = st;
        rest.registration = start.registration;
        rest.registrationValid = start.registrationValid;
        Check(rest == start, "+CREG changed a field it does not own", line);
        if (st != start)
            Check(st.registration >= -1 && st.registration <= 5, "+CREG value out of range", line);
    }
    {
        TNetState st = start;
        parseCpasExec(line, st);
        TNetState rest = st;
        rest.activity = start.activity;
        rest.activityValid = start.activityValid;
        Check(rest == start, "+CPAS changed a field it does not own", line);
        if (st != start)
            Check(st.activity == -1 || st.activity == 0 || st.activity == 3 || st.activity == 4,
                  "+CPAS value out of range", line);
    }
    {
        TNetState st = start;
        parseMoniServing(line, st);
        TNetState rest = st;
        rest.cells[0] = start.cells[0];
        Check(rest == start, "^MONI changed more than row 0", line);
        CheckCellRow(st.cells[0], start.cells[0], line);
    }

    CheckRowParsers(line, start);

    // A served channel goes to BandOfChannel; any integer must give a band.
    TNetState st = start;
    parseMoniServing(line, st);
    const std::string band = BandOfChannel(st.cells[0].channel);
    Check(band == "900" || band == "1800" || band == "?", "BandOfChannel: unknown band", line);
}

// ---------------------------------------------------------------- general cells

bool Finite(const std::optional<double> &v) { return !v || std::isfinite(*v); }

void CheckRadioCell(const TRadioCell &c, const std::string &input)
{
    for (const auto &v : {c.rssi, c.rsrp, c.rsrq, c.sinr, c.rscp, c.ecno})
        Check(Finite(v), "cell measure not finite", input);
    Check(!c.area || *c.area >= 0, "negative area", input);
    Check(!c.cellId || *c.cellId >= 0, "negative cell id", input);
    for (const auto &v : {c.mcc, c.mnc, c.pci, c.channel})
        Check(!v || *v >= 0, "negative identity or channel", input);
}

// The general cells stay well-formed whatever a cell parser read.
void CheckGeneralCells(const TNetState &st, const std::string &input)
{
    if (st.serving)
        CheckRadioCell(*st.serving, input);
    if (st.secondary)
        CheckRadioCell(*st.secondary, input);
    Check(st.neighbours.size() <= kMaxNeighbourCells, "more than kMaxNeighbourCells neighbours", input);
    for (const TNeighbourCell &n : st.neighbours)
        for (const auto &v : {n.rssi, n.rsrp, n.rsrq, n.rscp, n.ecno})
            Check(Finite(v), "neighbour measure not finite", input);
    for (const TNeighbourCell &n : st.neighbours)
        Check((!n.channel || *n.channel >= 0) && (!n.pci || *n.pci >= 0), "negative neighbour channel or pci",
              input);
    Check(st.carriers.size() <= kMaxCarriers, "more than kMaxCarriers carriers", input);
    for (const TCarrier &c : st.carriers) {
        for (const auto &v : {c.bandwidthMhz, c.rssi, c.rsrp, c.rsrq, c.sinr})
            Check(Finite(v), "carrier measure not finite", input);
        Check((!c.channel || *c.channel >= 0) && (!c.pci || *c.pci >= 0), "negative carrier channel or pci", input);
    }
}

// A cell parser owns only rat, serving, secondary, neighbours and carriers.
void CheckOnlyGeneralCells(const TNetState &st, const TNetState &start, const char *what, const std::string &input)
{
    TNetState rest = st;
    rest.rat = start.rat;
    rest.serving = start.serving;
    rest.secondary = start.secondary;
    rest.neighbours = start.neighbours;
    rest.carriers = start.carriers;
    Check(rest == start, what, input);
    CheckGeneralCells(st, input);
}

bool HasPrefix(const std::string &line, const char *prefix) { return TrimControl(line).rfind(prefix, 0) == 0; }

// The design record plus general cells chosen by flags: a technology, a
// serving cell or none, and a neighbour list up to full, so the cap is met.
TNetState StartCells(std::uint32_t flags)
{
    TNetState st = StartRecord(flags);
    st.rat = static_cast<TRadioTech>((flags >> 8) % 8);
    if (flags & 0x800u)
        st.serving = TRadioCell{TRadioTech::Lte, 262, 1, 77, 88, 9, 6300, "B20", -70.0, {}, {}, {}, {}, {}};
    st.neighbours.assign((flags >> 12) % (kMaxNeighbourCells + 1), TNeighbourCell{TRadioTech::Gsm, 1, 2, -3.0, {}, {}, {}, {}});
    return st;
}

void CheckCellParsers(const std::string &line, std::uint32_t flags)
{
    const TNetState start = StartCells(flags);
    {
        TNetState st = start;
        parseMoniCellIdentity(line, st);
        TNetState rest = st;
        if (rest.serving) {
            const TRadioCell before = start.serving.value_or(TRadioCell{});
            rest.serving->area = before.area;
            rest.serving->cellId = before.cellId;
            if (!start.serving && *rest.serving == TRadioCell{})
                rest.serving.reset();
        }
        Check(rest == start, "^MONI identity changed more than serving area and cell id", line);
        CheckGeneralCells(st, line);
    }
    {
        // Rows from this line, then the general cells from the rows.
        TNetState st = start;
        parseMoniServing(line, st);
        parseSmonpNeighbour(line, static_cast<int>(flags % 7), st);
        const TNetState rows = st;
        FillCellsFromRows(st);
        CheckOnlyGeneralCells(st, rows, "FillCellsFromRows changed a field it does not own", line);
        Check(st.neighbours.size() < static_cast<std::size_t>(kNetStateCellCount), "more neighbours than rows", line);
        if (st.cells[0].valid)
            Check(st.rat == TRadioTech::Gsm && st.serving && st.serving->rat == TRadioTech::Gsm &&
                      st.serving->channel.value_or(st.cells[0].channel) == st.cells[0].channel,
                  "valid row 0 did not become the serving GSM cell", line);
        else
            Check(st.serving == rows.serving && st.rat == rows.rat, "invalid row 0 changed the serving cell", line);
    }
}

bool HasAnyPrefix(const std::string &line, const std::vector<const char *> &prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const char *p) { return HasPrefix(line, p); });
}

// Every family of the registry, each command's parser through the family's
// routing: from the start of an answer and from a point within one, a line
// changes only the general cells and appends at most the neighbours one
// line can list; at the start of an answer, a line without one of the
// command's prefixes changes nothing. The AT+CGMI text never picks a
// fallback family at identification.
void CheckFamilyParsers(const std::string &line, std::uint32_t flags)
{
    const TNetState start = StartCells(flags);
    const TRadioTech techs[] = {TRadioTech::Unknown, TRadioTech::Gsm, TRadioTech::Umts, TRadioTech::Lte};
    AnswerReading within;
    within.smonpSection = techs[flags % 4];
    within.ucged.linesToCome = static_cast<int>(flags % 3);
    within.ucged.rat = techs[(flags >> 2) % 4];
    within.debug.rat = (flags & 0x10u) ? TRadioTech::Nr5gNsa : techs[(flags >> 5) % 4];
    within.debug.secondaryCarrier = flags & 0x80u;
    if (flags & 0x100u)
        within.pending = "+XMCI: 4,262,01,\"0x1A2B\",\"0x0012345\",\"0x01F6\",\"0x0000071C\",\"0x00004D6C\",";
    for (const ModemFamily *family : ModemFamilies()) {
        for (std::size_t i = 0; i < family->commands.size(); ++i) {
            const FamilyCommand &command = family->commands[i];
            for (const bool atStart : {true, false}) {
                AnswerReading reading = atStart ? AnswerReading{} : within;
                TNetState st = start;
                family->ParseLine(i, line, reading, st);
                CheckOnlyGeneralCells(st, start, "a cell parser changed a field it does not own", line);
                Check(st.neighbours.size() <= start.neighbours.size() + command.mostNeighbours,
                      "a line appended too many neighbours", line);
                Check(reading.ucged.linesToCome >= 0 && reading.ucged.linesToCome <= 2,
                      "answer reading out of its lines", line);
                Check(reading.pending.size() < kMostPendingLine, "a broken line's start kept beyond its bound", line);
                if (atStart && !command.linePrefixes.empty() &&
                    !HasAnyPrefix(line, command.linePrefixes))
                    Check(st == start, "a cell parser changed the record for another command's line", line);
            }
        }
    }
    const FamilyChoice choice = FamilyOfManufacturer(line).choice;
    Check(choice == FamilyChoice::Identification || choice == FamilyChoice::Design,
          "manufacturer text gave a family of another choice", line);
    const FamilyChoice afterError = FamilyAfterMoniError(line).choice;
    Check(afterError == FamilyChoice::AfterMoniError || afterError == FamilyChoice::Fallback,
          "AT^MONI error gave a family of another choice", line);
}

} // namespace

// Whatever the parsers made of a line, the range table leaves no known
// value outside its range, and a second pass changes nothing.
void CheckRanges(const std::string &line, std::uint32_t flags)
{
    TNetState st = StartCells(flags);
    for (void (*parse)(const std::string &, TNetState &) : {parseCsqExec, parseCregRead, parseCpasExec, parseMoniServing})
        parse(line, st);
    // Every family's commands, each from the start of its answer.
    for (const ModemFamily *family : ModemFamilies())
        for (std::size_t i = 0; i < family->commands.size(); ++i) {
            AnswerReading reading;
            family->ParseLine(i, line, reading, st);
        }
    ClearOutOfRange(st);
    const auto in = [&](TValueKind kind, auto value, const char *what) {
        Check(InValueRange(kind, static_cast<double>(value)), what, line);
    };
    if (st.signalValid)
        in(TValueKind::Signal, st.signal, "signal out of range");
    if (st.registrationValid)
        in(TValueKind::Registration, st.registration, "registration out of range");
    for (const TCellRow &row : st.cells)
        if (row.valid) {
            in(TValueKind::GsmDbm, row.dbm, "row dBm out of range");
            in(TValueKind::GsmChannel, row.channel, "row channel out of range");
        }
    if (st.serving) {
        if (st.serving->rsrp)
            in(TValueKind::Rsrp, *st.serving->rsrp, "RSRP out of range");
        if (st.serving->channel)
            in(TValueKind::Channel, *st.serving->channel, "channel out of range");
        if (st.serving->cellId)
            in(TValueKind::CellId, *st.serving->cellId, "cell id out of range");
    }
    for (const TNeighbourCell &cell : st.neighbours)
        if (cell.rsrp)
            in(TValueKind::Rsrp, *cell.rsrp, "neighbour RSRP out of range");
    TNetState again = st;
    ClearOutOfRange(again);
    Check(again == st, "the range table changed its own result", line);
}

// A network scan's list: only codes of 5 or 6 digits, states 0 to 3, and
// names taken from the line itself.
void CheckOperatorScan(const std::string &line)
{
    const std::optional<std::vector<ScannedOperator>> found = ParseOperatorScan(line);
    Check(found.has_value() == IsOperatorScanLine(line), "ParseOperatorScan: disagrees with IsOperatorScanLine", line);
    if (!found)
        return;
    for (const ScannedOperator &op : *found) {
        Check(op.code.size() >= 5 && op.code.size() <= 6 &&
                  op.code.find_first_not_of("0123456789") == std::string::npos,
              "ParseOperatorScan: a code that is no MCC and MNC", line);
        Check(op.status >= 0 && op.status <= 3, "ParseOperatorScan: a state out of range", line);
        Check(op.accessTechnology >= -1 && op.accessTechnology <= 999, "ParseOperatorScan: AcT out of range", line);
        Check(line.find(op.longName) != std::string::npos && line.find(op.shortName) != std::string::npos,
              "ParseOperatorScan: a name that is not in the line", line);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), size);
    try {
        CheckCutSpaces(line);
        CheckCutInteger(line);
        CheckCutWord(line);
        CheckCutSeparator(line, ",");
        CheckCutSeparator(line, line.substr(0, size % 4));
        CheckTrimControl(line);
        CheckIntegerOrDefault(line);
        CheckIntegerOrDefault(TrimControl(line));
        WalkColumns(line);

        std::uint32_t flags = 0;
        for (std::size_t i = 0; i < size && i < 4; ++i)
            flags = (flags << 8) | data[i];
        CheckParsers(line, flags);
        CheckParsers(line, ~flags);
        CheckCellParsers(line, flags);
        CheckCellParsers(line, ~flags);
        CheckFamilyParsers(line, flags);
        CheckFamilyParsers(line, ~flags);
        CheckRanges(line, flags);
        CheckOperatorScan(line);
    } catch (const RynException &e) {
        std::fprintf(stderr, "fuzz_parsers: self-check exception: %s\n", e.what());
        std::abort();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "fuzz_parsers: exception: %s\n", e.what());
        std::abort();
    }
    return 0;
}
