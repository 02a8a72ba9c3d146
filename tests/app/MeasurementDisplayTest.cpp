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
