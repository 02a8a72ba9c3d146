// u-blox: AT+UCGED? in the mode AT+UCGED= set (2 at power-on, or 5). The
// session reads the answer as the modem is set: its mode belongs to its user.

#include "modems/ModemFamily.h"
#include "modems/common/RynSimText.h"
#include "modems/ublox/UbloxParsers.h"

using namespace simtext;

namespace {

std::string UcgedAnswer(const SimContext &ctx)
{
    const TRynSimLteTruth &lte = ctx.truth.lte;
    const bool registered = ctx.truth.registration != 0;
    if (ctx.reportMode == 5) {
        // PCI, EARFCN, "value" triplets, the serving cell first.
        std::string rsrp = "+RSRP: ";
        std::string rsrq = "+RSRQ: ";
        std::vector<const TRynSimLteCell *> cells{&lte.serving};
        for (const TRynSimLteCell &c : lte.neighbours)
            cells.push_back(&c);
        for (const TRynSimLteCell *c : registered ? cells : std::vector<const TRynSimLteCell *>{}) {
            const std::string cell = Format("%d,%d,\"", c->pci, c->earfcn);
            rsrp += cell + c->rsrp.printed + "\",";
            rsrq += cell + c->rsrq.printed + "\",";
        }
        return rsrp + "\r\n" + rsrq;
    }
    if (ctx.reportMode != 2)
        return Format("+UCGED: %d", ctx.reportMode);
    if (!registered)
        return "+UCGED: 2\r\n6,0,fff,fff\r\n65535,255,255,255,ffff,fffffff,65535,ffffffff,ffff,ff,255,255,255,255,255,"
               "255,255,0,0,0,255,255";
    // SARA-R5: EARFCN, band, ul/dl bandwidth (resource blocks), TAC, cell
    // id, PCI, mTmsi, mmeGrId, mmeCode, RSRP and RSRQ indices, SINR, ...
    const TRynSimLteServing &c = lte.serving;
    const int blocks = c.bandwidthMhz * 5;
    return Format("+UCGED: 2\r\n6,4,%03d,%02d\r\n", c.mcc, c.mnc) +
           Format("%d,%d,%d,%d,%x,%x,%d,d60814d1,8001,01,", c.earfcn, c.band, blocks, blocks, c.tac, c.cellId, c.pci) +
           c.rsrp.printed + "," + c.rsrq.printed + "," + c.sinr.printed + ",3,1,10," + c.rsrp.printed +
           ",-50,-6,0,255,255,0";
}

// AT+UCGED=<mode> chooses what AT+UCGED? reports: 2 the serving cell in
// detail, 5 RSRP and RSRQ of the serving cell and the neighbours, 0
// nothing.
int ExecuteUcged(const SimRequest &r, SimContext &c, std::vector<std::string> &info)
{
    if (r.test) {
        info.emplace_back("+UCGED: (0,2,5)");
        return kSimOk;
    }
    if (r.read) {
        info.push_back(UcgedAnswer(c));
        return kSimOk;
    }
    int mode = 0;
    if (!r.set || !rynsim::ParseNumber(r.args, mode) || (mode != 0 && mode != 2 && mode != 5))
        return kSimError;
    c.reportMode = mode;
    return kSimOk;
}

// Indices in mode 2, two decimals of dBm and dB in mode 5.
void PrintLteLevels(int mode, TRynSimLteCell &cell)
{
    cell.rsrp.printed = mode == 5 ? Format("%07.2f", cell.rsrp.value) : RsrpIndex(cell.rsrp.value);
    cell.rsrq.printed = mode == 5 ? Format("%06.2f", cell.rsrq.value) : RsrqIndex(cell.rsrq.value);
}

// Decimals in mode 2; none in mode 5.
std::string SinrText(int mode, double db) { return mode == 2 ? Format("%.2f", db) : ""; }

void ParseLine(std::size_t, const std::string &line, AnswerReading &reading, TNetState &state)
{
    parseUcgedLine(line, reading.ucged, state);
}

} // namespace

const ModemFamily &UbloxFamily()
{
    static const ModemFamily family{
        .name = "u-blox",
        .choice = FamilyChoice::Identification,
        .makerWords = {"u-blox"},
        .commands = {{"AT+UCGED?\r", {"+UCGED:", "+RSRP:", "+RSRQ:"}, kMaxNeighbourCells}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"SARA-R510M8S", "u-blox", "03.15", TRynSimRadio::Lte,
                    "(u-blox LTE) AT+UCGED?"}},
        .simCellCommands = {{"+UCGED", ExecuteUcged}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
