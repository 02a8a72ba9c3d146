#include "modems/cinterion/CinterionParsers.h"

#include "modems/common/CellFields.h"

#include <array>

using namespace cellfields;

namespace {

// ---------------------------------------------------------------- Cinterion

// ^SMONI 2G: ARFCN, BCCH dBm, MCC, MNC, LAC, cell, C1, C2, NCC, BCC, ...
TRadioCell SmoniGsmCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Gsm,
                                   {.mcc = 3, .mnc = 4, .area = 5, .cellId = 6, .channel = 1, .rssi = 2});
    if (cell.channel)
        cell.band = DesignBand(*cell.channel);
    cell.pci = BsicOf(f[9], f[10]);
    return cell;
}

// ^SMONI 3G: UARFCN, PSC, EC/n0, RSCP, MCC, MNC, LAC, cell, ...
TRadioCell SmoniUmtsCell(const TFields &f)
{
    return CellOfLayout(f, 0, TRadioTech::Umts,
                        {.mcc = 5, .mnc = 6, .area = 7, .cellId = 8, .pci = 2, .channel = 1, .rscp = 4, .ecno = 3});
}

// ^SMONI 4G: EARFCN, band, DL bw, UL bw, mode, MCC, MNC, TAC, global cell
// id, PCI, Srxlev, RSRP, RSRQ, state.
TRadioCell SmoniLteCell(const TFields &f)
{
    return CellOfLayout(f, 0, TRadioTech::Lte,
                        {.mcc = 6, .mnc = 7, .area = 8, .cellId = 9, .pci = 10, .channel = 1, .band = 2,
                         .bandPrefix = "B", .rsrp = 12, .rsrq = 13});
}


} // namespace

// ---------------------------------------------------------------- ^SMONI / ^SMONP

void parseSmoniServing(const std::string &line, TNetState &state)
{
    // ^SMONI: 2G,990,-75,262,03,0139,02C9,28,28,3,0,G,0,-104,NOCONN
    //         ARFCN, BCCH dBm, MCC, MNC, LAC, cell, C1, C2, NCC, BCC (BSIC 24)
    // ^SMONI: 3G,10737,131,-7.5,-103,260,01,7D3D,C80BC9A,21,11,NOCONN
    //         UARFCN, PSC, EC/n0, RSCP, MCC, MNC, LAC, cell
    // ^SMONI: 4G,6300,20,10,10,FDD,262,02,BF75,0345103,350,33,-94,-7,NOCONN
    //         EARFCN, band, DL/UL bw, mode, MCC, MNC, TAC, cell, PCI, Srxlev, RSRP, RSRQ
    // ^SMONI: 4G,SEARCH | ^SMONI: 2G,SEARCH,SEARCH              left as it was
    // Dedicated-mode "-"/"--" columns stay unknown.
    const std::optional<std::string_view> body = BodyAfter(line, "^SMONI:");
    if (!body)
        return;
    const TFields f(*body);
    if (f[1] == "SEARCH")
        return;
    if (f[0] == "2G")
        state.serving = SmoniGsmCell(f);
    else if (f[0] == "3G")
        state.serving = SmoniUmtsCell(f);
    else if (f[0] == "4G")
        state.serving = SmoniLteCell(f);
    else
        return;
    state.rat = state.serving->rat;
}

void parseSmonpSection(const std::string &line, TRadioTech &section, TNetState &state)
{
    // 2G:                                        section headers
    // 658,51,-60,262,07,7,4,46,46,4EED,08B8,0,0  2G: ARFCN, rs, dBm, MCC, MNC, NCC, BCC, ...
    // 10737,131,-7.5,-103,21,11                  3G: UARFCN, PSC, EC/n0, RSCP[, SQual, SRxLev]
    // 6300,-10,-95,30,350                        4G: EARFCN, RSRQ, RSRP, Srxlev, PCID, ...
    // -----,---,-----,----                       empty section: nothing appended
    // 4G: 6300,-10,-95,30,350                    a header with data after it: both
    const std::string_view s = TrimmedControl(line);
    std::string_view data = s;
    static const std::array<std::pair<std::string_view, TRadioTech>, 3> headers{{
        {"2G:", TRadioTech::Gsm}, {"3G:", TRadioTech::Umts}, {"4G:", TRadioTech::Lte},
    }};
    for (const auto &[header, tech] : headers) {
        if (StartsWith(s, header)) {
            section = tech;
            data = TrimmedControl(s.substr(header.size()));
        }
    }
    if (data.empty())
        return;
    const TFields f(data);
    TNeighbourCell cell;
    cell.rat = section;
    cell.channel = IntegerOf(f[0]);
    if (!cell.channel)
        return; // dashes, "OK", an echo...
    switch (section) {
    case TRadioTech::Gsm:
        cell.rssi = MeasureOf(f[2]);
        cell.pci = BsicOf(f[5], f[6]);
        break;
    case TRadioTech::Umts:
        cell.pci = IntegerOf(f[1]);
        cell.ecno = MeasureOf(f[2]);
        cell.rscp = MeasureOf(f[3]);
        break;
    case TRadioTech::Lte:
        cell.rsrq = MeasureOf(f[1]);
        cell.rsrp = MeasureOf(f[2]);
        cell.pci = IntegerOf(f[4]);
        break;
    default:
        return; // before any header
    }
    AppendNeighbour(state, cell);
}
