// ZTE: AT+ZCELLINFO? (identity, band, channel) and AT+CESQ for the levels,
// which +ZCELLINFO does not print.

#include "modems/ModemFamily.h"
#include "modems/threegpp/ThreeGppParsers.h"
#include "modems/zte/ZteParsers.h"

using namespace simtext;

namespace {

std::string ZcellinfoAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "+ZCELLINFO: 0XFFFE,0XFFFFFFFF,0X00000000,LTE B0,0";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("+ZCELLINFO: %d, %d, LTE B%d, %d", c.cellId, c.pci, c.band, c.earfcn);
}

void ParseLine(std::size_t command, const std::string &line, AnswerReading &, TNetState &state)
{
    if (command == 0)
        parseZcellinfoLine(line, state);
    else
        parseCesqExec(line, state);
}

} // namespace

const ModemFamily &ZteFamily()
{
    static const ModemFamily family{
        .name = "ZTE",
        .choice = FamilyChoice::Identification,
        .makerWords = {"zte"},
        .commands = {{"AT+ZCELLINFO?\r", {"+ZCELLINFO:"}, 0}, {"AT+CESQ\r", {"+CESQ:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"ME3630-E", "ZTE CORPORATION", "ME3630E1CV1.0B09", TRynSimRadio::Lte,
                    "(ZTE) AT+ZCELLINFO?, AT+CESQ"}},
        // Its levels are the AT+CESQ every model answers.
        .simCellCommands = {{"+ZCELLINFO", SimReadAnswer<ZcellinfoAnswer>}},
        .printLteLevels = nullptr,
        .sinrText = nullptr,
    };
    return family;
}
