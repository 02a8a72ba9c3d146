#pragma once
// Placeholder: replaced by the parsers of the LTE/5G commands.
#include "NetState.h"
#include <cstdint>
#include <string>
void parseCesqExec(const std::string &line, TNetState &state);
bool parseQengServing(const std::string &line, TNetState &state);
bool parseQengNeighbour(const std::string &line, TNetState &state);
void parseCpsiRead(const std::string &line, TNetState &state);
void parseSmoniServing(const std::string &line, TNetState &state);
void parseSmonpSection(const std::string &line, TRadioTech &section, TNetState &state);
void FillCellsFromRows(TNetState &state);
void parseMoniCellIdentity(const std::string &line, TNetState &state);
enum class TModemProfile : std::uint8_t { Design, ThreeGpp, Quectel, SimCom, NewerCinterion };
TModemProfile ProfileOfManufacturer(const std::string &manufacturer);
bool IsCinterionFamily(const std::string &manufacturer);
