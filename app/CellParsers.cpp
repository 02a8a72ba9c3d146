#include "CellParsers.h"
#include <algorithm>
#include <cctype>
namespace {
std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
}
void parseCesqExec(const std::string &line, TNetState &state)
{
    if (line.rfind("+CESQ:", 0) != 0)
        return;
    if (!state.serving)
        state.serving = TRadioCell{};
    state.serving->rat = TRadioTech::Lte;
    state.serving->rsrp = -100;
    if (state.rat == TRadioTech::Unknown)
        state.rat = TRadioTech::Lte;
}
bool parseQengServing(const std::string &line, TNetState &) { return line.rfind("+QENG: \"servingcell\"", 0) == 0; }
bool parseQengNeighbour(const std::string &line, TNetState &) { return line.rfind("+QENG: \"neighbourcell", 0) == 0; }
void parseCpsiRead(const std::string &, TNetState &) {}
void parseSmoniServing(const std::string &, TNetState &) {}
void parseSmonpSection(const std::string &, TRadioTech &, TNetState &) {}
void FillCellsFromRows(TNetState &state)
{
    if (!state.cells[0].valid)
        return;
    auto cell = [](const TCellRow &row) {
        TRadioCell c;
        c.rat = TRadioTech::Gsm;
        c.channel = row.channel;
        c.rssi = row.dbm;
        c.mcc = row.mcc;
        c.mnc = row.mnc;
        const std::string band = BandOfChannel(row.channel);
        c.band = band == "?" ? std::string() : band;
        return c;
    };
    state.serving = cell(state.cells[0]);
    for (int i = 1; i < kNetStateCellCount; ++i)
        if (state.cells[i].valid)
            state.neighbours.push_back({TRadioTech::Gsm, state.cells[i].channel, std::nullopt, state.cells[i].dbm});
    state.rat = TRadioTech::Gsm;
}
void parseMoniCellIdentity(const std::string &, TNetState &) {}
TModemProfile ProfileOfManufacturer(const std::string &manufacturer)
{
    const std::string m = Lower(manufacturer);
    if (m.find("quectel") != std::string::npos)
        return TModemProfile::Quectel;
    if (m.find("simcom") != std::string::npos)
        return TModemProfile::SimCom;
    return TModemProfile::Design;
}
bool IsCinterionFamily(const std::string &manufacturer)
{
    const std::string m = Lower(manufacturer);
    for (const char *name : {"cinterion", "thales", "gemalto", "siemens"})
        if (m.find(name) != std::string::npos)
            return true;
    return false;
}
