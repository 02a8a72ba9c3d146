// The design's own family: the session's own steps send AT^MONI and AT^MONP
// (AT^SMONP on the models that take it), so the entry has no commands; the
// simulated modem answers them.

#include "modems/ModemFamily.h"

#include <algorithm>
#include <cstring>

using namespace simtext;

namespace {

const char *const kSmonpModel = "BGS5";

bool TakesSmonp(const std::string &model) { return model == kSmonpModel; }

std::string MoniAnswer(const SimContext &c)
{
    std::string out = "chann rs  dBm   MCC  MNC   LAC  cell NCC BCC PWR RXLev  C1";
    if (c.truth.registration == 0)
        return out + "\r\n Searching";
    const TRynSimCell &cell = c.truth.cells[0];
    out += Format("\r\n%5d %3d %4d  %3d  %02d  %04X  %04X %3d %3d %3d %5d %3d", cell.channel, cell.rssi, cell.dbm,
                  cell.mcc, cell.mnc, cell.lac, cell.cellId, cell.ncc, cell.bcc, kSimMaxTxPower, kSimRxLevAccessMin,
                  cell.c1);
    return out;
}

std::string MonpAnswer(const SimContext &c)
{
    std::string out = "chann rs  dBm   MCC  MNC  BCC   C1   C2";
    if (c.truth.registration == 0)
        return out;
    for (int i = 1; i < c.truth.cellCount; ++i) {
        const TRynSimCell &cell = c.truth.cells[static_cast<std::size_t>(i)];
        out += Format("\r\n%5d %3d %4d  %3d  %02d  %3d %4d %4d", cell.channel, cell.rssi, cell.dbm, cell.mcc, cell.mnc,
                      cell.bcc, cell.c1, cell.c2);
    }
    return out;
}

std::string SmonpAnswer(const SimContext &c)
{
    // Serving cell first, then the neighbours: channel,rs,dBm,MCC,MNC,NCC,BCC,C1,C2,LAC,cell.
    std::string out = "2G:";
    if (c.truth.registration == 0)
        return out;
    for (int i = 0; i < c.truth.cellCount; ++i) {
        const TRynSimCell &cell = c.truth.cells[static_cast<std::size_t>(i)];
        out += Format("\r\n%d,%d,%d,%d,%02d,%d,%d,%d,%d,%04X,%04X", cell.channel, cell.rssi, cell.dbm, cell.mcc,
                      cell.mnc, cell.ncc, cell.bcc, cell.c1, cell.c2, cell.lac, cell.cellId);
    }
    return out;
}

// ^MONI and ^MONP on every model but the ones that take ^SMONP, and the
// other way round.
template <std::string (*Answer)(const SimContext &), bool Smonp>
int ModelAnswer(const SimRequest &r, SimContext &c, std::vector<std::string> &info)
{
    if (TakesSmonp(c.model) != Smonp)
        return kSimError;
    return SimExecAnswer<Answer>(r, c, info);
}

} // namespace

const ModemFamily &DesignFamily()
{
    static const ModemFamily family{
        .name = "design",
        .choice = FamilyChoice::Design,
        .makerWords = {},
        .commands = {},
        .parseLine = nullptr,
        .smonpModels = {kSmonpModel},
        .models = {{kSmonpModel, kSimManufacturer, "REVISION 01.000", TRynSimRadio::Gsm,
                    "answers AT^SMONP"},
                   {"", kSimManufacturer, "REVISION 01.000", TRynSimRadio::Gsm,
                    "AT^MONI/AT^MONP"}},
        .simCellCommands = {{"^MONI", ModelAnswer<MoniAnswer, false>},
                        {"^MONP", ModelAnswer<MonpAnswer, false>},
                        {"^SMONP", ModelAnswer<SmonpAnswer, true>}},
        .printLteLevels = nullptr,
        .sinrText = nullptr,
    };
    return family;
}
