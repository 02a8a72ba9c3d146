// The Intel XMM family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/xmm/XmmParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

// Both commands' lines through one reading, as the session reads a cycle.
class XmciAndXcesq : public ::testing::TestWithParam<CellCase> {};

TEST_P(XmciAndXcesq, FillServingAndNeighbours)
{
    std::string pending;
    RunLines(GetParam(), [&](const std::string &line, TNetState &state) {
        if (line.find("+XCESQ:") != std::string::npos)
            parseXcesqLine(line, state);
        else
            parseXmciLine(line, pending, state);
    });
}

const TRadioCell kXmciServing{.rat = Tech::Lte, .mcc = 247, .mnc = 5, .area = 0xD5, .cellId = 0x20EB17, .pci = 502,
                              .channel = 1820, .rsrp = -87.0, .rsrq = -7.0, .sinr = 25.0};

TRadioCell With(TRadioCell cell, double sinr)
{
    cell.sinr = sinr;
    return cell;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, XmciAndXcesq,
    ::testing::Values(
        CellCase{"ServingAndFillerNeighbour",
                 {Reply("xmm", "xmci_serving"), "", Reply("xmm", "xmci_neighbour"), "OK"},
                 Tech::Lte,
                 kXmciServing,
                 {},
                 {{Tech::Lte, 0x9F8A, 0x184, {}, -110.0, -12.5, {}, {}}}},
        CellCase{"LineBrokenInTwo",
                 {Reply("xmm", "xmci_broken_start"), Reply("xmm", "xmci_broken_rest")},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .mcc = 250, .mnc = 2, .area = 0x2608, .cellId = 0x026D741E, .pci = 0x108,
                            .channel = 0x642, .rsrp = -83.0, .rsrq = -9.0, .sinr = 19.0}},
        CellCase{"BrokenStartAloneIsNothing", {Reply("xmm", "xmci_broken_start"), "OK"}},
        CellCase{"RestWithoutStartIsNothing", {Reply("xmm", "xmci_broken_rest")}},
        CellCase{"DecimalIdentities",
                 {"+XMCI: 4,247,05,213,2157335,502,1820,19820,-1,54,26,50,2,0"},
                 Tech::Lte,
                 kXmciServing},
        CellCase{"XcesqAlone", {Reply("xmm", "xcesq_lte")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -84.0, .rsrq = -7.0, .sinr = 25.0}},
        CellCase{"XcesqFillsOnlyTheUnknownSnr",
                 {"+XMCI: 4,247,05,\"0x00D5\",\"0x0020EB17\",\"0x01F6\",\"0x0000071C\",\"0x00004D6C\",\"0xFFFFFFFF\","
                  "54,26,255,\"0x00000002\",\"0x00000000\"",
                  Reply("xmm", "xcesq_negative_snr")},
                 Tech::Lte, With(kXmciServing, -4.5)},
        CellCase{"XcesqNothingKnown", {"+XCESQ: 0,99,99,255,255,255,255,255"}},
        CellCase{"GsmServingAndNeighbour",
                 {"+XMCI: 0,262,01,\"0x1A2B\",\"0x3C4D\",\"0x0017\",40,0,\"0x003E\",0,0",
                  "+XMCI: 1,000,000,\"0xFFFE\",\"0xFFFF\",\"0x0011\",30,99,\"0x0040\",0,0"},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 23,
                            .channel = 62, .band = "900", .rssi = -71.0},
                 {},
                 {{Tech::Gsm, 64, 17, -81.0, {}, {}, {}, {}}}},
        CellCase{"NotRows", {"+XMCI: 6,262,01,1,2,3,4,5,6,7,8,9", "+XMCI: 4,262,01", "+XCESQ: 0,99", "OK"}}),
    CaseName);

} // namespace
