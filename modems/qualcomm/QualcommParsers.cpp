#include "modems/qualcomm/QualcommParsers.h"

#include "modems/common/CellFields.h"

#include <algorithm>
#include <vector>

using namespace cellfields;

namespace {

// "-84.1dBm" -> "-84.1"; "13.4dB" -> "13.4"; "80.0MHz" -> "80.0".
std::string_view WithoutUnit(std::string_view v)
{
    for (const std::string_view unit : {"dBm", "dB", "MHz"})
        if (v.size() > unit.size() && v.substr(v.size() - unit.size()) == unit)
            return v.substr(0, v.size() - unit.size());
    return v;
}

TRadioTech DebugTech(std::string_view word)
{
    const std::string w = Lower(word);
    if (w == "lte")
        return TRadioTech::Lte;
    if (w == "lte+nr" || w == "endc" || w == "en-dc" || w == "nr5g_nsa" || w == "nr5g-nsa")
        return TRadioTech::Nr5gNsa;
    if (w == "nr5g_sa" || w == "nr5g-sa" || w == "nr5g" || w == "nr")
        return TRadioTech::Nr5gSa;
    return TRadioTech::Unknown;
}

// The "key:value" pairs of a line: split at commas and blanks; a key ends
// at its first colon ("lte_ant_rsrp:rx_diversity:1" is one pair).
std::vector<std::pair<std::string, std::string>> Pairs(std::string_view line)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string token;
    const auto flush = [&] {
        const std::size_t colon = token.find(':');
        if (colon != std::string::npos && colon > 0)
            pairs.emplace_back(Lower(token.substr(0, colon)), token.substr(colon + 1));
        token.clear();
    };
    for (const char c : line) {
        if (c == ',' || c == ' ' || c == '\t')
            flush();
        else
            token += c;
    }
    flush();
    return pairs;
}

TRadioCell &Slot(std::optional<TRadioCell> &slot, TRadioTech rat)
{
    if (!slot) {
        slot = TRadioCell{};
        slot->rat = rat;
    }
    return *slot;
}

// The LTE cell: the serving one unless the answer is NR standalone.
TRadioCell *LteCell(const TDebugReading &reading, TNetState &state)
{
    if (reading.rat == TRadioTech::Nr5gSa)
        return nullptr;
    return &Slot(state.serving, TRadioTech::Lte);
}

// The NR cell: the serving one in standalone, the secondary leg beside LTE.
TRadioCell *NrCell(const TDebugReading &reading, TNetState &state)
{
    if (reading.rat == TRadioTech::Nr5gSa)
        return &Slot(state.serving, TRadioTech::Nr5gSa);
    if (reading.rat == TRadioTech::Nr5gNsa)
        return &Slot(state.secondary, TRadioTech::Nr5gNsa);
    return nullptr;
}

std::optional<std::int32_t> Decimal(std::string_view v) { return Int32Of(DecimalOrHexOfKind(v, FieldKind::Channel)); }

// "n78" or "78" -> "n78"; "3" -> "B3".
std::string Band(const char *prefix, std::string_view v)
{
    if (!v.empty() && (v[0] == 'n' || v[0] == 'N' || v[0] == 'B' || v[0] == 'b'))
        v.remove_prefix(1);
    return BandNamed(prefix, IntegerOf(v));
}

void KeyValueLine(const std::string &line, TDebugReading &reading, TNetState &state)
{
    std::string mcc;
    std::string mnc;
    for (const auto &[key, raw] : Pairs(line)) {
        const std::string_view value = WithoutUnit(raw);
        if (key == "pcell") {
            reading.secondaryCarrier = false;
            continue;
        }
        if (key == "scell") {
            reading.secondaryCarrier = true;
            continue;
        }
        if (StartsWith(key, "nr_")) {
            TRadioCell *nr = NrCell(reading, state);
            if (!nr)
                continue;
            if (key == "nr_band")
                nr->band = Band("n", value);
            else if (key == "nr_channel")
                nr->channel = Decimal(value);
            else if (key == "nr_pci")
                nr->pci = Decimal(value);
            else if (key == "nr_rsrp")
                nr->rsrp = NrRsrpDbm(value);
            else if (key == "nr_rsrq")
                nr->rsrq = NrRsrqDb(value);
            else if (key == "nr_snr" || key == "nr_sinr")
                nr->sinr = NrSinrDb(value);
            else if (key == "nr_cell_id")
                nr->cellId = DecimalOrHexOfKind(value, FieldKind::CellId);
            else if (key == "nr_tac")
                nr->area = DecimalOrHexOfKind(value, FieldKind::Area);
            continue;
        }
        if (key == "mcc") {
            mcc = value;
            continue;
        }
        if (key == "mnc") {
            mnc = value;
            continue;
        }
        if (reading.secondaryCarrier)
            continue;
        TRadioCell *lte = LteCell(reading, state);
        if (!lte)
            continue;
        if (key == "lte_cell_id")
            lte->cellId = DecimalOrHexOfKind(value, FieldKind::CellId);
        else if (key == "lte_tac")
            lte->area = DecimalOrHexOfKind(value, FieldKind::Area);
        else if (key == "lte_band")
            lte->band = Band("B", value);
        else if (key == "channel")
            lte->channel = Decimal(value);
        else if (key == "pci")
            lte->pci = Decimal(value);
        else if (key == "lte_rsrp")
            lte->rsrp = LteRsrpDbm(value);
        else if (key == "rsrq" || key == "lte_rsrq")
            lte->rsrq = LteRsrqDb(value);
        else if (key == "lte_rssi")
            lte->rssi = PowerDbm(value);
        else if (key == "lte_snr" || key == "lte_sinr")
            lte->sinr = MeasureIn(value, -20, 40);
    }
    if (!mcc.empty() || !mnc.empty()) {
        TRadioCell &serving = Slot(state.serving, reading.rat == TRadioTech::Nr5gSa ? TRadioTech::Nr5gSa
                                                                                     : TRadioTech::Lte);
        SetPlmn(serving, PlmnOf(mcc, mnc));
    }
}

// "112819-3(16)" -> cell id 112819 * 256 + 3 and PCI 16.
void EnbAndPci(std::string_view v, TRadioCell &cell)
{
    const std::size_t dash = v.find('-');
    const std::size_t open = v.find('(');
    const std::size_t close = v.find(')');
    if (dash == std::string_view::npos || open == std::string_view::npos || close == std::string_view::npos ||
        !(dash < open && open < close))
        return;
    const Int enb = DecimalOf(v.substr(0, dash));
    const Int sector = DecimalOf(v.substr(dash + 1, open - dash - 1));
    if (enb && sector && *enb >= 0 && *enb < (1 << 20) && *sector >= 0 && *sector < 256)
        cell.cellId = *enb * 256 + *sector;
    cell.pci = IntegerOf(v.substr(open + 1, close - open - 1));
}

// The first word of a labelled value: "-88.3dBm rx_diversity: 15 (...)" -> "-88.3".
std::string_view FirstWord(std::string_view v) { return WithoutUnit(v.substr(0, v.find(' '))); }

// A "LABEL: value" line of the DW5821e form; false when the label is none
// of them.
bool LabelledLine(std::string_view line, TDebugReading &reading, TNetState &state)
{
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos)
        return false;
    const std::string_view label = line.substr(0, colon);
    const std::string_view value = TrimmedControl(line.substr(colon + 2));
    static const std::vector<std::string_view> labels = {"EARFCN(DL/UL)", "BAND", "PLMN", "TAC", "eNB ID(PCI)",
                                                         "RSRP", "RSRQ", "RSSI", "RS-SINR", "RS-SNR"};
    if (std::find(labels.begin(), labels.end(), label) == labels.end())
        return false;
    if (reading.secondaryCarrier)
        return true;
    TRadioCell *lte = LteCell(reading, state);
    if (!lte)
        return true;
    if (label == "EARFCN(DL/UL)")
        lte->channel = IntegerOf(value.substr(0, value.find('/')));
    else if (label == "BAND")
        lte->band = Band("B", value);
    else if (label == "PLMN")
        SetPlmn(*lte, PlmnOfText(value));
    else if (label == "TAC")
        lte->area = DecimalOrHexOfKind(value, FieldKind::Area);
    else if (label == "eNB ID(PCI)")
        EnbAndPci(value, *lte);
    else if (label == "RSRP")
        lte->rsrp = LteRsrpDbm(FirstWord(value));
    else if (label == "RSRQ")
        lte->rsrq = LteRsrqDb(FirstWord(value));
    else if (label == "RSSI")
        lte->rssi = PowerDbm(FirstWord(value));
    else
        lte->sinr = MeasureIn(FirstWord(value), -20, 40);
    return true;
}

} // namespace

// ---------------------------------------------------------------- Qualcomm ^DEBUG

void parseDebugLine(const std::string &line, TDebugReading &reading, TNetState &state)
{
    const std::string_view text = TrimmedControl(line);
    if (StartsWith(text, "RAT:")) {
        reading = TDebugReading{};
        reading.rat = DebugTech(TrimmedControl(text.substr(4)));
        if (reading.rat == TRadioTech::Unknown)
            return;
        Slot(state.serving, reading.rat == TRadioTech::Nr5gSa ? TRadioTech::Nr5gSa : TRadioTech::Lte);
        state.rat = reading.rat;
        return;
    }
    if (reading.rat == TRadioTech::Unknown)
        return; // no RAT line yet: the lines of another answer
    if (StartsWith(text, "PCC info:")) {
        reading.secondaryCarrier = false;
        return;
    }
    if (StartsWith(text, "SCC") || StartsWith(text, "SCell")) {
        reading.secondaryCarrier = true;
        return;
    }
    if (!LabelledLine(text, reading, state))
        KeyValueLine(std::string(text), reading, state);
    // An NR leg with nothing of its own is no leg.
    if (state.secondary && !HasNrLeg(*state.secondary) && state.secondary->band.empty())
        state.secondary.reset();
}
