#pragma once
// A modem family: what the session, the simulated modem and the fuzz target
// need to know of one maker's (or one standard's) way to report its cells.
// Each family's folder defines its entry; ModemFamilies() lists them.

#include "NetState.h"
#include "modems/common/GnssFix.h"
#include "modems/common/SimRadio.h"
#include "modems/qualcomm/QualcommCarriers.h"
#include "modems/qualcomm/QualcommParsers.h"
#include "modems/ublox/UbloxParsers.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the session stands within the answer of one cell command, for the
// answers whose lines carry no prefix of their own. Reset at each send.
struct AnswerReading {
    TRadioTech smonpSection = TRadioTech::Unknown; // the ^SMONP block a "2G:"/"3G:"/"4G:" header opened
    TUcgedReading ucged;                           // the +UCGED mode 2 header and its lines
    // The start of a line the modem broke in two (Intel XMM breaks long
    // +XMCI lines after a comma); at most kMostPendingLine characters.
    std::string pending;
    TDebugReading debug; // the ^DEBUG answer's technology and carrier
    TCaInfoReading caInfo; // whether the ^CA_INFO answer left its carrier lines
};

inline constexpr std::size_t kMostPendingLine = 512;

// When the session takes a family.
enum class FamilyChoice : std::uint8_t {
    // At identification, when a word of the family is in the AT+CGMI text.
    Identification,
    // When AT^MONI answers ERROR and a word of the family is in the AT+CGMI
    // text: modules that kept the design's maker name but not its commands.
    AfterMoniError,
    // The design's own commands (AT^MONI, AT^MONP, AT^SMONP): no word matched.
    Design,
    // When the first command of the family in use answers ERROR, or AT^MONI
    // does and no family of AfterMoniError matches.
    Fallback,
};

// One cell command a family sends each cycle, and what the fuzz target may
// expect of its parser for one line.
struct FamilyCommand {
    const char *text; // as sent, with its CR: "AT#RFSTS\r"
    // At the start of an answer only a line that starts with one of these
    // may change the record; empty: any line may (labels, bare rows).
    std::vector<const char *> linePrefixes;
    std::size_t mostNeighbours; // most neighbours one line may append
};

// A model the simulated modem can be, of this family.
struct SimModel {
    const char *model;        // AT+CGMM; empty: every model no row names
    const char *manufacturer; // AT+CGMI
    const char *revision;     // AT+CGMR
    TRynSimRadio radio;
    // What palvex-modemsim --help says of it after its name.
    const char *help;
};

struct ModemFamily {
    // The family's name as the terminal and palvex-modemsim --help show it.
    const char *name;
    FamilyChoice choice;
    // Lower-case words of the AT+CGMI text that select the family (found
    // anywhere in the text, case-insensitively).
    std::vector<const char *> makerWords;
    // The cell commands sent in turn each cycle (empty for the design
    // family, whose commands are the session's own steps).
    std::vector<FamilyCommand> commands;
    // Routes one line of the answer of commands[command] to its parser.
    void (*parseLine)(std::size_t command, const std::string &line, AnswerReading &reading, TNetState &state);
    // Models of the family that answer AT^SMONP instead of AT^MONI and
    // AT^MONP (the design family).
    std::vector<const char *> smonpModels;

    // ---- the simulated modem
    std::vector<SimModel> models;
    // The family's cell commands as the simulated modem answers them.
    std::vector<SimCellCommand> simCellCommands;
    // How the family's command prints LTE levels, on top of whole dBm and
    // dB (nullptr: as that); and the serving SINR (nullptr: not printed).
    void (*printLteLevels)(int reportMode, TRynSimLteCell &cell);
    std::string (*sinrText)(int reportMode, double db);
    // The grid its command prints RSRQ on, and the step the simulated
    // RSRQ wanders by.
    double rsrqGrid = 0.5;
    double rsrqWanderStep = 0.5;

    // ---- the modem's own GNSS (--gps modem), asked once per cycle only
    // when the user turned it on; nullptr: the family has none we know.
    const char *gnssCommand = nullptr;
    std::optional<TGnssFix> (*parseGnss)(const std::string &line) = nullptr;

    // One line of commands[command]'s answer into the record.
    void ParseLine(std::size_t command, const std::string &line, AnswerReading &reading, TNetState &state) const
    {
        if (parseLine)
            parseLine(command, line, reading, state);
    }
    // Whether the AT+CGMI text names the family.
    bool Matches(const std::string &manufacturer) const;
    // Whether the family knows that model (or is the catch-all's family).
    bool HasModel(const std::string &model) const;
};

// Every family, in the order their words are tried.
const std::vector<const ModemFamily *> &ModemFamilies();

// The family the session starts with: the first of choice Identification
// whose word is in the text, else the design family.
const ModemFamily &FamilyOfManufacturer(const std::string &manufacturer);
// The family the session takes when AT^MONI answers ERROR.
const ModemFamily &FamilyAfterMoniError(const std::string &manufacturer);
// The family every other one falls back to (AT+CESQ).
const ModemFamily &FallbackFamily();
// The families whose first command the session tries, in registry order,
// when the identification names no family or the chosen family's command
// answers ERROR: every family with commands of its own but the fallback
// and the one already tried (nullptr: none). A family's first command is
// a query that changes nothing in the modem, so it may be sent to a modem
// of any maker.
std::vector<const ModemFamily *> ProbeOrder(const ModemFamily *tried);
