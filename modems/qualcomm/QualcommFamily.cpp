// Qualcomm reference designs: AT^DEBUG? (a read: it changes nothing) and
// the carriers of AT^CA_INFO?.

#include "modems/ModemFamily.h"
#include "modems/qualcomm/QualcommCarriers.h"
#include "modems/qualcomm/QualcommParsers.h"

using namespace simtext;

namespace {

std::string DebugAnswer(const SimContext &ctx)
{
    const TRynSimLteTruth &t = ctx.truth.lte;
    if (ctx.truth.registration == 0)
        return "RAT:NONE";
    const TRynSimLteServing &c = t.serving;
    std::string out = std::string("RAT:") + (t.hasNr ? "LTE+NR" : "LTE") +
                      Format("\r\nmcc:%03d,mnc:%02d\r\nlte_cell_id:%d\r\nlte_tac:%d\r\nlte_tx_pwr:9.0dBm\r\n", c.mcc,
                             c.mnc, c.cellId, c.tac) +
                      Format("pcell: lte_band:%d lte_band_width:%d.0MHz\r\nchannel:%d pci:%d\r\n", c.band,
                             c.bandwidthMhz, c.earfcn, c.pci) +
                      "lte_rsrp:" + c.rsrp.printed + "dBm,rsrq:" + c.rsrq.printed + "dB\r\nlte_rssi:" +
                      c.rssi.printed + "dBm,lte_snr:" + Format("%.1f", c.sinr.value) + "dB";
    if (t.hasNr)
        out += Format("\r\nnr_band:n%d\r\nnr_band_width:100.0MHz\r\nnr_channel:%d\r\nnr_pci:%d\r\n", t.nr.band,
                      t.nr.arfcn, t.nr.pci) +
               "nr_rsrp:" + Whole(t.nr.rsrp.value) + "dBm rx_diversity:3 (" + Whole(t.nr.rsrp.value) + ".0," +
               Whole(t.nr.rsrp.value) + ".0,NA,NA)\r\nnr_rsrq:" + Whole(t.nr.rsrq.value) + "dB\r\nnr_snr:" +
               Format("%.1f", t.nr.sinr.value) + "dB";
    return out;
}

// The serving cell's carrier and the operator's other one, as band and
// bandwidth; nothing while not registered.
std::string CaInfoAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    const TRynSimLteServing &p = ctx.truth.lte.serving;
    const TRynSimLteServing &s = ctx.truth.lte.scc;
    return Format("PCC info: Band is LTE_B%d, Band_width is %d.0 MHz\r\n", p.band, p.bandwidthMhz) +
           Format("SCC1 info: Band is LTE_B%d, Band_width is %d.0 MHz", s.band, s.bandwidthMhz);
}

// Tenths of a dBm or dB.
void PrintLteLevels(int, TRynSimLteCell &cell)
{
    cell.rsrp.printed = Format("%.1f", cell.rsrp.value);
    cell.rsrq.printed = Format("%.1f", cell.rsrq.value);
    cell.rssi.printed = Format("%.1f", cell.rssi.value);
}

// Tenths of a dB (the EN-DC model's answer prints the SINR's value itself).
std::string SinrText(int, double db) { return Format("%.1f", db); }

void ParseLine(std::size_t command, const std::string &line, AnswerReading &reading, TNetState &state)
{
    if (command == 0)
        parseDebugLine(line, reading.debug, state);
    else
        parseCaInfoLine(line, reading.caInfo, state);
}

} // namespace

const ModemFamily &QualcommFamily()
{
    static const ModemFamily family{
        .name = "Qualcomm",
        .choice = FamilyChoice::Identification,
        // The chipset's name, which many reference designs answer, and the
        // maker of the modules that print ^DEBUG.
        .makerWords = {"qualcomm", "foxconn"},
        .commands = {{"AT^DEBUG?\r", {"RAT:"}, 0}, {"AT^CA_INFO?\r", {"PCC info:", "SCC"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"T99W175", "Foxconn", "T99W175.F0.1.0.0.9.GC.004", TRynSimRadio::NrNonStandalone,
                    "(Qualcomm reference, NR5G-NSA) AT^DEBUG? with an NR leg"}},
        .simCellCommands = {{"^DEBUG", SimReadAnswer<DebugAnswer>}, {"^CA_INFO", SimReadAnswer<CaInfoAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
    };
    return family;
}
