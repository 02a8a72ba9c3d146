#include "CellParsers.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Failures print whole cells, so a diff shows which field moved.
void PrintTo(TRadioTech t, std::ostream *os) { *os << (RadioTechName(t) ? RadioTechName(t) : "Unknown"); }

template <typename T> void PrintOptional(const char *name, const std::optional<T> &v, std::ostream *os)
{
    if (v)
        *os << " " << name << "=" << *v;
}

void PrintTo(const TRadioCell &c, std::ostream *os)
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

void PrintTo(const TNeighbourCell &c, std::ostream *os)
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

namespace {

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

void PrintTo(const CellCase &c, std::ostream *os)
{
    for (const std::string &line : c.lines)
        *os << "\"" << line << "\" ";
}

std::string CaseName(const ::testing::TestParamInfo<CellCase> &info) { return info.param.name; }

const TNeighbourCell kEarlierNeighbour{Tech::Gsm, 1, 2, -3.0, {}, {}, {}, {}};

// The design fields hold values no cell parser produces, so a parser that
// touches them fails the whole-record comparison.
TNetState Start(const CellCase &c)
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

TNetState Expected(const CellCase &c)
{
    TNetState e = Start(c);
    e.rat = c.rat;
    e.serving = c.serving;
    e.secondary = c.secondary;
    e.neighbours.insert(e.neighbours.end(), c.neighbours.begin(), c.neighbours.end());
    return e;
}

void ExpectRecord(const TNetState &s, const CellCase &c)
{
    const TNetState e = Expected(c);
    EXPECT_EQ(s.rat, e.rat);
    EXPECT_EQ(s.serving, e.serving);
    EXPECT_EQ(s.secondary, e.secondary);
    EXPECT_EQ(s.neighbours, e.neighbours);
    EXPECT_TRUE(s == e) << "a field outside the general cells changed";
}

using Line = std::function<void(const std::string &, TNetState &)>;

void RunLines(const CellCase &c, const Line &parse)
{
    TNetState s = Start(c);
    for (const std::string &line : c.lines)
        parse(line, s);
    ExpectRecord(s, c);
}

// ---------------------------------------------------------------- +CESQ

class CesqExec : public ::testing::TestWithParam<CellCase> {};

TEST_P(CesqExec, FillsServingMeasures) { RunLines(GetParam(), parseCesqExec); }

const TRadioCell kIdentity{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 99, .pci = 7,
                           .channel = 6300, .band = "B20"};

TRadioCell WithLteMeasures(TRadioCell cell, double rsrp, double rsrq)
{
    cell.rsrp = rsrp;
    cell.rsrq = rsrq;
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CesqExec,
    ::testing::Values(
        CellCase{"MmLte", {"+CESQ: 99,99,255,255,20,80"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -61.0, .rsrq = -10.0}},
        CellCase{"MmUmts", {"+CESQ: 99,99,95,40,255,255"}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .rscp = -26.0, .ecno = -4.5}},
        CellCase{"MmGsm", {"+CESQ: 10,6,255,255,255,255"}, Tech::Gsm, TRadioCell{.rat = Tech::Gsm, .rssi = -101.0}},
        CellCase{"NrStandalone", {"+CESQ: 99,99,255,255,255,255,71,74,74"}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .rsrp = -83.0, .rsrq = -8.0, .sinr = 13.5}},
        CellCase{"FibocomEnDc", {"+CESQ: 17,99,255,255,4,29,75,52,57"}, Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -112.0, .rsrq = -18.0},
                 TRadioCell{.rat = Tech::Nr5gNsa, .rsrp = -105.0, .rsrq = -6.0, .sinr = 5.0}},
        CellCase{"TruncatedNoSpace", {"+CESQ:99,99,255,255,20"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrq = -10.0}},
        CellCase{"KeepsIdentityAndRat", {"+CESQ: 99,99,255,255,30,60"}, Tech::Nr5gNsa,
                 WithLteMeasures(kIdentity, -81.0, -5.0), {}, {}, true, Tech::Nr5gNsa, kIdentity},
        CellCase{"NotRegistered", {"+CESQ: 99,99,255,255,255,255"}},
        CellCase{"OutOfRange", {"+CESQ: 64,99,97,50,35,98,128,127,128"}},
        CellCase{"NotCesq", {"+CSQ: 17,99", "+XCESQ: 0,99,99,255,255,19,46,32"}}),
    CaseName);

// ---------------------------------------------------------------- +QENG

void RunQeng(const CellCase &c, bool (*parse)(const std::string &, TNetState &))
{
    RunLines(c, [&](const std::string &line, TNetState &s) {
        EXPECT_EQ(parse(line, s), c.recognised) << line;
    });
}

class QengServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(QengServing, FillsServingAndSecondary) { RunQeng(GetParam(), parseQengServing); }

const TRadioCell kRm5Lte{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0xDE10, .cellId = 0x5F1EA15, .pci = 12,
                         .channel = 1650, .band = "B3", .rssi = -68.0, .rsrp = -100.0, .rsrq = -12.0, .sinr = 2.0};
const TRadioCell kEc2xLte{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0xABCD, .cellId = 0x1A2B3C4, .pci = 123,
                          .channel = 1300, .band = "B3", .rssi = -65.0, .rsrp = -95.0, .rsrq = -10.0, .sinr = 12.0};

TRadioCell WithoutSinr(TRadioCell cell)
{
    cell.sinr.reset();
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, QengServing,
    ::testing::Values(
        CellCase{"Rm5Lte",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",460,01,5F1EA15,12,1650,3,5,5,DE10,-100,-12,-68,"
                  "11,0,-32768,27"},
                 Tech::Lte, kRm5Lte},
        CellCase{"Ec2xLtePlainSinr",
                 {"+QENG: \"servingcell\",\"CONNECT\",\"LTE\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,-10,"
                  "-65,12,30"},
                 Tech::Lte, kEc2xLte},
        CellCase{"TruncatedAfterCqiSinrUnknown",
                 {"+QENG: \"servingcell\",\"CONNECT\",\"LTE\",\"FDD\",262,01,1A2B3C4,123,1300,3,5,5,ABCD,-95,-10,"
                  "-65,12,9,230"},
                 Tech::Lte, WithoutSinr(kEc2xLte)},
        CellCase{"Rm5EnDc",
                 {"+QENG: \"servingcell\",\"NOCONN\"",
                  "+QENG: \"LTE\",\"FDD\",460,01,5F1EA15,12,1650,3,5,5,DE10,-99,-12,-67,11,9,230,-",
                  "+QENG:\"NR5G-NSA\",460,01,747,-71,33,-11,627264,78,12,1"},
                 Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0xDE10, .cellId = 0x5F1EA15, .pci = 12,
                            .channel = 1650, .band = "B3", .rssi = -67.0, .rsrp = -99.0, .rsrq = -12.0, .sinr = 2.0},
                 TRadioCell{.rat = Tech::Nr5gNsa, .mcc = 460, .mnc = 1, .pci = 747, .channel = 627264, .band = "n78",
                            .rsrp = -71.0, .rsrq = -11.0, .sinr = 33.0}},
        CellCase{"EnDcWithoutNrLeg", {"+QENG: \"NR5G-NSA\",460,01,65535,-32768,-32768,-32768"}},
        CellCase{"Rm5Standalone",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"NR5G-SA\",\"TDD\",460,01,19013B004,299,690E0F,633984,78,12,"
                  "-107,-13,2,1,-"},
                 Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x690E0F, .cellId = 0x19013B004,
                            .pci = 299, .channel = 633984, .band = "n78", .rsrp = -107.0, .rsrq = -13.0, .sinr = 2.0}},
        CellCase{"Wcdma",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"WCDMA\",262,01,1A2B,5E3F01,10763,251,1,-85,-6,-,-,-,-,-"},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 251,
                            .channel = 10763, .rscp = -85.0, .ecno = -6.0}},
        CellCase{"Gsm",
                 {"+QENG: \"servingcell\",\"NOCONN\",\"GSM\",262,01,1A2B,3C4D,24,62,0,-67,0,-67,0,30,30,1,-,-,-,-,-,"
                  "-,-,-,-,-"},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -67.0}},
        CellCase{"CatMLimitedWithDashes",
                 {"+QENG: \"servingcell\",\"LIMSRV\",\"eMTC\",\"FDD\",262,01,-,-,6300,20,-,-,-,-98,-,-,-"}, Tech::LteM,
                 TRadioCell{.rat = Tech::LteM, .mcc = 262, .mnc = 1, .channel = 6300, .band = "B20", .rsrp = -98.0}},
        CellCase{"Searching", {"+QENG: \"servingcell\",\"SEARCH\""}},
        CellCase{"NeighbourLine", {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44"},
                 Tech::Unknown, {}, {}, {}, false},
        CellCase{"OtherCommand", {"+QCSQ: \"LTE\",-52,-81,195,-10"}, Tech::Unknown, {}, {}, {}, false}),
    CaseName);

class QengNeighbour : public ::testing::TestWithParam<CellCase> {};

TEST_P(QengNeighbour, AppendsNeighbours) { RunQeng(GetParam(), parseQengNeighbour); }

INSTANTIATE_TEST_SUITE_P(
    Replies, QengNeighbour,
    ::testing::Values(
        CellCase{"Rm5IntraAndInter",
                 {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44",
                  "+QENG: \"neighbourcell inter\",\"LTE\",39148,-,-,-,-,-,37,0,30,7,-,-,-,-",
                  "+QENG: \"neighbourcell inter\",\"LTE\",37900,-,-,-,-,-,0,0,30,6,-,-,-,-"},
                 Tech::Lte, {}, {},
                 {{Tech::Lte, 38950, 276, -65.0, -88.0, -3.0, {}, {}}, {Tech::Lte, 39148, {}, {}, {}, {}, {}, {}},
                  {Tech::Lte, 37900, {}, {}, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"LteModeWcdmaAndGsm",
                 {"+QENG: \"neighbourcell\",\"WCDMA\",10763,3,14,2,251,-90,-8,20",
                  "+QENG: \"neighbourcell\",\"GSM\",62,3,10,2,1,0,24,-80,20"},
                 Tech::Lte, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -8.0}, {Tech::Gsm, 62, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Lte},
        CellCase{"WcdmaModeTenths",
                 {"+QENG: \"neighbourcell\",\"WCDMA\",10763,8,251,-900,-65,1,2,20",
                  "+QENG: \"neighbourcell\",\"LTE\",1300,42,-95,-11,20", "+QENG:\"neighbourcell\",\"GSM\",24,-80,31,5"},
                 Tech::Umts, {}, {},
                 {{Tech::Umts, 10763, 251, {}, {}, {}, -90.0, -6.5}, {Tech::Lte, 1300, 42, {}, -95.0, -11.0, {}, {}},
                  {Tech::Gsm, {}, 24, -80.0, {}, {}, {}, {}}},
                 true, Tech::Umts},
        CellCase{"GsmModeRxlevIndex", {"+QENG: \"neighbourcell\",\"GSM\",262,01,1A2B,3C4D,24,62,40,20,20,0,0"},
                 Tech::Gsm, {}, {}, {{Tech::Gsm, 62, 24, -71.0, {}, {}, {}, {}}}, true, Tech::Gsm},
        CellCase{"ListFull", {"+QENG: \"neighbourcell intra\",\"LTE\",38950,276,-3,-88,-65,0,37,7,16,6,44"},
                 Tech::Lte, {}, {}, {}, true, Tech::Lte, {}, kMaxNeighbourCells},
        CellCase{"ServingLine", {"+QENG: \"servingcell\",\"SEARCH\""}, Tech::Lte, {}, {}, {}, false, Tech::Lte}),
    CaseName);

// ---------------------------------------------------------------- +CPSI

class CpsiRead : public ::testing::TestWithParam<CellCase> {};

TEST_P(CpsiRead, FillsServingAndSecondary) { RunLines(GetParam(), parseCpsiRead); }

const char kSim8200Lte[] = "+CPSI: LTE,Online,460-11,0x5A1E,187214780,257,EUTRAN-BAND3,1850,5,5,-94,-850,-545,15";
const TRadioCell kSim8200Cell{.rat = Tech::Lte, .mcc = 460, .mnc = 11, .area = 0x5A1E, .cellId = 187214780,
                              .pci = 257, .channel = 1850, .band = "B3", .rssi = -54.5, .rsrp = -85.0,
                              .rsrq = -9.4, .sinr = 15.0};

INSTANTIATE_TEST_SUITE_P(
    Replies, CpsiRead,
    ::testing::Values(
        CellCase{"Sim8200Lte", {kSim8200Lte}, Tech::Lte, kSim8200Cell},
        CellCase{"Sim8200EnDc", {kSim8200Lte, "+CPSI: NR5G_NSA,644,NR5G_BAND78,627264,-960,-120,95"}, Tech::Nr5gNsa,
                 kSim8200Cell,
                 TRadioCell{.rat = Tech::Nr5gNsa, .pci = 644, .channel = 627264, .band = "n78", .rsrp = -96.0,
                            .rsrq = -12.0, .sinr = 9.5}},
        CellCase{"Sim8200Standalone",
                 {"+CPSI: NR5G_SA,Online,242-12,0x765D,4955280,0,NR5G_BAND78,640704,-740,-110,240"}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 242, .mnc = 12, .area = 0x765D, .cellId = 4955280, .pci = 0,
                            .channel = 640704, .band = "n78", .rsrp = -74.0, .rsrq = -11.0, .sinr = 24.0}},
        CellCase{"CatMPlainUnits",
                 {"+CPSI: LTE CAT-M1,Online,262-01,0x1A2B,26385153,311,EUTRAN-BAND20,6300,3,3,-10,-95,-70,8"},
                 Tech::LteM,
                 TRadioCell{.rat = Tech::LteM, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 26385153, .pci = 311,
                            .channel = 6300, .band = "B20", .rssi = -70.0, .rsrp = -95.0, .rsrq = -10.0, .sinr = 8.0}},
        CellCase{"IndexLikeMeasuresUnknown",
                 {"+CPSI: LTE,Online,460-00,0x1234,12345,100,EUTRAN-BAND3,1300,5,5,21,67,255,19"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 0, .area = 0x1234, .cellId = 12345, .pci = 100,
                            .channel = 1300, .band = "B3", .sinr = 19.0}},
        CellCase{"Gsm", {"+CPSI: GSM,Online,262-01,0x1A2B,15437,62 EGSM 900,-67,0,40-38"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 15437, .channel = 62,
                            .band = "900", .rssi = -67.0}},
        CellCase{"GsmPcsNoMeasure", {"+CPSI: GSM,Online,310-410,0x1A2B,15437,600 PCS 1900,-"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 310, .mnc = 410, .area = 0x1A2B, .cellId = 15437, .channel = 600,
                            .band = "1900"}},
        CellCase{"Wcdma", {"+CPSI: WCDMA,Online,262-01,0x1A2B,6160129,WCDMA IMT 2000,251,10763,0,-6.5,-85,30,-70"},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 6160129, .pci = 251,
                            .channel = 10763, .band = "B1", .rscp = -85.0, .ecno = -6.5}},
        CellCase{"LimitedTruncatedNoSpace", {"+CPSI:LTE-LIMITED,Online,262-01,0x1A2B"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B}},
        CellCase{"NoService", {"+CPSI: NO SERVICE,Online"}},
        CellCase{"NotCpsi", {"+CPIN: READY"}}),
    CaseName);

// ---------------------------------------------------------------- ^SMONI

class SmoniServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(SmoniServing, FillsServing) { RunLines(GetParam(), parseSmoniServing); }

INSTANTIATE_TEST_SUITE_P(
    Replies, SmoniServing,
    ::testing::Values(
        CellCase{"Ehs6Gsm", {"^SMONI: 2G,990,-75,262,03,0139,02C9,28,28,3,0,G,0,-104,NOCONN"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 3, .area = 0x0139, .cellId = 0x02C9, .pci = 24,
                            .channel = 990, .band = "900", .rssi = -75.0}},
        CellCase{"Ehs6Umts", {"^SMONI: 3G,10737,131,-7.5,-103,260,01,7D3D,C80BC9A,21,11,NOCONN"}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 260, .mnc = 1, .area = 0x7D3D, .cellId = 0xC80BC9A, .pci = 131,
                            .channel = 10737, .rscp = -103.0, .ecno = -7.5}},
        CellCase{"MmLte", {"^SMONI: 4G,6300,20,10,10,FDD,262,02,BF75,0345103,350,33,-94,-7,NOCONN"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0xBF75, .cellId = 0x0345103, .pci = 350,
                            .channel = 6300, .band = "B20", .rsrp = -94.0, .rsrq = -7.0}},
        CellCase{"LteConnectedNoSpace", {"^SMONI:4G,1300,3,20,20,FDD,262,01,1A2B,1A2B3C4,123,-,-95,-12.5,CONN"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x1A2B3C4, .pci = 123,
                            .channel = 1300, .band = "B3", .rsrp = -95.0, .rsrq = -12.5}},
        CellCase{"Searching", {"^SMONI: 4G,SEARCH", "^SMONI: 2G,SEARCH,SEARCH"}},
        CellCase{"NotSmoni", {"^SMONP: 2G,990"}}),
    CaseName);

// ---------------------------------------------------------------- ^SMONP

class SmonpSection : public ::testing::TestWithParam<CellCase> {};

TEST_P(SmonpSection, AppendsNeighboursOfTheSection)
{
    const CellCase &c = GetParam();
    TNetState s = Start(c);
    TRadioTech section = Tech::Unknown;
    for (const std::string &line : c.lines)
        parseSmonpSection(line, section, s);
    ExpectRecord(s, c);
    EXPECT_EQ(section, c.section);
}

TNeighbourCell Gsm(int channel, int bsic, double dbm) { return {Tech::Gsm, channel, bsic, dbm, {}, {}, {}, {}}; }

INSTANTIATE_TEST_SUITE_P(
    Replies, SmonpSection,
    ::testing::Values(
        CellCase{"Ehs6",
                 {"2G:", "658,51,-60,262,07,7,4,46,46,4EED,08B8,0,0", "666,47,-64,262,07,7,1,42,42,4EED,A500,0,0",
                  "1006,37,-74,262,07,7,4,32,32,4EED,----,0,0", "1021,36,-75,262,07,7,1,31,21,4EED,08B2,0,0",
                  "702,33,-78,262,07,7,3,28,28,4EED,A4F0,0,0", "654,32,-79,262,07,7,5,27,27,4EED,1C3A,0,0", "3G:",
                  "-----,---,-----,----", "OK"},
                 Tech::Unknown, {}, {},
                 {Gsm(658, 60, -60), Gsm(666, 57, -64), Gsm(1006, 60, -74), Gsm(1021, 57, -75), Gsm(702, 59, -78),
                  Gsm(654, 61, -79)},
                 true, Tech::Unknown, {}, 0, Tech::Umts},
        CellCase{"UmtsAndLteHeaderWithData",
                 {"3G:", "10737,131,-7.5,-103,21,11", "4G: 6300,-10,-95,30,350"}, Tech::Unknown, {}, {},
                 {{Tech::Umts, 10737, 131, {}, {}, {}, -103.0, -7.5}, {Tech::Lte, 6300, 350, {}, -95.0, -10.0, {}, {}}},
                 true, Tech::Unknown, {}, 0, Tech::Lte},
        CellCase{"BeforeAnyHeader", {"658,51,-60,262,07,7,4,46,46,4EED,08B8,0,0"}}),
    CaseName);

// ---------------------------------------------------------------- the design's family

// A cycle's design-family lines in the order the session runs them, then the
// general cells; the record starts the cycle all invalid.
struct RowsCase {
    const char *name;
    std::function<void(TNetState &)> cycle;
    CellCase expected;
};

void PrintTo(const RowsCase &c, std::ostream *os) { *os << c.name; }

class DesignFamilyCells : public ::testing::TestWithParam<RowsCase> {};

TEST_P(DesignFamilyCells, RowsBecomeGeneralCells)
{
    TNetState s = Start(GetParam().expected);
    GetParam().cycle(s);
    TNetState e = Expected(GetParam().expected);
    e.cells = s.cells; // the rows are the design parsers' business
    EXPECT_EQ(s.rat, e.rat);
    EXPECT_EQ(s.serving, e.serving);
    EXPECT_EQ(s.neighbours, e.neighbours);
    EXPECT_TRUE(s == e);
}

const char kMoni[] = " 1011 29  -79   262  02   0084 4A3E 7   7   33  -105   26 | No connection";
const TRadioCell kMoniCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 2, .area = 0x0084, .cellId = 0x4A3E,
                           .channel = 1011, .band = "900", .rssi = -79.0};
const std::vector<TNeighbourCell> kMonpCells{{Tech::Gsm, 653, {}, -84.0, {}, {}, {}, {}},
                                             {Tech::Gsm, 660, {}, -90.0, {}, {}, {}, {}}};

void Monp(TNetState &s)
{
    parseMonpNeighbour("  653  26  -84  262  07   0    22  22", 0, s);
    parseMonpNeighbour("  660  20  -90  262  07   3    16  16", 1, s);
}

std::string RowsName(const ::testing::TestParamInfo<RowsCase> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Cycles, DesignFamilyCells,
    ::testing::Values(
        RowsCase{"IdentityBeforeRows",
                 [](TNetState &s) {
                     parseMoniCellIdentity(kMoni, s);
                     parseMoniServing(kMoni, s);
                     Monp(s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, kMoniCell, {}, kMonpCells}},
        RowsCase{"IdentityAfterRowsAndFilledTwice",
                 [](TNetState &s) {
                     parseMoniServing(kMoni, s);
                     Monp(s);
                     FillCellsFromRows(s);
                     parseMoniCellIdentity(kMoni, s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, kMoniCell, {}, kMonpCells}},
        RowsCase{"NotRegistered",
                 [](TNetState &s) {
                     const char line[] = "   10 21  -80   ---  --   ---- ---- --  --  --  ----  --- | Limited Service";
                     parseMoniCellIdentity(line, s);
                     parseMoniServing(line, s);
                     Monp(s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Unknown, {}, {}, kMonpCells}},
        RowsCase{"HeaderIsNoIdentity",
                 [](TNetState &s) { parseMoniCellIdentity("chann rs  dBm  MCC  MNC  BCC  C1  C2 x y", s); },
                 {}},
        RowsCase{"Bgs5ChannelOfNoBand",
                 [](TNetState &s) {
                     parseSmonpNeighbour("200,17,-100,262,02,4,5,33,33,0084,4A3E", 0, s);
                     parseSmonpNeighbour("1017,17,-101,262,02,4,5,33,33,0084,4A3F", 1, s);
                     FillCellsFromRows(s);
                 },
                 {"", {}, Tech::Gsm, TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 2, .channel = 200, .rssi = -100.0},
                  {}, {{Tech::Gsm, 1017, {}, -101.0, {}, {}, {}, {}}}}}),
    RowsName);

// ---------------------------------------------------------------- identification

struct MakerCase {
    const char *name;
    std::string maker;
    TModemProfile profile;
    bool cinterion;
};

void PrintTo(const MakerCase &c, std::ostream *os) { *os << "\"" << c.maker << "\""; }

std::string MakerName(const ::testing::TestParamInfo<MakerCase> &info) { return info.param.name; }

class Manufacturer : public ::testing::TestWithParam<MakerCase> {};

TEST_P(Manufacturer, PicksCommandFamily)
{
    EXPECT_EQ(ProfileOfManufacturer(GetParam().maker), GetParam().profile);
    EXPECT_EQ(IsCinterionFamily(GetParam().maker), GetParam().cinterion);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Manufacturer,
    ::testing::Values(MakerCase{"QuectelBare", "Quectel", TModemProfile::Quectel, false},
                      MakerCase{"QuectelUpper", "QUECTEL", TModemProfile::Quectel, false},
                      MakerCase{"SimcomIncorporated", "SIMCOM INCORPORATED", TModemProfile::SimCom, false},
                      MakerCase{"SimcomLabelled", "Manufacturer: SIMCOM INCORPORATED", TModemProfile::SimCom, false},
                      MakerCase{"Cinterion", "Cinterion", TModemProfile::Design, true},
                      MakerCase{"Thales", "THALES DIS AIS Deutschland GmbH", TModemProfile::Design, true},
                      MakerCase{"Gemalto", "Gemalto M2M GmbH", TModemProfile::Design, true},
                      MakerCase{"Siemens", "SIEMENS", TModemProfile::Design, true},
                      MakerCase{"Chipset", "QUALCOMM INCORPORATED", TModemProfile::Design, false},
                      MakerCase{"Empty", "", TModemProfile::Design, false}),
    MakerName);

} // namespace
