#pragma once
// What the window shows of one display record: the graph value, the operator
// panel, the grid rows and the activity label. Pure functions, so the window,
// the headless monitor and the tests share one reading of the record.

#include "NetState.h"
#include "modems/ModemIdentity.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum class TCommState : std::uint8_t;

#include <vector>

// One row of the result grid: six columns for the GSM cell rows, as many as
// the technology's header for the others.
using TGridRow = std::vector<std::string>;

struct TDisplayTexts {
    int graphValue = 0;
    std::string operatorPanel;
    // The grid's header: kGridHeader, or that of the serving cell's
    // technology (TechnologyGridHeader).
    TGridRow header;
    std::array<TGridRow, kNetStateCellCount> rows;
    std::string activity;
};

// lastServingChannel is the window's field, -1 at start: a change of the
// serving cell shows as one full-scale mark on the graph.
TDisplayTexts ComposeDisplay(const TNetState &record, std::int32_t &lastServingChannel);

std::string OperatorPanelText(const TNetState &record);
TGridRow GridRowTexts(const TCellRow &row);
// The grid of a modem that reports no GSM cell rows but a serving cell of
// some technology: its header, and rows for the serving cell, the NR leg and
// the neighbours, "-" where a value is unknown.
TGridRow TechnologyGridHeader(TRadioTech tech);
TGridRow TechnologyRowTexts(const TRadioCell &cell);
TGridRow TechnologyRowTexts(const TNeighbourCell &cell, TRadioTech tech);
// A secondary component carrier in the columns of the serving cell's
// technology, "SCC" where the serving cell shows its MCC and MNC.
TGridRow CarrierRowTexts(const TCarrier &carrier, TRadioTech tech);
std::string ActivityText(const TNetState &record);

// Status bar panel 1 once the modem named itself.
std::string DevicePanelText(const std::string &manufacturer, const std::string &model);
// The "Modem" dialog and the device panel's tooltip: one "Name: value" line
// each for maker, model, firmware, IMEI, SIM, IMSI and ICCID ("unknown"
// where the modem did not say).
std::string IdentityText(const std::string &manufacturer, const std::string &model, const ModemIdentity &identity);
// Status bar panel 2: what keeps the modem off the network when its SIM is
// locked or missing and it is not registered; empty otherwise (the
// operator panel stays).
std::string SimStatusText(const ModemIdentity &identity, const TNetState &record);
// Status bar panel 1 while the port is open and the modem has not named
// itself, and while the port is closed or failing.
inline constexpr const char *kDevicePanelUnknown = "Device: ?";
inline constexpr const char *kDevicePanelNotConnected = "Modem not connected";
// Font colour of the port box for a channel state, 0x00BBGGRR: red for a
// failure, black when disconnected, green when connected; none for the
// first state.
std::optional<std::uint32_t> PortColorOf(TCommState state);
// Font colour of a port typed in the box but not yet applied (grey).
inline constexpr std::uint32_t kPortPendingColor = 0x808080;
// The graph's value while the main answer is missing.
inline constexpr int kGraphValueUnknown = -1;

// Header row of the result grid.
inline const TGridRow kGridHeader{"channel", "band", "rssi", "dBm", "C1", "MCC MNC"};

// The band a downlink channel number lies in, by the channel tables of
// 3GPP TS 36.101 (EARFCN, LTE, LTE-M and NB-IoT: "B3") and TS 38.104
// (NR-ARFCN: "n78"). Empty when the channel is unknown, in no band of the
// table, or (NR) in the overlap of several bands, where it names none of
// them for sure.
std::string BandOfChannel(TRadioTech tech, std::optional<std::int32_t> channel);
