// Nordic nRF91: AT%XMONITOR (a read of the modem's parameters; it changes
// nothing). Neighbours would need AT%NCELLMEAS, which starts a measurement
// whose result comes later as a notification: not sent.

#include "modems/ModemFamily.h"
#include "modems/nordic/NordicParsers.h"

using namespace simtext;

namespace {

std::string XmonitorAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "%XMONITOR: 2";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("%%XMONITOR: 1,\"%s\",\"\",\"%03d%02d\",\"%04X\",7,%d,\"%08X\",%d,%d,", ctx.truth.operatorName.c_str(),
                  c.mcc, c.mnc, c.tac, c.band, c.cellId, c.pci, c.earfcn) +
           c.rsrp.printed + "," + c.sinr.printed + ",\"\",\"11100000\",\"11100000\",\"00001010\"";
}

// The RSRP index; no RSRQ in this answer.
void PrintLteLevels(int, TRynSimLteCell &cell) { cell.rsrp.printed = RsrpIndex(cell.rsrp.value); }

// The SNR index: dB + 25 within 0..49.
std::string SinrText(int, double db) { return std::to_string(Clamped(db + 25, 0, 49)); }

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state)
{
    parseXmonitorLine(line, state);
}

} // namespace

const ModemFamily &NordicFamily()
{
    static const ModemFamily family{
        .name = "Nordic nRF91",
        .choice = FamilyChoice::Identification,
        .makerWords = {"nordic"},
        .commands = {{"AT%XMONITOR\r", {"%XMONITOR:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"nRF9160-SICA", "Nordic Semiconductor ASA", "mfw_nrf9160_1.3.5", TRynSimRadio::Lte,
                    "(Nordic nRF91) AT%XMONITOR"}},
        .simCellCommands = {{"%XMONITOR", SimExecAnswer<XmonitorAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
