// The newer Cinterion modules: AT^SMONI and the sectioned AT^SMONP. They
// name the design's maker, so the session takes this family only when
// AT^MONI answers ERROR.

#include "modems/ModemFamily.h"
#include "modems/cinterion/CinterionParsers.h"

#include <cmath>

using namespace simtext;

namespace {

std::string SmoniAnswer(const SimContext &ctx)
{
    if (ctx.truth.registration == 0)
        return "^SMONI: 4G,SEARCH";
    const TRynSimLteServing &c = ctx.truth.lte.serving;
    return Format("^SMONI: 4G,%d,%d,%d,%d,FDD,%03d,%02d,%04X,%07X,%d,%d,", c.earfcn, c.band, c.bandwidthMhz,
                  c.bandwidthMhz, c.mcc, c.mnc, c.tac, c.cellId, c.pci, Srxlev(c.rsrp.value)) +
           c.rsrp.printed + "," + c.rsrq.printed + ",NOCONN";
}

std::string SectionedSmonpAnswer(const SimContext &ctx)
{
    // No 2G or 3G neighbours: those blocks print a row of dashes. 4G rows:
    // EARFCN,RSRQ,RSRP,Srxlev,PCID,Squal (RSRQ above -20 dB).
    std::string out = "2G:\r\n----,--,----,---,--,-,-,--,--,----,----,-,-\r\n3G:\r\n-----,---,-----,----\r\n4G:";
    const auto &neighbours = ctx.truth.lte.neighbours;
    if (ctx.truth.registration == 0 || neighbours.empty())
        return out + "\r\n-----,---,----,--,---,--";
    for (const TRynSimLteCell &c : neighbours)
        out += Format("\r\n%d,", c.earfcn) + c.rsrq.printed + "," + c.rsrp.printed +
               Format(",%d,%d,%d", Srxlev(c.rsrp.value), c.pci, static_cast<int>(std::floor(c.rsrq.value + 20)));
    return out;
}

// RSRQ in half dB.
void PrintLteLevels(int, TRynSimLteCell &cell) { cell.rsrq.printed = Decimal(cell.rsrq.value); }

void ParseLine(std::size_t command, const std::string &line, AnswerReading &reading, TNetState &state)
{
    if (command == 0)
        parseSmoniServing(line, state);
    else
        parseSmonpSection(line, reading.smonpSection, state);
}

} // namespace

const ModemFamily &CinterionFamily()
{
    static const ModemFamily family{
        .name = "Cinterion",
        .choice = FamilyChoice::AfterMoniError,
        .makerWords = {"cinterion", "thales", "gemalto", "siemens"},
        .commands = {{"AT^SMONI\r", {"^SMONI:"}, 0}, {"AT^SMONP\r", {"2G:", "3G:", "4G:"}, 1}},
        .parseLine = ParseLine,
        .smonpModels = {},
        .models = {{"ELS61", "Cinterion", "REVISION 02.000", TRynSimRadio::Lte,
                    "(Cinterion LTE) AT^SMONI and AT^SMONP"}},
        .simCellCommands = {{"^SMONI", SimExecAnswer<SmoniAnswer>}, {"^SMONP", SimExecAnswer<SectionedSmonpAnswer>}},
        .printLteLevels = PrintLteLevels,
        .sinrText = nullptr,
    };
    return family;
}
