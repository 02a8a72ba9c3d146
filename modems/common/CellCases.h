#pragma once
// What the families' table-driven parser tests share: printing the general
// cells, one case of an answer's lines with the record it should leave, and
// the sample replies of a family's replies/ folder (the fuzz target's seeds
// too). Test code only: not part of palvex_modems.

#include "modems/NetState.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>


// Failures print whole cells, so a diff shows which field moved.
inline void PrintTo(TRadioTech t, std::ostream *os) { *os << (RadioTechName(t) ? RadioTechName(t) : "Unknown"); }

template <typename T> inline void PrintOptional(const char *name, const std::optional<T> &v, std::ostream *os)
{
    if (v)
        *os << " " << name << "=" << *v;
}

inline void PrintTo(const TRadioCell &c, std::ostream *os)
{
    *os << "{";
    PrintTo(c.rat, os);
    PrintOptional("mcc", c.mcc, os);
    PrintOptional("mnc", c.mnc, os);
    PrintOptional("area", c.area, os);
    PrintOptional("cellId", c.cellId, os);
    PrintOptional("pci", c.pci, os);
    PrintOptional("channel", c.channel, os);
    *os << " band=\"" << c.band << "\"";
    PrintOptional("rssi", c.rssi, os);
    PrintOptional("rsrp", c.rsrp, os);
    PrintOptional("rsrq", c.rsrq, os);
    PrintOptional("sinr", c.sinr, os);
    PrintOptional("rscp", c.rscp, os);
    PrintOptional("ecno", c.ecno, os);
    *os << "}";
}

inline void PrintTo(const TNeighbourCell &c, std::ostream *os)
{
    *os << "{";
    PrintTo(c.rat, os);
    PrintOptional("channel", c.channel, os);
    PrintOptional("pci", c.pci, os);
    PrintOptional("rssi", c.rssi, os);
    PrintOptional("rsrp", c.rsrp, os);
    PrintOptional("rsrq", c.rsrq, os);
    PrintOptional("rscp", c.rscp, os);
    PrintOptional("ecno", c.ecno, os);
    *os << "}";
}

namespace cellcases {

// Expected cells are written with designated initializers; the fields left
// out are the unknown ones on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using Tech = TRadioTech;

// What a parser should leave in the general-cell fields of the record after
// the lines of one answer. Every other field must stay as it started.
struct CellCase {
    const char *name;
    std::vector<std::string> lines;
    Tech rat = Tech::Unknown;
    std::optional<TRadioCell> serving;
    std::optional<TRadioCell> secondary;
    std::vector<TNeighbourCell> neighbours; // appended to the start's
    bool recognised = true;                 // what the +QENG parsers return
    Tech startRat = Tech::Unknown;
    std::optional<TRadioCell> startServing;
    std::size_t startNeighbours = 0;
    Tech section = Tech::Unknown; // ^SMONP section after the last line
};

inline void PrintTo(const CellCase &c, std::ostream *os)
{
    for (const std::string &line : c.lines)
        *os << "\"" << line << "\" ";
}

inline std::string CaseName(const ::testing::TestParamInfo<CellCase> &info) { return info.param.name; }

inline const TNeighbourCell kEarlierNeighbour{Tech::Gsm, 1, 2, -3.0, {}, {}, {}, {}};

// The design fields hold values no cell parser produces, so a parser that
// touches them fails the whole-record comparison.
inline TNetState Start(const CellCase &c)
{
    TNetState s;
    s.signal = 77;
    s.signalValid = true;
    s.operatorName = "Old Name";
    s.operatorCode = "00000";
    s.copsRat = Tech::Umts;
    for (int i = 0; i < kNetStateCellCount; ++i)
        s.cells[i] = TCellRow{false, 1000 + i, 10 + i, -110 + i, 20 + i, 900 + i, 90 + i};
    s.rat = c.startRat;
    s.serving = c.startServing;
    s.neighbours.assign(c.startNeighbours, kEarlierNeighbour);
    return s;
}

inline TNetState Expected(const CellCase &c)
{
    TNetState e = Start(c);
    e.rat = c.rat;
    e.serving = c.serving;
    e.secondary = c.secondary;
    e.neighbours.insert(e.neighbours.end(), c.neighbours.begin(), c.neighbours.end());
    return e;
}

inline void ExpectRecord(const TNetState &s, const CellCase &c)
{
    const TNetState e = Expected(c);
    EXPECT_EQ(s.rat, e.rat);
    EXPECT_EQ(s.serving, e.serving);
    EXPECT_EQ(s.secondary, e.secondary);
    EXPECT_EQ(s.neighbours, e.neighbours);
    EXPECT_TRUE(s == e) << "a field outside the general cells changed";
}

using Line = std::function<void(const std::string &, TNetState &)>;

inline void RunLines(const CellCase &c, const Line &parse)
{
    TNetState s = Start(c);
    for (const std::string &line : c.lines)
        parse(line, s);
    ExpectRecord(s, c);
}

// A GSM neighbour as the cell parsers list one.
inline TNeighbourCell Gsm(int channel, int bsic, double dbm)
{
    return {Tech::Gsm, channel, bsic, dbm, {}, {}, {}, {}};
}

// The sample reply name of family's replies/ folder: one answer line as
// the modem sends it.
inline std::string Reply(const std::string &family, const std::string &name)
{
    const std::string path = std::string(PALVEX_MODEMS_DIR) + "/" + family + "/replies/" + name;
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(text.empty()) << "no sample reply " << path;
    return text;
}

// A sample reply of several lines, line by line.
inline std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace cellcases
