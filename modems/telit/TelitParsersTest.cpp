// The Telit family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/telit/TelitParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

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
        CellCase{"Le910V2RedactedImsi",
                 {"#RFSTS:\"286 01\",6400,-100,-66,-18,2242,FF,0,128,10,1,859315,\"28601XXXXXXXXXX\",\"TR TURKCELL\","
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


} // namespace
