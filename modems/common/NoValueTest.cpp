// The "no value" rule: every marker the families' references name, each
// beside a value of the same look that must stay a value.

#include "modems/common/CellFields.h"
#include "modems/common/NoValue.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace cellfields;
using K = FieldKind;

struct MarkerCase {
    const char *text;
    K kind;
    bool marker;
};

void PrintTo(const MarkerCase &c, std::ostream *os)
{
    *os << "\"" << c.text << "\" kind " << static_cast<int>(c.kind) << (c.marker ? " marker" : " value");
}

class Marker : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(Marker, IsToldFromValue) { EXPECT_EQ(IsNoValue(GetParam().text, GetParam().kind), GetParam().marker); }

INSTANTIATE_TEST_SUITE_P(
    AllKinds, Marker,
    ::testing::Values(
        // every kind
        MarkerCase{"", K::Level, true}, MarkerCase{"-", K::Channel, true}, MarkerCase{"--", K::Area, true},
        MarkerCase{"N/A", K::CellId, true}, MarkerCase{"na", K::Level, true}, MarkerCase{"Unknown", K::Plmn, true},
        MarkerCase{"65535", K::Channel, true}, MarkerCase{"65534", K::Channel, false},
        MarkerCase{"0x7FFFFFFF", K::Level, true}, MarkerCase{"2147483647", K::CellId, true},
        MarkerCase{"4294967295", K::Channel, true}, MarkerCase{"0xFFFFFFFF", K::Index, true},
        MarkerCase{" 65535 ", K::Level, true},
        // PLMN
        MarkerCase{"000 00", K::Plmn, true}, MarkerCase{"000", K::Plmn, true}, MarkerCase{"00000", K::Plmn, true},
        MarkerCase{"000-00", K::Plmn, true}, MarkerCase{"FFFFF", K::Plmn, true}, MarkerCase{"262 00", K::Plmn, false},
        MarkerCase{"001", K::Plmn, false}, MarkerCase{"00", K::Plmn, true},
        // area and cell id
        MarkerCase{"FFFF", K::Area, true}, MarkerCase{"0xFFFE", K::Area, true}, MarkerCase{"FFFE", K::CellId, false},
        MarkerCase{"00FFFFFFF", K::CellId, true}, MarkerCase{"0xFFFFFFF", K::CellId, true},
        MarkerCase{"-1", K::Area, true}, MarkerCase{"FFFA", K::Area, false}, MarkerCase{"0x00D5", K::Area, false},
        MarkerCase{"0", K::CellId, false}, MarkerCase{"F00F", K::CellId, false},
        // channel, PCI, band
        MarkerCase{"-1", K::Channel, true}, MarkerCase{"0xFFFF", K::Channel, true}, MarkerCase{"255", K::Channel, false},
        MarkerCase{"0", K::Channel, false}, MarkerCase{"32767", K::Channel, false},
        // levels
        MarkerCase{"-0", K::Level, true}, MarkerCase{"0", K::Level, false}, MarkerCase{"-0.5", K::Level, false},
        MarkerCase{"255", K::Level, true}, MarkerCase{"-255", K::Level, true}, MarkerCase{"-256.0", K::Level, true},
        MarkerCase{"-256.5", K::Level, false}, MarkerCase{"-32768", K::Level, true}, MarkerCase{"32767", K::Level, true},
        MarkerCase{"-1", K::Level, false}, MarkerCase{"-140", K::Level, false}, MarkerCase{"99", K::Level, false},
        // indices
        MarkerCase{"99", K::Index, true}, MarkerCase{"255", K::Index, true}, MarkerCase{"-1", K::Index, true},
        MarkerCase{"97", K::Index, false}, MarkerCase{"0", K::Index, false}));

// The helpers every parser reads through keep the markers out.
TEST(MarkerHelpers, LeaveMarkersUnknown)
{
    EXPECT_FALSE(MeasureOf("-0"));
    EXPECT_EQ(MeasureOf("-7.5"), -7.5);
    EXPECT_FALSE(MeasureIn("-256.0", -300, 0));
    EXPECT_FALSE(IntegerOf("-1"));
    EXPECT_FALSE(IntegerOf("65535"));
    EXPECT_EQ(IntegerOf("255"), 255);
    EXPECT_FALSE(AreaOf("0xFFFE"));
    EXPECT_EQ(AreaOf("0x00D5"), 0xD5);
    EXPECT_FALSE(CellIdOf("0xFFFFFFFF"));
    EXPECT_EQ(CellIdOf("0020EB17"), 0x20EB17);
    EXPECT_FALSE(IndexValue("255", 255, 1, 0));
    EXPECT_FALSE(IndexValue("-0", 97, 1, -141));
    EXPECT_EQ(IndexValue("0", 97, 1, -141), -141);
    EXPECT_EQ(DecimalOrHexOfKind("0x01F6", K::Channel), 502);
    EXPECT_EQ(DecimalOrHexOfKind("502", K::Channel), 502);
    EXPECT_FALSE(DecimalOrHexOfKind("0x7FFFFFFF", K::Channel));
}

struct PlmnCase {
    const char *text;
    std::optional<int> mcc;
    std::optional<int> mnc;
};

void PrintTo(const PlmnCase &c, std::ostream *os) { *os << "\"" << c.text << "\""; }

class Plmn : public ::testing::TestWithParam<PlmnCase> {};

TEST_P(Plmn, GivesBothOrNeither)
{
    const auto [mcc, mnc] = PlmnOfText(GetParam().text);
    EXPECT_EQ(mcc, GetParam().mcc);
    EXPECT_EQ(mnc, GetParam().mnc);
}

INSTANTIATE_TEST_SUITE_P(Texts, Plmn,
                         ::testing::Values(PlmnCase{"26202", 262, 2}, PlmnCase{"310410", 310, 410},
                                           PlmnCase{"262 02", 262, 2}, PlmnCase{"460-11", 460, 11},
                                           PlmnCase{"001 01", 1, 1}, PlmnCase{"262 00", 262, 0},
                                           PlmnCase{"000 00", {}, {}}, PlmnCase{"000", {}, {}},
                                           PlmnCase{"00000", {}, {}}, PlmnCase{"FFFFF", {}, {}},
                                           PlmnCase{"2620", {}, {}}, PlmnCase{"262 0A", {}, {}},
                                           PlmnCase{"", {}, {}}));

} // namespace
