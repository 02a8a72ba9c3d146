#include "MeasurementDisplay.h"

#include <gtest/gtest.h>

namespace {

TNetState Blank()
{
    TNetState r;
    r.MarkAllInvalid();
    return r;
}

TEST(MeasurementDisplay, ServingCellRowIsFormattedColumnByColumn)
{
    const TGridRow row = GridRowTexts({true, 62, 40, -73, 25, 230, 1});
    EXPECT_EQ(row, (TGridRow{"  62", "900", "  62%", " -73", " 25", "230 01"}));
    EXPECT_EQ(GridRowTexts({true, 600, 63, -110, -9999, 1, 123}),
              (TGridRow{" 600", "1800", "  98%", "-110", "-9999", "001 123"}));
    EXPECT_EQ(GridRowTexts({false, 62, 40, -73, 25, 230, 1}), (TGridRow{"-", "-", "-", "-", "-", "-"}));
}

struct PanelCase {
    const char *name;
    bool nameValid;
    bool codeValid;
    bool regValid;
    int registration;
    std::string expected;
};

class OperatorPanel : public ::testing::TestWithParam<PanelCase> {};

TEST_P(OperatorPanel, ComposesNameCodeAndRegistration)
{
    const PanelCase &c = GetParam();
    TNetState r = Blank();
    r.operatorName = "T-Mobile CZ";
    r.operatorNameValid = c.nameValid;
    r.operatorCode = "23001";
    r.operatorCodeValid = c.codeValid;
    r.registration = c.registration;
    r.registrationValid = c.regValid;
    EXPECT_EQ(OperatorPanelText(r), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, OperatorPanel,
    ::testing::Values(PanelCase{"NothingKnown", false, false, false, 1, "?, registration state unknown"},
                      PanelCase{"Home", true, true, true, 1, "T-Mobile CZ (23001), registered, home network"},
                      PanelCase{"CodeOnly", false, true, true, 2, "? (23001), not registered, searching"},
                      PanelCase{"Idle", true, false, true, 0, "T-Mobile CZ, not registered, not searching"},
                      PanelCase{"Denied", true, true, true, 3, "T-Mobile CZ (23001), registration denied"},
                      PanelCase{"Unknown", true, true, true, 4, "T-Mobile CZ (23001), registration state unknown"},
                      PanelCase{"Roaming", true, true, true, 5, "T-Mobile CZ (23001), registered, roaming"},
                      PanelCase{"OutOfRangeAddsNothing", true, true, true, -1, "T-Mobile CZ (23001)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MeasurementDisplay, GraphShowsFullScaleOnceForEachNewServingCell)
{
    TNetState r = Blank();
    r.signal = 53;
    r.signalValid = true;
    std::int32_t last = -1;
    EXPECT_EQ(ComposeDisplay(r, last).graphValue, 53) << "no serving cell yet";
    r.cells[0] = {true, 62, 40, -73, 25, 230, 1};
    EXPECT_EQ(ComposeDisplay(r, last).graphValue, 100);
    EXPECT_EQ(last, 62);
    EXPECT_EQ(ComposeDisplay(r, last).graphValue, 53);
    r.cells[0].channel = 70;
    EXPECT_EQ(ComposeDisplay(r, last).graphValue, 100);
    r.signalValid = false;
    EXPECT_EQ(ComposeDisplay(r, last).graphValue, 0);
}

TEST(MeasurementDisplay, BlankRecordShowsDashesAndUnknownRegistration)
{
    std::int32_t last = -1;
    const TDisplayTexts d = ComposeDisplay(Blank(), last);
    for (const auto &row : d.rows)
        EXPECT_EQ(row, (TGridRow{"-", "-", "-", "-", "-", "-"}));
    EXPECT_EQ(d.operatorPanel, "?, registration state unknown");
    EXPECT_EQ(d.graphValue, 0);
    EXPECT_EQ(d.activity, "");
}

TEST(MeasurementDisplay, ActivityLabel)
{
    TNetState r = Blank();
    r.activityValid = true;
    const std::pair<int, std::string> cases[] = {{3, "Ring, ring"}, {4, "Call in progress"}, {0, ""}, {-1, ""}};
    for (const auto &[activity, text] : cases) {
        r.activity = activity;
        EXPECT_EQ(ActivityText(r), text) << activity;
    }
    r.activity = 3;
    r.activityValid = false;
    EXPECT_EQ(ActivityText(r), "");
}

} // namespace

// The band of a channel by the 3GPP tables: each EARFCN in exactly one
// band, first and last channel of a band included; an NR-ARFCN in the
// overlap of two bands names neither, and other technologies none.
TEST(BandOfChannel, FollowsTheChannelTables)
{
    struct Case {
        TRadioTech tech;
        std::optional<std::int32_t> channel;
        const char *band;
    };
    for (const Case &c : {Case{TRadioTech::Lte, 0, "B1"}, Case{TRadioTech::Lte, 599, "B1"},
                          Case{TRadioTech::Lte, 1300, "B3"}, Case{TRadioTech::Lte, 1949, "B3"},
                          Case{TRadioTech::Lte, 1950, "B4"}, Case{TRadioTech::Lte, 3100, "B7"},
                          Case{TRadioTech::Lte, 6300, "B20"}, Case{TRadioTech::LteM, 9410, "B28"},
                          Case{TRadioTech::NbIot, 3740, "B8"}, Case{TRadioTech::Lte, 66786, "B66"},
                          Case{TRadioTech::Lte, 5000, ""}, Case{TRadioTech::Lte, 10360, ""},
                          Case{TRadioTech::Lte, std::nullopt, ""}, Case{TRadioTech::Nr5gSa, 693334, "n79"},
                          Case{TRadioTech::Nr5gNsa, 158200, ""}, Case{TRadioTech::Nr5gNsa, 165000, ""},
                          Case{TRadioTech::Nr5gNsa, 627264, ""}, Case{TRadioTech::Nr5gSa, 660000, "n77"},
                          Case{TRadioTech::Nr5gSa, 368500, "n3"}, Case{TRadioTech::Nr5gSa, 2230000, "n260"},
                          Case{TRadioTech::Gsm, 62, ""}, Case{TRadioTech::Umts, 10700, ""}}) {
        SCOPED_TRACE(testing::Message() << RadioTechName(c.tech) << " " << c.channel.value_or(-1));
        EXPECT_EQ(BandOfChannel(c.tech, c.channel), c.band);
    }
}

TEST(BandOfChannel, GridShowsTheDerivedBandOnlyWhereTheModemGaveNone)
{
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    cell.channel = 6300;
    EXPECT_EQ(TechnologyRowTexts(cell)[2], "B20");
    cell.band = "B20 (800)";
    EXPECT_EQ(TechnologyRowTexts(cell)[2], "B20 (800)") << "the modem's own word stands";
    cell.band.clear();
    cell.channel.reset();
    EXPECT_EQ(TechnologyRowTexts(cell)[2], "-");
}

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// The secondary carriers come after the serving cell and the NR leg, marked
// SCC in the technology column; the NR leg listed among them is not shown twice,
// nor the primary carrier (the serving cell's row).
TEST(MeasurementDisplay, GridShowsTheSecondaryCarriersOnce)
{
    TNetState r;
    r.MarkAllInvalid();
    r.serving = TRadioCell{.rat = TRadioTech::Lte, .mcc = 230, .mnc = 1, .pci = 7, .channel = 1300, .rsrp = -90.0};
    r.secondary = TRadioCell{.rat = TRadioTech::Nr5gNsa, .pci = 920, .channel = 648768};
    r.carriers = {{TCarrierRole::Primary, TRadioTech::Lte, "B3", 1300, 7},
                  {TCarrierRole::Secondary, TRadioTech::Lte, "B7", 3350, 7, 20.0, -70.0, -97.0, -11.0, 5.0},
                  {TCarrierRole::Secondary, TRadioTech::Nr5gNsa, "n78", 648768, 920, 80.0}};
    r.neighbours = {TNeighbourCell{TRadioTech::Lte, 1300, 12, {}, -100.0, -12.0, {}, {}}};
    std::int32_t last = -1;
    const TDisplayTexts d = ComposeDisplay(r, last);
    EXPECT_EQ(d.rows[0][0], "LTE");
    EXPECT_EQ(d.rows[0][7], "230 01");
    EXPECT_EQ(d.rows[1][0], "NR") << "the NR leg says its technology";
    EXPECT_EQ(d.rows[1][1], "648768");
    EXPECT_EQ(d.rows[2], (TGridRow{"SCC", "  3350", "B7", "  7", " -97", "-11.0", "  5.0", "-", "-", "-"}));
    EXPECT_EQ(d.rows[3][3], " 12") << "then the neighbours";
    EXPECT_EQ(d.rows[4][0], "-");
}
