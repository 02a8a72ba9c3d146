// The Sierra family's parsers, table-driven; sample lines from replies/.

#include "modems/common/CellCases.h"
#include "modems/sierra/SierraParsers.h"

#include <gtest/gtest.h>

namespace {

using namespace cellcases;

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
                  Reply("sierra", "gstatus_pcc"), "PCC RxD RSSI:  -44\t\tRSRP (dBm):  -79",
                  "SCC RxM RSSI:  -52\t\tRSRP (dBm):  -83", "SCC RxD RSSI:  -51\t\tRSRP (dBm):  -81",
                  "Tx Power:      15\t\tTAC:         8C65 (35666)",
                  "RSRQ (dB):     -14.0\t\tCell ID:     0A14666A (169106666)", "SINR (dB):     23.8", "OK"},
                 Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .area = 0x8C65, .cellId = 0x0A14666A, .channel = 800, .band = "B2",
                            .rssi = -45.0, .rsrp = -81.0, .rsrq = -14.0, .sinr = 23.8}},
        CellCase{"Em919xNrLeg",
                 {"System mode:   LTE\tPS state:    Attached", "LTE band:      B3\tLTE bw:      20 MHz",
                  "LTE Rx chan:   1300", "NR5G band:     n78\tNR5G bw:     100 MHz", "NR5G Rx chan:  627264",
                  Reply("sierra", "gstatus_nr"), "NR5G SINR (dB): 12.5"},
                 Tech::Nr5gNsa, TRadioCell{.rat = Tech::Lte, .channel = 1300, .band = "B3"},
                 TRadioCell{.rat = Tech::Nr5gNsa, .channel = 627264, .band = "n78", .rsrp = -85.0, .rsrq = -11.0,
                            .sinr = 12.5}},
        CellCase{"SystemModeEndc",
                 {"System mode:   ENDC\tPS state:    Attached", "LTE band:      B3\tLTE bw:      20 MHz",
                  "NR5G band:     n78\tNR5G RSRP (dBm): -85"},
                 Tech::Nr5gNsa, TRadioCell{.rat = Tech::Lte, .band = "B3"},
                 TRadioCell{.rat = Tech::Nr5gNsa, .band = "n78", .rsrp = -85.0}},
        CellCase{"NrAbsentDashes",
                 {"System mode:   LTE", "NR5G band:     ---\tNR5G RSRP (dBm): ---", "PCC RxM RSRP:  -97"},
                 Tech::Lte, TRadioCell{.rat = Tech::Lte, .rsrp = -97.0}},
        CellCase{"BlanksOnlyNoSystemMode", {"RSRQ (dB):     -9.5  Cell ID:     01A2B3C4 (27407300)"}, Tech::Lte,
                 TRadioCell{.rat = Tech::Lte, .cellId = 0x01A2B3C4, .rsrq = -9.5}},
        CellCase{"UnknownLabels", {"Temperature: 40\tMode: ONLINE", "Current Time: 12:30:00"}}),
    CaseName);


} // namespace
