#include "modems/sierra/SierraParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

// The "Label: value" pairs of a !GSTATUS line: pieces apart by a TAB or
// by two or more blanks; a piece with a colon starts a pair (its value
// after the colon, or the next piece when nothing follows the colon), a
// piece without one ("Normal Service") belongs to no pair.
std::vector<std::pair<std::string, std::string>> LabelledPairs(std::string_view line)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const bool gap = i == line.size() || line[i] == '\t' ||
                         (line[i] == ' ' && i + 1 < line.size() && line[i + 1] == ' ');
        if (!gap)
            continue;
        if (const std::string_view piece = TrimmedControl(line.substr(start, i - start)); !piece.empty())
            pieces.push_back(piece);
        start = i + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t colon = pieces[i].find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string label = Lower(TrimmedControl(pieces[i].substr(0, colon)));
        std::string_view value = TrimmedControl(pieces[i].substr(colon + 1));
        if (value.empty() && i + 1 < pieces.size() && pieces[i + 1].find(':') == std::string_view::npos)
            value = pieces[++i];
        pairs.emplace_back(std::move(label), std::string(value));
    }
    return pairs;
}

// The first run of digits in a text: 2 of "B2", 78 of "n78".
std::optional<std::int32_t> DigitsIn(std::string_view text)
{
    const std::size_t first = text.find_first_of("0123456789");
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = text.find_first_not_of("0123456789", first);
    return Int32Of(DecimalOf(text.substr(first, end == std::string_view::npos ? end : end - first)));
}

namespace {

// The technology of the !GSTATUS "System mode:" value.
TRadioTech SierraTech(const std::string &mode)
{
    const std::string m = Lower(mode);
    if (StartsWith(m, "lte"))
        return TRadioTech::Lte;
    if (m == "endc" || m == "en-dc")
        return TRadioTech::Nr5gNsa;
    if (StartsWith(m, "nr5g") || StartsWith(m, "nr"))
        return TRadioTech::Nr5gSa;
    if (m == "wcdma" || m == "umts" || StartsWith(m, "hspa"))
        return TRadioTech::Umts;
    if (m == "gsm" || m == "edge" || m == "gprs")
        return TRadioTech::Gsm;
    return TRadioTech::Unknown;
}

// "8C65 (35666)" -> the hex before the decimal in parentheses (the two do
// not always agree; the hex is what the firmware prints first).
Int HexBeforeParenthesis(const std::string &value, FieldKind kind)
{
    return HexOfKind(TrimmedControl(std::string_view(value).substr(0, value.find(' '))), kind);
}

// The serving cell of a !GSTATUS report, made on its first label.
TRadioCell &SierraServing(TNetState &state)
{
    if (!state.serving) {
        state.serving = TRadioCell{};
        state.serving->rat = state.rat == TRadioTech::Unknown ? TRadioTech::Lte : state.rat;
    }
    return *state.serving;
}

// One "NR5G ..." pair of a !GSTATUS report: the serving cell in NR
// standalone mode, else the NR leg beside the LTE cell.
void SierraNrPair(const std::string &label, const std::string &value, TNetState &state)
{
    const bool standalone = state.serving && state.serving->rat == TRadioTech::Nr5gSa;
    TRadioCell leg = standalone ? *state.serving : state.secondary.value_or(TRadioCell{});
    leg.rat = standalone ? TRadioTech::Nr5gSa : TRadioTech::Nr5gNsa;
    if (label.find("band") != std::string::npos)
        leg.band = BandNamed("n", DigitsIn(value));
    else if (label.find("rx chan") != std::string::npos)
        leg.channel = IntegerOf(value);
    else if (label.find("rsrp") != std::string::npos)
        leg.rsrp = NrRsrpDbm(value);
    else if (label.find("rsrq") != std::string::npos)
        leg.rsrq = NrRsrqDb(value);
    else if (label.find("sinr") != std::string::npos)
        leg.sinr = NrSinrDb(value);
    if (standalone) {
        state.serving = leg;
    } else if (HasNrLeg(leg) || !leg.band.empty()) {
        state.secondary = leg;
        state.rat = TRadioTech::Nr5gNsa;
    }
}

} // namespace

// ---------------------------------------------------------------- Sierra Wireless !GSTATUS

void parseGstatusLine(const std::string &line, TNetState &state)
{
    // System mode:   LTE        	PS state:    Attached
    // LTE band:      B2     		LTE bw:      20 MHz
    // LTE Rx chan:   800		LTE Tx chan: 18800
    // PCC RxM RSSI:  -45		RSRP (dBm):  -81           the RSRP beside the main antenna's RSSI
    // PCC RxD RSSI:  -44		RSRP (dBm):  -79           diversity and secondary carriers: skipped
    // Tx Power:      15		TAC:         8C65 (35666)
    // RSRQ (dB):     -14.0		Cell ID:     0A14666A (169106666)
    // SINR (dB):     23.8
    // NR5G band:     n78		NR5G RSRP (dBm): -85       "---" while there is no NR leg
    const auto pairs = LabelledPairs(line);
    const std::string first = pairs.empty() ? std::string() : pairs.front().first;
    for (const auto &[label, value] : pairs) {
        if (label == "system mode") {
            const TRadioTech tech = SierraTech(value);
            if (tech == TRadioTech::Unknown)
                continue;
            // ENDC: the serving cell is the LTE anchor of an NR leg.
            SierraServing(state).rat = tech == TRadioTech::Nr5gNsa ? TRadioTech::Lte : tech;
            if (tech == TRadioTech::Lte)
                SetAnchorRat(state, tech);
            else
                state.rat = tech;
        } else if (StartsWith(label, "nr5g")) {
            SierraNrPair(label, value, state);
        } else if (label == "lte band") {
            SierraServing(state).band = BandNamed("B", DigitsIn(value));
        } else if (label == "lte rx chan") {
            SierraServing(state).channel = IntegerOf(value);
        } else if (label == "pcc rxm rssi") {
            SierraServing(state).rssi = PowerDbm(value);
        } else if (label == "pcc rxm rsrp" || (label == "rsrp (dbm)" && first == "pcc rxm rssi")) {
            SierraServing(state).rsrp = LteRsrpDbm(value);
        } else if (label == "rsrq (db)") {
            SierraServing(state).rsrq = LteRsrqDb(value);
        } else if (label == "sinr (db)") {
            SierraServing(state).sinr = MeasureIn(value, -20, 40);
        } else if (label == "tac") {
            SierraServing(state).area = HexBeforeParenthesis(value, FieldKind::Area);
        } else if (label == "cell id") {
            SierraServing(state).cellId = HexBeforeParenthesis(value, FieldKind::CellId);
        }
    }
    if (state.serving && state.rat == TRadioTech::Unknown)
        state.rat = state.serving->rat;
}
