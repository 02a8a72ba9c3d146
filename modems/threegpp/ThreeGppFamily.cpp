// The 3GPP family: AT+CESQ, which every LTE or 5G module answers. The
// session falls back to it when a family's own command answers ERROR, and
// every simulated model answers it.

#include "modems/ModemFamily.h"
#include "modems/threegpp/ThreeGppParsers.h"

#include <algorithm>

using namespace simtext;

namespace {

std::string CesqAnswer(const SimContext &c)
{
    // Indices by the lower bound of their bin: dBm = rsrp - 141,
    // dB = rsrq / 2 - 20, and for NR dBm = ss_rsrp - 157,
    // dB = ss_rsrq / 2 - 43.5, dB = ss_sinr / 2 - 23.5.
    const bool registered = c.truth.registration != 0;
    const TRynSimLteTruth &lte = c.truth.lte;
    std::string out;
    if (!c.lte && registered)
        out = Format("+CESQ: %d,%d,255,255,255,255", std::clamp(c.truth.cells[0].dbm + 111, 0, 63), c.truth.ber);
    else if (!c.lte || !registered)
        out = "+CESQ: 99,99,255,255,255,255";
    else
        out = Format("+CESQ: 99,99,255,255,%d,%d", Clamped(2 * (lte.serving.rsrq.value + 20), 0, 34),
                     Clamped(lte.serving.rsrp.value + 141, 0, 97));
    if (lte.hasNr && registered)
        out += Format(",%d,%d,%d", Clamped(2 * (lte.nr.rsrq.value + 43.5), 0, 127),
                      Clamped(lte.nr.rsrp.value + 157, 0, 126), Clamped(2 * (lte.nr.sinr.value + 23.5), 0, 127));
    else if (lte.hasNr)
        out += ",255,255,255";
    return out;
}

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state) { parseCesqExec(line, state); }

} // namespace

const ModemFamily &ThreeGppFamily()
{
    static const ModemFamily family{
        .name = "3GPP",
        .choice = FamilyChoice::Fallback,
        .makerWords = {},
        .commands = {{"AT+CESQ\r", {"+CESQ:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        // A module without any cell-monitor command of its own.
        .models = {{"GENERIC", kSimManufacturer, "REVISION 01.000", TRynSimRadio::Gsm,
                    "no cell-monitor command"}},
        .simCellCommands = {{"+CESQ", SimExecAnswer<CesqAnswer>}},
        .printLteLevels = nullptr,
        .sinrText = nullptr,
    };
    return family;
}
