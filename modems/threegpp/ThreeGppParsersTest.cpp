// The ThreeGpp family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/threegpp/ThreeGppParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

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
        CellCase{"MmLte", {Reply("threegpp", "cesq_mm_lte")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -61.0, .rsrq = -10.0}},
        CellCase{"MmUmts", {Reply("threegpp", "cesq_mm_umts")}, Tech::Umts,
                 TRadioCell{.rat = Tech::Umts, .rscp = -26.0, .ecno = -4.5}},
        CellCase{"MmGsm", {Reply("threegpp", "cesq_mm_gsm")}, Tech::Gsm, TRadioCell{.rat = Tech::Gsm, .rssi = -101.0}},
        CellCase{"NrStandalone", {Reply("threegpp", "cesq_nr_standalone")}, Tech::Nr5gSa,
                 TRadioCell{.rat = Tech::Nr5gSa, .rsrp = -83.0, .rsrq = -8.0, .sinr = 13.5}},
        CellCase{"FibocomEnDc", {Reply("threegpp", "cesq_endc")}, Tech::Nr5gNsa,
                 TRadioCell{.rat = Tech::Lte, .rsrp = -112.0, .rsrq = -18.0},
                 TRadioCell{.rat = Tech::Nr5gNsa, .rsrp = -105.0, .rsrq = -6.0, .sinr = 5.0}},
        CellCase{"TruncatedNoSpace", {Reply("threegpp", "cesq_truncated_no_space")}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .rsrq = -10.0}},
        CellCase{"KeepsIdentityAndRat", {Reply("threegpp", "cesq_keeps_identity_and_rat")}, Tech::Nr5gNsa,
                 WithLteMeasures(kIdentity, -81.0, -5.0), {}, {}, true, Tech::Nr5gNsa, kIdentity},
        CellCase{"NotRegistered", {Reply("threegpp", "cesq_not_registered")}},
        CellCase{"OutOfRange", {Reply("threegpp", "cesq_out_of_range")}},
        CellCase{"NotCesq", {Reply("threegpp", "csq_typical"), Reply("threegpp", "xcesq_short_lte")}}),
    CaseName);


} // namespace
