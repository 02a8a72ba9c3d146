// Quectel: AT+QENG="servingcell", AT+QENG="neighbourcell" and AT+QCAINFO.

#include "modems/ModemFamily.h"
#include "modems/quectel/QuectelCarriers.h"
#include "modems/quectel/QuectelParsers.h"

using namespace simtext;

namespace {

// The index of AT+QCAINFO among the family's commands.
constexpr std::size_t kQcainfo = 2;

std::string QengServingAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "+QENG: \"servingcell\",\"SEARCH\"";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    const int bandwidth = BandwidthCode(c.bandwidthMhz);
    // From the duplex mode to the SINR, the same in both forms.
    const std::string lte = Format("\"LTE\",\"FDD\",%d,%02d,%X,%d,%d,%d,%d,%d,%X,", c.mcc, c.mnc, c.cellId, c.pci,
                                   c.earfcn, c.band, bandwidth, bandwidth, c.tac) +
                            c.rsrp.printed + "," + c.rsrq.printed + "," + c.rssi.printed + "," + c.sinr.printed;
    // The EC2x form: no CQI and tx_power.
    if (!ctx.truth.lte.hasNr)
        return "+QENG: \"servingcell\",\"NOCONN\"," + lte + "," + std::to_string(Srxlev(c.rsrp.value));
    // EN-DC: the state alone, the LTE anchor with CQI and tx_power (idle:
    // invalid), then the NR leg with SINR before RSRQ, 100 MHz at 30 kHz.
    const TRynSimNrCell &nr = ctx.truth.lte.nr;
    return "+QENG: \"servingcell\",\"NOCONN\"\r\n+QENG: " + lte + ",9,-32768,-\r\n" +
           Format("+QENG:\"NR5G-NSA\",%d,%02d,%d,", c.mcc, c.mnc, nr.pci) + nr.rsrp.printed + "," + nr.sinr.printed +
           "," + nr.rsrq.printed + Format(",%d,%d,12,1", nr.arfcn, nr.band);
}

std::string QengNeighbourAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    std::string out;
    for (const TRynSimLteCell &c : ctx.truth.lte.neighbours) {
        const bool intra = c.earfcn == ctx.truth.lte.serving.earfcn;
        if (!out.empty())
            out += "\r\n";
        // RSRQ before RSRP; no SINR measured for neighbours.
        out += Format("+QENG: \"neighbourcell %s\",\"LTE\",%d,%d,", intra ? "intra" : "inter", c.earfcn, c.pci) +
               c.rsrq.printed + "," + c.rsrp.printed + "," + c.rssi.printed + ",-," +
               std::to_string(Srxlev(c.rsrp.value)) + (intra ? ",7,16,6,44" : ",6,30,7");
    }
    return out;
}

int ExecuteQeng(const SimRequest &q, SimContext &c, std::vector<std::string> &out)
{
    if (q.test) {
        out.emplace_back("+QENG: (\"servingcell\",\"neighbourcell\")");
        return kSimOk;
    }
    std::vector<Argument> args;
    if (!q.set || !SplitArguments(q.args, args) || args.size() != 1 || !args[0].quoted)
        return kSimError;
    const std::string what = Upper(args[0].text);
    if (what == "SERVINGCELL")
        out.push_back(QengServingAnswer(c));
    else if (what != "NEIGHBOURCELL")
        return kSimError;
    else if (std::string neighbours = QengNeighbourAnswer(c); !neighbours.empty())
        out.push_back(std::move(neighbours));
    return kSimOk;
}

// The LTE carriers in resource blocks, levels in whole dBm and dB (the
// SINR plain dB on every model), and the NR leg of EN-DC in the short form
// (NR-ARFCN, bandwidth code 12 = 100 MHz, band, PCI). Nothing while not
// registered.
std::string QcainfoAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return {};
    const TRynSimLteTruth &lte = ctx.truth.lte;
    const auto carrier = [](const char *role, const TRynSimLteServing &c, const char *state, const char *tail) {
        const int blocks = c.bandwidthMhz * 5;
        return Format("+QCAINFO: \"%s\",%d,%d,\"LTE BAND %d\",%s,%d,", role, c.earfcn, blocks, c.band, state, c.pci) +
               Whole(c.rsrp.value) + "," + Whole(c.rsrq.value) + "," + Whole(c.rssi.value) + "," + Whole(c.sinr.value) +
               tail;
    };
    // The RG50x/RM5xx form adds the uplink fields to a secondary carrier.
    std::string out = carrier("PCC", lte.serving, "1", "") + "\r\n" +
                      carrier("SCC", lte.scc, "2", lte.hasNr ? ",0,-,-" : "");
    if (lte.hasNr)
        out += Format("\r\n+QCAINFO: \"SCC\",%d,12,\"NR5G BAND %d\",%d", lte.nr.arfcn, lte.nr.band, lte.nr.pci);
    return out;
}

void PrintLteLevels(int, TRynSimLteCell &cell) { cell.rssi.printed = Whole(cell.rssi.value); }

// Whole dB on the EC2x.
std::string SinrText(int, double db) { return Whole(db); }

// Either +QENG answer's lines go to both parsers: each knows its own.
void ParseLine(std::size_t command, const std::string &line, AnswerReading &, TNetState &state)
{
    if (command == kQcainfo)
        parseQcainfo(line, state);
    else if (!parseQengServing(line, state))
        parseQengNeighbour(line, state);
}

} // namespace

const ModemFamily &QuectelFamily()
{
    static const ModemFamily family{
        .name = "Quectel",
        .choice = FamilyChoice::Identification,
        .makerWords = {"quectel"},
        .commands = {{"AT+QENG=\"servingcell\"\r", {"+QENG:"}, 1},
                     {"AT+QENG=\"neighbourcell\"\r", {"+QENG:"}, 1},
                     {"AT+QCAINFO\r", {"+QCAINFO:"}, 0}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"EC25", "Quectel", "EC25EFAR06A05M4G", TRynSimRadio::Lte,
                    "(Quectel LTE) AT+QENG"},
                   {"RM500Q", "Quectel", "RM500QGLABR11A03M4G", TRynSimRadio::NrNonStandalone,
                    "(Quectel 5G, NR5G-NSA) AT+QENG with an NR leg"}},
        .simCellCommands = {{"+QENG", ExecuteQeng}, {"+QCAINFO", SimExecAnswer<QcainfoAnswer>}, {"+QGPSLOC", SimQgpsloc}},
        .printLteLevels = PrintLteLevels,
        .sinrText = SinrText,
        .rsrqGrid = 1,
        .rsrqWanderStep = 1,
        .gnssCommand = "AT+QGPSLOC=2\r",
        .parseGnss = parseQgpslocExec,
    };
    return family;
}
