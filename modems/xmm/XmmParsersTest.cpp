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
                 {Reply("xmm", "xmci_decimal")},
                 Tech::Lte,
                 kXmciServing},
        CellCase{"XcesqAlone", {Reply("xmm", "xcesq_lte")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -84.0, .rsrq = -7.0, .sinr = 25.0}},
        CellCase{"XcesqFillsOnlyTheUnknownSnr",
                 {Reply("xmm", "xmci_serving_snr_unknown"),
                  Reply("xmm", "xcesq_negative_snr")},
                 Tech::Lte, With(kXmciServing, -4.5)},
        CellCase{"XcesqNothingKnown", {Reply("xmm", "xcesq_nothing_known")}},
        CellCase{"GsmServingAndNeighbour",
                 {Reply("xmm", "xmci_gsm_serving"),
                  Reply("xmm", "xmci_gsm_neighbour_fillers")},
                 Tech::Gsm,
                 TRadioCell{.rat = Tech::Gsm, .mcc = 262, .mnc = 1, .area = 0x1A2B, .cellId = 0x3C4D, .pci = 23,
                            .channel = 62, .band = "900", .rssi = -71.0},
                 {},
                 {{Tech::Gsm, 64, 17, -81.0, {}, {}, {}, {}}}},
        CellCase{"NotRows", {Reply("xmm", "xmci_unknown_type"), Reply("xmm", "xmci_short"),
                             Reply("xmm", "xcesq_short"), "OK"}}),
    CaseName);

} // namespace
