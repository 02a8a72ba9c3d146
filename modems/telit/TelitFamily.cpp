// Telit: AT#RFSTS (the LE910Cx layout, SINR as an index).

#include "modems/ModemFamily.h"
#include "modems/telit/TelitParsers.h"

using namespace simtext;

namespace {

std::string RfstsAnswer(const SimContext &ctx)
{
    // LE910Cx: PLMN, EARFCN, RSRP, RSSI, RSRQ, TAC, TXPWR (idle: empty),
    // DRX, MM, RRC, CID, IMSI, name, SD, ABND, SINR (its own index).
    const std::string imsi = SimOperators().front().code + Format("%010u", ctx.seed % 1000000000U);
    if (ctx.truth.registration == 0)
        return "#RFSTS: \"\",,,,,,,,0,0,,\"" + imsi + "\",\"\",0,,";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("#RFSTS: \"%03d %02d\",%d,", c.mcc, c.mnc, c.earfcn) + c.rsrp.printed + "," + c.rssi.printed +
           "," + c.rsrq.printed + Format(",%04X,,128,3,0,%X,\"", c.tac, c.cellId) + imsi + "\",\"" +
           ctx.truth.operatorName + Format("\",3,%d,", c.band) + c.sinr.printed;
}

void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrq.printed = Decimal(cell.rsrq.value);
    cell.rssi.printed = Whole(cell.rssi.value);
}

// The LE910Cx index X = 5 (dB + 20), a scale of its own.
std::string SinrText(int, double db) { return Whole(5 * (db + 20)); }

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state)
{
    parseRfstsServing(line, state);
}

} // namespace

const ModemFamily &TelitFamily()
{
    static const ModemFamily family{
        .name = "Telit",
        .choice = FamilyChoice::Identification,
        .makerWords = {"telit"},
        .commands = {{"AT#RFSTS\r", {"#RFSTS:"}, kMaxNeighbourCells}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"LE910C1-EUX", "Telit", "25.21.660", TRynSimRadio::Lte,
                    "(Telit LTE) AT#RFSTS"}},
        .simCellCommands = {{"#RFSTS", SimExecAnswer<RfstsAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
