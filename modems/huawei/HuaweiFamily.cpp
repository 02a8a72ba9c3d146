// Huawei: AT^MONSC and AT^MONNC.

#include "modems/ModemFamily.h"
#include "modems/huawei/HuaweiCarriers.h"
#include "modems/huawei/HuaweiParsers.h"

using namespace simtext;

namespace {

std::string MonscAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "^MONSC: NONE";
    // The PCI is hex here, unlike in ^MONNC.
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("^MONSC: LTE,%03d,%02d,%d,%X,%X,%X,", c.mcc, c.mnc, c.earfcn, c.cellId, c.pci, c.tac) +
           c.rsrp.printed + "," + c.rsrq.printed + "," + c.rssi.printed;
}

std::string MonncAnswer(const SimContext &ctx)
{
    const auto &neighbours = ctx.truth.lte.neighbours;
    if (ctx.truth.registration == 0 || neighbours.empty())
        return "^MONNC: NONE";
    std::string out;
    for (const TRynSimLteCell &c : neighbours)
        out += (out.empty() ? "" : "\r\n") + Format("^MONNC: LTE,%d,%d,", c.earfcn, c.pci) + c.rsrp.printed + "," +
               c.rsrq.printed + "," + c.rssi.printed;
    return out;
}

void PrintLteLevels(int, TRynSimLteCell &cell) { cell.rssi.printed = Whole(cell.rssi.value); }

void ParseLine(std::size_t command, const std::string &line, AnswerReading &, TNetState &state)
{
    if (command == 0)
        parseMonscServing(line, state);
    else if (command == 1)
        parseMonncNeighbour(line, state);
    else
        parseLcacell(line, state);
}

} // namespace

const ModemFamily &HuaweiFamily()
{
    static const ModemFamily family{
        .name = "Huawei",
        .choice = FamilyChoice::Identification,
        .makerWords = {"huawei"},
        .commands = {{"AT^MONSC\r", {"^MONSC:"}, 0}, {"AT^MONNC\r", {"^MONNC:"}, 1}, {"AT^LCACELL?\r", {"^LCACELL:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"ME909s-120", "Huawei Technologies Co., Ltd.", "11.617.15.00.00", TRynSimRadio::Lte,
                    "(Huawei LTE) AT^MONSC and AT^MONNC"}},
        .simCellCommands = {{"^MONSC", SimExecAnswer<MonscAnswer>}, {"^MONNC", SimExecAnswer<MonncAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = nullptr,
        .rsrqGrid = 1,
    };
    return family;
}
