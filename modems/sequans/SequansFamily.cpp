// Sequans Monarch: AT+SQNMONI=9 (a one-shot report in set form).

#include "modems/ModemFamily.h"
#include "modems/sequans/SequansParsers.h"

using namespace simtext;

namespace {

std::string Hundredths(double value) { return Format("%.2f", value); }

std::string SqnmoniAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return "+SQNMONI: " + ctx.truth.operatorName + Format(" Cc:%03d Nc:%02d RSRP:", c.mcc, c.mnc) + c.rsrp.printed +
           " CINR:" + c.sinr.printed + " RSRQ:" + c.rsrq.printed +
           Format(" TAC:%d Id:%d EARFCN:%d PWR:", c.tac, c.pci, c.earfcn) + c.rssi.printed +
           Format(" PAGING:128 CID:0x%X BAND:%d BW:%d", c.cellId, c.band, c.bandwidthMhz * 1000);
}

int ExecuteSqnmoni(const SimRequest &q, SimContext &c, std::vector<std::string> &out)
{
    if (q.test) {
        out.emplace_back("+SQNMONI: (0-9)");
        return kSimOk;
    }
    std::vector<Argument> args;
    if (!q.set || !SplitArguments(q.args, args) || args.size() != 1 || args[0].text != "9")
        return kSimError;
    if (std::string answer = SqnmoniAnswer(c); !answer.empty())
        out.push_back(std::move(answer));
    return kSimOk;
}

// Hundredths of a dBm or dB.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrp.printed = Hundredths(cell.rsrp.value);
    cell.rsrq.printed = Hundredths(cell.rsrq.value);
    cell.rssi.printed = Hundredths(cell.rssi.value);
}

std::string SinrText(int, double db) { return Hundredths(db); }

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state)
{
    parseSqnmoniLine(line, state);
}

} // namespace

const ModemFamily &SequansFamily()
{
    static const ModemFamily family{
        .name = "Sequans",
        .choice = FamilyChoice::Identification,
        .makerWords = {"sequans"},
        .commands = {{"AT+SQNMONI=9\r", {"+SQNMONI:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"GM02S", "Sequans Communications", "UE8.0.5.0", TRynSimRadio::Lte,
                    "(Sequans Monarch) AT+SQNMONI=9"}},
        .simCellCommands = {{"+SQNMONI", ExecuteSqnmoni}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
