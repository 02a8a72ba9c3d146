#pragma once
// What the families' carrier-aggregation parser tests share: one case of
// an answer's lines with the carriers it should leave. Test code only: not
// part of palvex_modems.

#include "modems/common/CellCases.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const TCarrier &c, std::ostream *os)
{
    *os << "{" << CarrierRoleName(c.role) << " ";
    PrintTo(c.rat, os);
    *os << " band=\"" << c.band << "\"";
    PrintOptional("channel", c.channel, os);
    PrintOptional("pci", c.pci, os);
    PrintOptional("bandwidthMhz", c.bandwidthMhz, os);
    PrintOptional("rssi", c.rssi, os);
    PrintOptional("rsrp", c.rsrp, os);
    PrintOptional("rsrq", c.rsrq, os);
    PrintOptional("sinr", c.sinr, os);
    *os << "}";
}

namespace carriercases {

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using Role = TCarrierRole;
using Tech = TRadioTech;

// The lines of one answer and the carriers they should leave; every other
// field of the record must stay as it started.
struct CarrierCase {
    const char *name;
    std::vector<std::string> lines;
    std::vector<TCarrier> carriers;
};

inline void PrintTo(const CarrierCase &c, std::ostream *os)
{
    for (const std::string &line : c.lines)
        *os << "\"" << line << "\" ";
}

inline std::string CaseName(const ::testing::TestParamInfo<CarrierCase> &info) { return info.param.name; }

inline void RunCarrierLines(const CarrierCase &c, bool (*parse)(const std::string &, TNetState &))
{
    TNetState s = cellcases::Start(cellcases::CellCase{});
    TNetState expected = s;
    expected.carriers = c.carriers;
    for (const std::string &line : c.lines)
        parse(line, s);
    EXPECT_EQ(s.carriers, expected.carriers);
    EXPECT_TRUE(s == expected) << "a field outside the carriers changed";
}

// The lines through parse from an empty record (for parsers that read
// the serving cell the lines before gave): only the carriers are compared.
inline void RunFromEmpty(const CarrierCase &c, const std::function<void(const std::string &, TNetState &)> &parse)
{
    TNetState s;
    for (const std::string &line : c.lines)
        parse(line, s);
    EXPECT_EQ(s.carriers, c.carriers);
}

} // namespace carriercases
