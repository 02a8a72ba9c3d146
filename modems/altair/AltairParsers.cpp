#include "modems/altair/AltairParsers.h"

#include "modems/common/CellFields.h"

#include <string_view>

using namespace cellfields;

namespace {

// The serving LTE cell the family's answers fill in turn.
TRadioCell &Serving(TNetState &state)
{
    if (!state.serving || state.serving->rat != TRadioTech::Lte) {
        state.serving = TRadioCell{};
        state.serving->rat = TRadioTech::Lte;
    }
    SetAnchorRat(state, TRadioTech::Lte);
    return *state.serving;
}

} // namespace

// ---------------------------------------------------------------- Altair %MEAS="8"

void parseMeasLine(const std::string &line, TNetState &state)
{
    std::optional<std::string_view> body = BodyAfter(line, "%MEAS:");
    if (!body)
        return;
    constexpr std::string_view kQuality = "Signal Quality:";
    std::string_view rest = TrimmedControl(*body);
    if (rest.substr(0, kQuality.size()) != kQuality)
        return;
    rest.remove_prefix(kQuality.size());

    Number rsrp, rsrq, sinr, rssi;
    bool labelled = false;
    const TFields f(rest);
    for (std::size_t i = 0; i < f.size(); ++i) {
        const std::size_t equals = f[i].find('=');
        if (equals == std::string::npos)
            continue;
        const std::string_view label = TrimmedControl(std::string_view(f[i]).substr(0, equals));
        const std::string_view value = TrimmedControl(std::string_view(f[i]).substr(equals + 1));
        if (label == "RSRP")
            rsrp = LteRsrpDbm(value);
        else if (label == "RSRQ")
            rsrq = LteRsrqDb(value);
        else if (label == "SINR")
            sinr = MeasureIn(value, -20, 40);
        else if (label == "RSSI")
            rssi = PowerDbm(value);
        else
            continue;
        labelled = true;
    }
    // Not camped: every level "N/A", no cell to show.
    if (!labelled || !(rsrp || rsrq || sinr || rssi))
        return;
    TRadioCell &cell = Serving(state);
    cell.rsrp = rsrp;
    cell.rsrq = rsrq;
    cell.sinr = sinr;
    cell.rssi = rssi;
}

// ---------------------------------------------------------------- Altair %PCONI

void parsePconiLine(const std::string &line, TNetState &state)
{
    const std::string_view text = TrimmedControl(line);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string label = Lower(TrimmedControl(text.substr(0, colon)));
    const std::string_view value = TrimmedControl(text.substr(colon + 1));
    if (label == "earfcn") {
        if (const auto channel = IntegerOf(value))
            Serving(state).channel = channel;
    } else if (label == "global cell id") {
        if (const Int cellId = CellIdOf(value))
            Serving(state).cellId = cellId;
    } else if (label == "physical cell id") {
        if (const auto pci = IntegerOf(value); pci && *pci <= 503)
            Serving(state).pci = pci;
    }
}
