#include "modems/ModemFamily.h"
#include "modems/cinterion/CinterionParsers.h"
#include "modems/design/DesignParsers.h"
#include "modems/fibocom/FibocomParsers.h"
#include "modems/huawei/HuaweiParsers.h"
#include "modems/quectel/QuectelParsers.h"
#include "modems/sierra/SierraParsers.h"
#include "modems/simcom/SimcomParsers.h"
#include "modems/telit/TelitParsers.h"
#include "modems/threegpp/ThreeGppParsers.h"
#include "modems/ublox/UbloxParsers.h"

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

// ---------------------------------------------------------------- Huawei ^MONSC / ^MONNC

class MonscServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(MonscServing, FillsServing) { RunLines(GetParam(), parseMonscServing); }

INSTANTIATE_TEST_SUITE_P(
    Replies, MonscServing,
    ::testing::Values(
        CellCase{"HwFwLte", {"^MONSC: LTE,460,01,1650,A5C933,1F3,183D,-98,-5,-72"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0x183D, .cellId = 0xA5C933, .pci = 499,
                            .channel = 1650, .rssi = -72.0, .rsrp = -98.0, .rsrq = -5.0}},
        CellCase{"HwFwNr", {"^MONSC: NR,460,01,1650,1,AB12345678,1F3,1234AB,-80,-10,32"}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x1234AB, .cellId = 0xAB12345678,
                            .pci = 499, .channel = 1650, .rsrp = -80.0, .rsrq = -10.0, .sinr = 32.0}},
        CellCase{"NrInvalidMarkers", {"^MONSC:NR,460,01,627264,1,AB12345678,1F3,1234AB,-1256,-348,-188"},
                 Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 460, .mnc = 1, .area = 0x1234AB, .cellId = 0xAB12345678,
                            .pci = 499, .channel = 627264}},
        CellCase{"Wcdma", {"^MONSC: WCDMA,460,01,10700,301,5E3F01,1A2B,-85,-70,-6,6,0"}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 460, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 301,
                            .channel = 10700, .rssi = -70.0, .rscp = -85.0, .ecno = -6.0}},
        CellCase{"GsmIdleEmptyFields", {"^MONSC: GSM,460,01,1,62,24,3C4D,1A2B,-67,,"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 460, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -67.0}},
        CellCase{"LteOutOfRange", {"^MONSC: LTE,460,01,1650,A5C933,1F3,183D,-160,5,20"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 460, .mnc = 1, .area = 0x183D, .cellId = 0xA5C933, .pci = 499,
                            .channel = 1650}},
        CellCase{"NoService", {"^MONSC: NONE"}},
        CellCase{"NeighbourLine", {"^MONNC: LTE,1650,301,-101,-12,-75"}}),
    CaseName);

class MonncNeighbour : public ::testing::TestWithParam<CellCase> {};

TEST_P(MonncNeighbour, AppendsNeighbours) { RunLines(GetParam(), parseMonncNeighbour); }

INSTANTIATE_TEST_SUITE_P(
    Replies, MonncNeighbour,
    ::testing::Values(
        CellCase{"HwFwGsmAndWcdma",
                 {"^MONNC: GSM,3,128,9,0,0,-66", "^MONNC: GSM,1,130,9,0,0,-69", "^MONNC: WCDMA,10750,301,-78,-2",
                  "^MONNC: WCDMA,10562,351,-79,-3"},
                 Tech::Lte, {}, {},
                 {Gsm(128, 9, -66), Gsm(130, 9, -69), {Tech::Umts, 10750, 301, {}, {}, {}, -78.0, -2.0},
                  {Tech::Umts, 10562, 351, {}, {}, {}, -79.0, -3.0}},
                 true, Tech::Lte, {}, 1},
        CellCase{"LteDecimalPciNrHexPci",
                 {"^MONNC: LTE,1650,301,-101,-12,-75", "^MONNC: NR,627264,2EB,-90,-11,15"}, Tech::Nr5gSa, {}, {},
                 {{Tech::Lte, 1650, 301, -75.0, -101.0, -12.0, {}, {}},
                  {Tech::Nr5gSa, 627264, 747, {}, -90.0, -11.0, {}, {}}},
                 true, Tech::Nr5gSa},
        CellCase{"ListFull", {"^MONNC: LTE,1650,301,-101,-12,-75"}, Tech::Lte, {}, {}, {}, true, Tech::Lte, {},
                 kMaxNeighbourCells},
        CellCase{"NoneAndServingLine", {"^MONNC: NONE", "^MONSC: LTE,460,01,1650,A5C933,1F3,183D,-98,-5,-72"}}),
    CaseName);

// ---------------------------------------------------------------- u-blox +UCGED

class UcgedLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(UcgedLine, FillsServingAndNeighboursInEitherMode)
{
    const CellCase &c = GetParam();
    TNetState s = Start(c);
    TUcgedReading reading;
    for (const std::string &line : c.lines)
        parseUcgedLine(line, reading, s);
    ExpectRecord(s, c);
}

const char kUcgedR5Cell[] = "2525,5,50,50,e8fe,1a2d001,1,d60814d1,8001,01,28,31,13.75,3,1,10,28,-50,-6,0,255,255,0";

INSTANTIATE_TEST_SUITE_P(
    Replies, UcgedLine,
    ::testing::Values(
        CellCase{"SaraR5Mode2Indices", {"+UCGED: 2", "6,4,001,01", kUcgedR5Cell, "OK"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 1, .mnc = 1, .area = 0xe8fe, .cellId = 0x1a2d001, .pci = 1,
                            .channel = 2525, .band = "B5", .rsrp = -113.0, .rsrq = -4.5, .sinr = 13.75}},
        CellCase{"LaraR6LteIndexLike",
                 {"+UCGED: 2", "4,0,262,01",
                  "6300,20,100,100,1a2b,1a2b301,350,d60814d1,8001,01,67,19,255,3,1,10,28,-50,-6,0,255,255"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x1a2b301, .pci = 350,
                            .channel = 6300, .band = "B20", .rsrp = -74.0, .rsrq = -10.5}},
        CellCase{"SaraR422DirectDbm", {"+UCGED: 2", "6,262,01", "6300,20,10,10,1a2b,350,-95,-11,13,0,0,0,0,0"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1a2b, .pci = 350, .channel = 6300,
                            .band = "B20", .rsrp = -95.0, .rsrq = -11.0}},
        CellCase{"LaraR6Gsm", {"+UCGED: 2", "2,262,01", "62,0,3c4d,24,1a2b,01,40,0,32,32,1,0"}, Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1a2b, .cellId = 0x3c4d, .pci = 24,
                            .channel = 62, .band = "900", .rssi = -71.0}},
        CellCase{"UnknownFillers",
                 {"+UCGED: 2", "6,0,fff,fff",
                  "65535,255,255,255,ffff,fffffff,65535,ffffffff,ffff,ff,255,255,255,255,255,255,255,0,0,0,255,255"},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte}},
        CellCase{"ParticleMode5", {"+RSRP: 476,5110,\"-096.50\",", "+RSRQ: 476,5110,\"-20.00\","}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -20.0}},
        CellCase{"Mode5Neighbours",
                 {"+RSRP: 476,5110,\"-096.50\",310,5110,\"-101.25\",",
                  "+RSRQ: 476,5110,\"-12.00\",310,5110,\"-15.50\",12,6300,\"-18.00\","},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .pci = 476, .channel = 5110, .rsrp = -96.5, .rsrq = -12.0},
                 {},
                 {{Tech::Lte, 5110, 310, {}, -101.25, -15.5, {}, {}}, {Tech::Lte, 6300, 12, {}, {}, -18.0, {}, {}}},
                 true, Tech::Unknown, {}, 1},
        CellCase{"OtherModeIsNotRead", {"+UCGED: 0", "6,4,001,01", kUcgedR5Cell}},
        CellCase{"UnknownTechnology", {"+UCGED: 2", "9,4,001,01", kUcgedR5Cell}}),
    CaseName);

// ---------------------------------------------------------------- Telit #RFSTS

class RfstsServing : public ::testing::TestWithParam<CellCase> {};

TEST_P(RfstsServing, FillsServingOfEachLayout) { RunLines(GetParam(), parseRfstsServing); }

const TRadioCell kTelitCx{.rat = Tech::Lte, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x1A2B301,
                          .channel = 6300, .band = "B20", .rssi = -65.0, .rsrp = -95.0, .rsrq = -10.5};

TRadioCell WithSinr(TRadioCell cell, double sinr)
{
    cell.sinr = sinr;
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RfstsServing,
    ::testing::Values(
        CellCase{"Le910V2Turkcell",
                 {"#RFSTS:\"286 01\",6400,-100,-66,-18,2242,FF,0,128,10,1,859315,\"286016339811626\",\"TR TURKCELL\","
                  "3,20,720,3240,-5"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 286, .mnc = 1, .area = 0x2242, .cellId = 0x859315,
                            .channel = 6400, .band = "B20", .rssi = -66.0, .rsrp = -100.0, .rsrq = -18.0,
                            .sinr = -5.0}},
        CellCase{"Le910CxIndexSinrUnknown",
                 {"#RFSTS: \"262 01\",6300,-95,-65,-10.5,1A2B,,128,3,1,1A2B301,\"262011234567890\",\"Telekom.de\","
                  "3,20,110"},
                 Tech::Lte, kTelitCx},
        CellCase{"Le910CxNegativeSinrIsDb",
                 {"#RFSTS: \"262 01\",6300,-95,-65,-10.5,1A2B,,128,3,1,1A2B301,\"262011234567890\",\"Telekom.de\","
                  "3,20,-3"},
                 Tech::Lte, WithSinr(kTelitCx, -3.0)},
        CellCase{"Lm960NoSinr",
                 {"#RFSTS: \"310 410\",5110,-90,-60,-9,8C65,FF,,64,3,0,A14666A,\"310410123456789\",\"AT&T\",3,12"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 310, .mnc = 410, .area = 0x8C65, .cellId = 0xA14666A,
                            .channel = 5110, .band = "B12", .rssi = -60.0, .rsrp = -90.0, .rsrq = -9.0}},
        CellCase{"WcdmaActiveSet",
                 {"#RFSTS: \"262 01\",10737,131,-7,-95,-80,1A2B,01,-56,64,19,2,1,0,5E3F01,\"262011234567890\","
                  "\"Telekom.de\",3,2,10737,200,-12,10762,301,-15"},
                 Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 131,
                            .channel = 10737, .rssi = -80.0, .rscp = -95.0, .ecno = -7.0},
                 {},
                 {{Tech::Umts, 10737, 200, {}, {}, {}, {}, -12.0}, {Tech::Umts, 10762, 301, {}, {}, {}, {}, -15.0}}},
        CellCase{"Gsm",
                 {"#RFSTS: \"262 01\",62,-70,1A2B,01,0,19,0,1,3C4D,\"262011234567890\",\"Telekom.de\",3,2"},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .channel = 62,
                            .band = "900", .rssi = -70.0}},
        CellCase{"NoImsiNoLayout", {"#RFSTS: \"262 01\",6300,-95,-65,-10,1A2B"}},
        CellCase{"OtherCommand", {"#SERVINFO: 6400,-43,\"T-Mobile A\",\"23203\",00000AF,36EE,32,3,-60"}}),
    CaseName);

// ---------------------------------------------------------------- Sierra Wireless !GSTATUS

class GstatusLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(GstatusLine, ReadsTheLabels) { RunLines(GetParam(), parseGstatusLine); }

INSTANTIATE_TEST_SUITE_P(
    Replies, GstatusLine,
    ::testing::Values(
        CellCase{"Em7455AttReadme",
                 {"!GSTATUS: ", "Current Time:  22016\t\tTemperature: 40",
                  "Reset Counter: 1\t\tMode:        ONLINE         ", "System mode:   LTE        \tPS state:    Attached     ",
                  "LTE band:      B2     \t\tLTE bw:      20 MHz  ", "LTE Rx chan:   800\t\tLTE Tx chan: 18800",
                  "LTE CA state:  ACTIVE      \t\tLTE Scell band:B12    ",
                  "LTE Scell bw:10 MHz  \t\tLTE Scell chan:5110", "EMM state:     Registered     \tNormal Service ",
                  "RRC state:     RRC Connected  ", "IMS reg state: No Srv  \t\t", "",
                  "PCC RxM RSSI:  -45\t\tRSRP (dBm):  -81", "PCC RxD RSSI:  -44\t\tRSRP (dBm):  -79",
                  "SCC RxM RSSI:  -52\t\tRSRP (dBm):  -83", "SCC RxD RSSI:  -51\t\tRSRP (dBm):  -81",
                  "Tx Power:      15\t\tTAC:         8C65 (35666)",
                  "RSRQ (dB):     -14.0\t\tCell ID:     0A14666A (169106666)", "SINR (dB):     23.8", "OK"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .area = 0x8C65, .cellId = 0x0A14666A, .channel = 800, .band = "B2",
                            .rssi = -45.0, .rsrp = -81.0, .rsrq = -14.0, .sinr = 23.8}},
        CellCase{"Em919xNrLeg",
                 {"System mode:   LTE\tPS state:    Attached", "LTE band:      B3\tLTE bw:      20 MHz",
                  "LTE Rx chan:   1300", "NR5G band:     n78\tNR5G bw:     100 MHz", "NR5G Rx chan:  627264",
                  "NR5G RSRP (dBm): -85\tNR5G RSRQ (dB): -11", "NR5G SINR (dB): 12.5"},
                 Tech::Nr5gNsa, TRadioCell{.rat = Tech::Lte, .channel = 1300, .band = "B3"},
                 TRadioCell{.rat = Tech::Nr5gNsa, .channel = 627264, .band = "n78", .rsrp = -85.0, .rsrq = -11.0,
                            .sinr = 12.5}},
        CellCase{"NrAbsentDashes",
                 {"System mode:   LTE", "NR5G band:     ---\tNR5G RSRP (dBm): ---", "PCC RxM RSRP:  -97"},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .rsrp = -97.0}},
        CellCase{"BlanksOnlyNoSystemMode", {"RSRQ (dB):     -9.5  Cell ID:     01A2B3C4 (27407300)"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 0x01A2B3C4, .rsrq = -9.5}},
        CellCase{"UnknownLabels", {"Temperature: 40\tMode: ONLINE", "Current Time: 12:30:00"}}),
    CaseName);

// ---------------------------------------------------------------- Fibocom +GTCCINFO

class GtccinfoLine : public ::testing::TestWithParam<CellCase> {};

TEST_P(GtccinfoLine, FillsServingAndNeighbours) { RunLines(GetParam(), parseGtccinfoLine); }

const TRadioCell kFm350Lte{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0x12345AB, .pci = 42,
                           .channel = 1300, .band = "B3", .rsrp = -91.0, .rsrq = -10.0, .sinr = 8.0};
const TRadioCell kFm350Nr{.rat = Tech::Nr5gNsa, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0xABCDEF1,
                          .pci = 500, .channel = 627264, .band = "n78", .sinr = 12.0};
const char kFm350LteRow[] = "1,4,262,2,1A2B,0012345AB,1300,42,103,,8,,50,20";
const char kFm350NrRow[] = "1,9,262,2,1A2B,00ABCDEF1,627264,500,5078,,12,,60,70";

INSTANTIATE_TEST_SUITE_P(
    Replies, GtccinfoLine,
    ::testing::Values(
        CellCase{"Fm350Fixture",
                 {"+GTCCINFO: ", "1,4,262,2,1A2B,0012345AB,100,42,,,-7,29,29,4", "",
                  "2,4,,,FFFF,00FFFFFFF,9460,71,,43,43,10", "2,4,,,FFFF,00FFFFFFF,6300,207,,42,42,15", "", "OK"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0x12345AB, .pci = 42,
                            .channel = 100, .rsrp = -112.0, .rsrq = -18.0, .sinr = -7.0},
                 {},
                 {{Tech::Lte, 9460, 71, {}, -98.0, -15.0, {}, {}}, {Tech::Lte, 6300, 207, {}, -99.0, -12.5, {}, {}}}},
        CellCase{"EnDcLteFirst", {kFm350LteRow, kFm350NrRow}, Tech::Nr5gNsa, kFm350Lte, kFm350Nr},
        CellCase{"EnDcNrFirst", {kFm350NrRow, kFm350LteRow}, Tech::Nr5gNsa, kFm350Lte, kFm350Nr},
        CellCase{"NrStandaloneMeasuresOfNoScale", {kFm350NrRow}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .mcc = 262, .mnc = 2, .area = 0x1A2B, .cellId = 0xABCDEF1,
                            .pci = 500, .channel = 627264, .band = "n78", .sinr = 12.0}},
        CellCase{"WcdmaIdentityOnly", {"1,2,262,1,1A2B,5E3F01,10737,131,,,,,40,30"}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x5E3F01, .pci = 131,
                            .channel = 10737}},
        CellCase{"NotRows", {"+GTCCINFO: ", "3,4,262,2,1A2B,0012345AB,100,42,,,-7,29,29,4", "1,4,262", "OK"}}),
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
    const char *family;     // at identification
    const char *afterMoni;  // when AT^MONI answers ERROR
};

void PrintTo(const MakerCase &c, std::ostream *os) { *os << "\"" << c.maker << "\""; }

std::string MakerName(const ::testing::TestParamInfo<MakerCase> &info) { return info.param.name; }

class Manufacturer : public ::testing::TestWithParam<MakerCase> {};

TEST_P(Manufacturer, PicksCommandFamily)
{
    EXPECT_STREQ(FamilyOfManufacturer(GetParam().maker).name, GetParam().family);
    EXPECT_STREQ(FamilyAfterMoniError(GetParam().maker).name, GetParam().afterMoni);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Manufacturer,
    ::testing::Values(MakerCase{"QuectelBare", "Quectel", "Quectel", "3GPP"},
                      MakerCase{"QuectelUpper", "QUECTEL", "Quectel", "3GPP"},
                      MakerCase{"SimcomIncorporated", "SIMCOM INCORPORATED", "SIMCom", "3GPP"},
                      MakerCase{"SimcomLabelled", "Manufacturer: SIMCOM INCORPORATED", "SIMCom", "3GPP"},
                      MakerCase{"Cinterion", "Cinterion", "design", "Cinterion"},
                      MakerCase{"Thales", "THALES DIS AIS Deutschland GmbH", "design", "Cinterion"},
                      MakerCase{"Gemalto", "Gemalto M2M GmbH", "design", "Cinterion"},
                      MakerCase{"Siemens", "SIEMENS", "design", "Cinterion"},
                      MakerCase{"Huawei", "Huawei Technologies Co., Ltd.", "Huawei", "3GPP"},
                      MakerCase{"UBlox", "u-blox", "u-blox", "3GPP"},
                      MakerCase{"Telit", "Telit", "Telit", "3GPP"},
                      MakerCase{"SierraUpper", "SIERRA WIRELESS, INCORPORATED", "Sierra Wireless", "3GPP"},
                      MakerCase{"FibocomLabelled", "Manufacturer: Fibocom Wireless Inc.", "Fibocom", "3GPP"},
                      MakerCase{"Nordic", "Nordic Semiconductor ASA", "design", "3GPP"},
                      MakerCase{"Chipset", "QUALCOMM INCORPORATED", "design", "3GPP"},
                      MakerCase{"Empty", "", "design", "3GPP"}),
    MakerName);

} // namespace
