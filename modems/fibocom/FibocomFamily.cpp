// Fibocom: AT+GTCCINFO? and AT+GTCAINFO?.

#include "modems/ModemFamily.h"
#include "modems/fibocom/FibocomCarriers.h"
#include "modems/fibocom/FibocomParsers.h"

using namespace simtext;

namespace {

std::string GtccinfoAnswer(const SimContext &ctx)
{
    // Serving row: 1, rat 4, MCC, MNC, TAC, cell, EARFCN, PCI, band code
    // (100 + band), bandwidth, RSSNR dB, rxlev, RSRP and RSRQ indices; a
    // blank line; neighbour rows without PLMN and identity.
    std::string out = "+GTCCINFO: ";
    if (ctx.truth.registration == 0)
        return out;
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    out += Format("\r\n1,4,%03d,%02d,%04X,%09X,%d,%d,%d,,", c.mcc, c.mnc, c.tac, c.cellId, c.earfcn, c.pci,
                  100 + c.band) +
           c.sinr.printed + "," + c.rsrp.printed + "," + c.rsrp.printed + "," + c.rsrq.printed + "\r\n";
    for (const TRynSimLteCell &n : ctx.truth.lte.neighbours)
        out += Format("\r\n2,4,,,FFFF,00FFFFFFF,%d,%d,,", n.earfcn, n.pci) + n.rsrp.printed + "," + n.rsrp.printed +
               "," + n.rsrq.printed;
    return out;
}

// 3GPP indices.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrp.printed = RsrpIndex(cell.rsrp.value);
    cell.rsrq.printed = RsrqIndex(cell.rsrq.value);
}

std::string SinrText(int, double db) { return Whole(db); }

// The primary carrier (band code, PCI, EARFCN, downlink and uplink
// resource blocks, MIMO layers and modulations, RSRP dBm), then the
// secondary one (active, no uplink: 255 for its uplink fields).
std::string GtcainfoAnswer(const SimContext &ctx)
{
    std::string out = "+GTCAINFO:";
    if (ctx.truth.registration == 0)
        return out;
    const TRynSimLteServing &p = ctx.truth.lte.serving;
    const TRynSimLteServing &s = ctx.truth.lte.scc;
    return out +
           Format("\r\nPCC:%d,%d,%d,%d,%d,2,1,3,2,", 100 + p.band, p.pci, p.earfcn, p.bandwidthMhz * 5,
                  p.bandwidthMhz * 5) +
           Whole(p.rsrp.value) +
           Format("\r\nSCC 1:2,0,%d,%d,%d,%d,255,2,255,3,255,", 100 + s.band, s.pci, s.earfcn, s.bandwidthMhz * 5) +
           Whole(s.rsrp.value);
}

void ParseLine(std::size_t command, const std::string &line, AnswerReading &, TNetState &state)
{
    if (command == 1)
        parseGtcainfoLine(line, state);
    else
        parseGtccinfoLine(line, state);
}

} // namespace

const ModemFamily &FibocomFamily()
{
    static const ModemFamily family{
        .name = "Fibocom",
        .choice = FamilyChoice::Identification,
        .makerWords = {"fibocom"},
        .commands = {{"AT+GTCCINFO?\r", {}, 1}, {"AT+GTCAINFO?\r", {}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"FM350-GL", "Fibocom Wireless Inc.", "81600.0000.00.29.21.01", TRynSimRadio::Lte,
                    "(Fibocom) AT+GTCCINFO?"}},
        .simCellCommands = {{"+GTCCINFO", SimReadAnswer<GtccinfoAnswer>}, {"+GTCAINFO", SimReadAnswer<GtcainfoAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
