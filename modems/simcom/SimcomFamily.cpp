// SIMCom: AT+CPSI?.

#include "modems/ModemFamily.h"
#include "modems/simcom/SimcomParsers.h"

using namespace simtext;

namespace {

std::string CpsiAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "+CPSI: NO SERVICE,Online";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    const int bandwidth = BandwidthCode(c.bandwidthMhz);
    return Format("+CPSI: LTE,Online,%03d-%02d,0x%04X,%d,%d,EUTRAN-BAND%d,%d,%d,%d,", c.mcc, c.mnc, c.tac, c.cellId,
                  c.pci, c.band, c.earfcn, bandwidth, bandwidth) +
           c.rsrq.printed + "," + c.rsrp.printed + "," + c.rssi.printed + "," + c.sinr.printed;
}

// Tenths of dBm and dB.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrp.printed = Tenths(cell.rsrp.value);
    cell.rsrq.printed = Tenths(cell.rsrq.value);
    cell.rssi.printed = Tenths(cell.rssi.value);
}

std::string SinrText(int, double db) { return Whole(db); }

void ParseLine(std::size_t, const std::string &line, AnswerReading &, TNetState &state) { parseCpsiRead(line, state); }

} // namespace

const ModemFamily &SimcomFamily()
{
    static const ModemFamily family{
        .name = "SIMCom",
        .choice = FamilyChoice::Identification,
        .makerWords = {"simcom"},
        .commands = {{"AT+CPSI?\r", {"+CPSI:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"SIM7600", "SIMCOM INCORPORATED", "LE20B03SIM7600M22", TRynSimRadio::Lte,
                    "(SIMCom LTE) AT+CPSI?"}},
        .simCellCommands = {{"+CPSI", SimReadAnswer<CpsiAnswer>}, {"+CGPSINFO", SimCgpsinfo}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
        .gnssCommand = "AT+CGPSINFO\r",
        .parseGnss = parseCgpsinfoExec,
    };
    return family;
}
