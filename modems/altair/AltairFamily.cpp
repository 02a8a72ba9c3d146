// Altair ALT1250: AT%MEAS="8" (a one-shot report of the serving cell's
// levels, in set form) and AT%PCONI (the serving cell's channel and
// identities).

#include "modems/ModemFamily.h"
#include "modems/altair/AltairParsers.h"

using namespace simtext;

namespace {

// Whole dBm and dB; "N/A" for each level while not camped.
std::string MeasAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "%MEAS: Signal Quality: RSRP = N/A, RSRQ = N/A, SINR = N/A, RSSI = N/A";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return "%MEAS: Signal Quality: RSRP = " + c.rsrp.printed + ", RSRQ = " + c.rsrq.printed + ", SINR = " +
           c.sinr.printed + ", RSSI = " + c.rssi.printed;
}

int ExecuteMeas(const SimRequest &q, SimContext &c, std::vector<std::string> &out)
{
    std::vector<Argument> args;
    if (!q.set || !SplitArguments(q.args, args) || args.size() != 1 || args[0].text != "8")
        return kSimError;
    out.push_back(MeasAnswer(c));
    return kSimOk;
}

// The labelled lines, bandwidth as its code (3 = 10 MHz); nothing while
// not camped.
std::string PconiAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("duplexing mode: FDD\r\nTransmission mode: Open loop MIMO\r\nBandwidth: %d\r\nEARFCN: %d\r\n",
                  BandwidthCode(c.bandwidthMhz), c.earfcn) +
           Format("Global Cell ID: %08X\r\nPhysical Cell ID: %d", c.cellId, c.pci);
}

void PrintLteLevels(int, TRynSimLteCell &cell) { cell.rssi.printed = Whole(cell.rssi.value); }

std::string SinrText(int, double db) { return Whole(db); }

void ParseLine(std::size_t command, const std::string &line, AnswerReading &, TNetState &state)
{
    if (command == 0)
        parseMeasLine(line, state);
    else
        parsePconiLine(line, state);
}

} // namespace

const ModemFamily &AltairFamily()
{
    static const ModemFamily family{
        .name = "Altair",
        .choice = FamilyChoice::Identification,
        // The chipset's maker, and the maker of the Type 1SC/1SE modules.
        .makerWords = {"altair", "murata"},
        .commands = {{"AT%MEAS=\"8\"\r", {"%MEAS:"}, 0}, {"AT%PCONI\r", {}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"Type1SC", "Murata Manufacturing Co., Ltd.", "RK_03_02_00_00_41660_001", TRynSimRadio::Lte,
                    "(Altair ALT1250, LTE-M) AT%MEAS=\"8\" and AT%PCONI"}},
        .simCellCommands = {{"%MEAS", ExecuteMeas}, {"%PCONI", SimExecAnswer<PconiAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
        .rsrqGrid = 1,
        .rsrqWanderStep = 1,
    };
    return family;
}
