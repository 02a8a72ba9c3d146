// Intel XMM: AT+XMCI=1 (a one-shot list in set form; 0 and 1 print the same
// lines) and AT+XCESQ?.

#include "modems/ModemFamily.h"
#include "modems/xmm/XmmParsers.h"

#include <cmath>

using namespace simtext;

namespace {

std::string XmciAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    // Serving: MCC, MNC, TAC, CI, PCI, DL and UL EARFCN in 0x hex, pathloss
    // unknown, RSRP and RSRQ indices, RSSNR (half dB), TA, CQI.
    std::string out = Format("+XMCI: 4,%03d,%02d,\"0x%04X\",\"0x%08X\",\"0x%04X\",\"0x%08X\",\"0x%08X\",\"0xFFFFFFFF\",",
                             c.mcc, c.mnc, c.tac, c.cellId, c.pci, c.earfcn, c.earfcn + 18000) +
                      c.rsrp.printed + "," + c.rsrq.printed + "," + c.sinr.printed + ",\"0x00000002\",\"0x00000000\"";
    // Neighbours: no PLMN or identity (the fillers), no RSSNR.
    for (const TRynSimLteCell &n : ctx.truth.lte.neighbours)
        out += "\r\n\r\n" +
               Format("+XMCI: 5,000,000,\"0xFFFE\",\"0xFFFFFFFF\",\"0x%04X\",\"0x%08X\",\"0xFFFFFFFF\",\"0xFFFFFFFF\",",
                      n.pci, n.earfcn) +
               n.rsrp.printed + "," + n.rsrq.printed + ",255,\"0x7FFFFFFF\",\"0x00000000\"";
    return out;
}

int ExecuteXmci(const SimRequest &q, SimContext &c, std::vector<std::string> &out)
{
    if (q.test) {
        out.emplace_back("+XMCI: (0,1)");
        return kSimOk;
    }
    std::vector<Argument> args;
    if (!q.set || !SplitArguments(q.args, args) || args.size() != 1 || (args[0].text != "0" && args[0].text != "1"))
        return kSimError;
    if (std::string answer = XmciAnswer(c); !answer.empty())
        out.push_back(std::move(answer));
    return kSimOk;
}

std::string XcesqAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "+XCESQ: 0,99,99,255,255,255,255,255";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return "+XCESQ: 0,99,99,255,255," + c.rsrq.printed + "," + c.rsrp.printed + "," + c.sinr.printed;
}

// 3GPP indices.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrp.printed = RsrpIndex(cell.rsrp.value);
    cell.rsrq.printed = RsrqIndex(cell.rsrq.value);
}

// Half dB.
std::string SinrText(int, double db) { return Whole(2 * db); }

void ParseLine(std::size_t command, const std::string &line, AnswerReading &reading, TNetState &state)
{
    if (command == 0)
        parseXmciLine(line, reading.pending, state);
    else
        parseXcesqLine(line, state);
}

} // namespace

const ModemFamily &XmmFamily()
{
    static const ModemFamily family{
        .name = "Intel XMM",
        .choice = FamilyChoice::Identification,
        .makerWords = {"intel"},
        // Neighbour lines come one to an +XMCI line; a broken line's rest
        // carries no prefix of its own but is read only after its start.
        .commands = {{"AT+XMCI=1\r", {"+XMCI:"}, 1}, {"AT+XCESQ?\r", {"+XCESQ:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"XMM7360", "Intel Corporation", "XMM7360_REV_3.0 18600.5001.00.01.20.03", TRynSimRadio::Lte,
                    "(Intel XMM) AT+XMCI=1, AT+XCESQ?"}},
        .simCellCommands = {{"+XMCI", ExecuteXmci}, {"+XCESQ", SimReadAnswer<XcesqAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
