// Sierra Wireless: AT!GSTATUS?.

#include "modems/ModemFamily.h"
#include "modems/sierra/SierraCarriers.h"
#include "modems/sierra/SierraParsers.h"

using namespace simtext;

namespace {

std::string GstatusAnswer(const SimContext &ctx)
{
    // The EM7565 layout: label and value pairs, two to a line; the RSRP
    // beside each antenna's RSSI, the main antenna (RxM) first.
    std::string out = "!GSTATUS: \r\n" + Format("Current Time:  %d\t\tTemperature: 38\r\n", ctx.polls) +
                      "Reset Counter: 1\t\tMode:        ONLINE         \r\n";
    if (ctx.truth.registration == 0)
        return out + "System mode:   No service \tPS state:    Not attached\r\nEMM state:     Deregistered";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    const double rssi = c.rssi.value;
    const double rsrp = c.rsrp.value;
    out += "System mode:   LTE        \tPS state:    Attached     \r\n" +
           Format("LTE band:      B%d     \t\tLTE bw:      %d MHz  \r\n", c.band, c.bandwidthMhz) +
           Format("LTE Rx chan:   %d\t\tLTE Tx chan: %d\r\n", c.earfcn, c.earfcn + 18000) +
           "LTE CA state:  NOT ASSIGNED\r\nEMM state:     Registered     \tNormal Service \r\n"
           "RRC state:     RRC Idle       \r\nIMS reg state: No Srv  \t\t\r\n\r\n";
    out += "PCC RxM RSSI:  " + c.rssi.printed + "\t\tRSRP (dBm):  " + c.rsrp.printed + "\r\n" +
           "PCC RxD RSSI:  " + Whole(rssi - 2) + "\t\tRSRP (dBm):  " + Whole(rsrp - 3) + "\r\n" +
           Format("Tx Power:      --\t\tTAC:         %04X (%d)\r\n", c.tac, c.tac) + "RSRQ (dB):     " +
           c.rsrq.printed + Format("\t\tCell ID:     %08X (%d)\r\n", c.cellId, c.cellId) +
           "SINR (dB):     " + c.sinr.printed;
    return out;
}

// RSRQ with one decimal.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrq.printed = Format("%.1f", cell.rsrq.value);
    cell.rssi.printed = Whole(cell.rssi.value);
}

std::string SinrText(int, double db) { return Format("%.1f", db); }

// The cells first: the primary carrier takes the serving cell's band and
// channel.
void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state)
{
    parseGstatusLine(line, state);
    parseGstatusCarriers(line, state);
}

} // namespace

const ModemFamily &SierraFamily()
{
    static const ModemFamily family{
        .name = "Sierra Wireless",
        .choice = FamilyChoice::Identification,
        .makerWords = {"sierra"},
        .commands = {{"AT!GSTATUS?\r", {}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"EM7565", "Sierra Wireless, Incorporated", "SWI9X50C_01.14.03.00", TRynSimRadio::Lte,
                    "(Sierra Wireless LTE) AT!GSTATUS?"}},
        .simCellCommands = {{"!GSTATUS", SimReadAnswer<GstatusAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
