// Fibocom: AT+GTCCINFO?.

#include "modems/ModemFamily.h"
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

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state)
{
    parseGtccinfoLine(line, state);
}

} // namespace

const ModemFamily &FibocomFamily()
{
    static const ModemFamily family{
        .name = "Fibocom",
        .choice = FamilyChoice::Identification,
        .makerWords = {"fibocom"},
        .commands = {{"AT+GTCCINFO?\r", {}, 1}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"FM350-GL", "Fibocom Wireless Inc.", "81600.0000.00.29.21.01", TRynSimRadio::Lte,
                    "(Fibocom) AT+GTCCINFO?"}},
        .simCellCommands = {{"+GTCCINFO", SimReadAnswer<GtccinfoAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
