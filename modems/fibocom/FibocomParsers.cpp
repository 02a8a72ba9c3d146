#include "modems/fibocom/FibocomParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

namespace {

// The band code of a +GTCCINFO serving row: 100 + the LTE band (103 is B3)
// or 5000 + the NR band (5078 is n78), as seen in captures.
std::string FibocomBand(std::string_view code, TRadioTech rat)
{
    const std::optional<std::int32_t> v = IntegerOf(code);
    if (v && rat == TRadioTech::Lte && *v > 100 && *v < 200)
        return "B" + std::to_string(*v - 100);
    if (v && rat == TRadioTech::Nr5gSa && *v > 5000 && *v < 6000)
        return "n" + std::to_string(*v - 5000);
    return {};
}

TRadioTech FibocomTech(std::string_view code)
{
    const Int v = DecimalOf(code);
    if (v == 2)
        return TRadioTech::Umts;
    if (v == 4)
        return TRadioTech::Lte;
    if (v == 9)
        return TRadioTech::Nr5gSa;
    return TRadioTech::Unknown;
}

} // namespace

// ---------------------------------------------------------------- Fibocom +GTCCINFO

void parseGtccinfoLine(const std::string &line, TNetState &state)
{
    // +GTCCINFO:                                         header
    // 1,4,262,2,1A2B,0012345AB,100,42,,,-7,29,29,4       serving: IsServiceCell, rat, MCC, MNC, TAC, cell,
    //                                                    EARFCN, PCI, band, bandwidth, RSSNR, rxlev, RSRP idx, RSRQ idx
    // 2,4,,,FFFF,00FFFFFFF,9460,71,,43,43,10             neighbour: ..., EARFCN, PCI, bandwidth, rxlev, RSRP, RSRQ
    // rat 2 WCDMA, 4 LTE, 9 NR; FFFF and 00FFFFFFF are "unknown".
    const TFields f(TrimmedControl(line));
    const Int kind = DecimalOf(f[0]);
    const TRadioTech rat = FibocomTech(f[1]);
    const bool serving = kind == 1 && f.size() >= 14;
    if (rat == TRadioTech::Unknown || !(serving || (kind == 2 && f.size() >= 12)))
        return;
    const std::size_t m = serving ? 12 : 10; // RSRP, then RSRQ
    const bool lte = rat == TRadioTech::Lte;
    const Number rsrp = lte ? IndexValue(f[m], 97, 1.0, -141.0) : std::nullopt;
    const Number rsrq = lte ? IndexValue(f[m + 1], 34, 0.5, -20.0) : std::nullopt;
    if (!serving) {
        TNeighbourCell n = Neighbour(rat, IntegerOf(f[6]), IntegerOf(f[7]));
        n.rsrp = rsrp;
        n.rsrq = rsrq;
        AppendNeighbour(state, n);
        return;
    }
    TRadioCell cell = CellOfLayout(f, 0, rat, {.mcc = 2, .mnc = 3, .pci = 7, .channel = 6});
    cell.area = HexIdentityOf(f[4]);
    cell.cellId = HexIdentityOf(f[5]);
    cell.band = FibocomBand(f[8], rat);
    cell.rsrp = rsrp;
    cell.rsrq = rsrq;
    if (rat != TRadioTech::Umts)
        cell.sinr = MeasureIn(f[10], -20, 40);
    // NR beside an LTE serving row is the EN-DC leg, whichever comes first.
    if (rat == TRadioTech::Nr5gSa && state.serving && state.serving->rat == TRadioTech::Lte) {
        cell.rat = TRadioTech::Nr5gNsa;
        state.secondary = cell;
        state.rat = TRadioTech::Nr5gNsa;
        return;
    }
    if (lte && state.serving && state.serving->rat == TRadioTech::Nr5gSa) {
        state.secondary = *state.serving;
        state.secondary->rat = TRadioTech::Nr5gNsa;
        state.serving = cell;
        state.rat = TRadioTech::Nr5gNsa;
        return;
    }
    state.serving = cell;
    SetAnchorRat(state, rat);
}
