#include "MeasurementDisplay.h"

#include "VRynCommunicationComponent.h"

#include <algorithm>
#include <cstdio>

namespace {

// Formats one integer with a fixed format; the format never comes from data.
template <typename... Args>
std::string Format(const char *format, Args... args)
{
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string() : std::string(buffer, std::min<std::size_t>(std::size_t(n), sizeof buffer - 1));
}

const char *RegistrationText(std::int32_t stat)
{
    switch (stat) {
    case 0: return ", not registered, not searching";
    case 1: return ", registered, home network";
    case 2: return ", not registered, searching";
    case 3: return ", registration denied";
    case 4: return ", registration state unknown";
    case 5: return ", registered, roaming";
    default: return "";
    }
}

} // namespace

std::string OperatorPanelText(const TNetState &r)
{
    std::string t = "?";
    if (r.operatorNameValid)
        t = r.operatorName;
    if (r.operatorCodeValid)
        t += " (" + r.operatorCode + ")";
    t += RegistrationText(r.registrationValid ? r.registration : 4);
    return t;
}

TGridRow GridRowTexts(const TCellRow &row)
{
    if (!row.valid)
        return {"-", "-", "-", "-", "-", "-"};
    const auto percent = static_cast<int>(static_cast<double>(row.rssi) / 64.0 * 100.0);
    return {Format("%4d", row.channel),
            BandOfChannel(row.channel),
            Format("%4d", percent) + "%",
            Format("%4d", row.dbm),
            Format("%3d", row.c1),
            Format("%3.3d", row.mcc) + " " + Format("%2.2d", row.mnc)};
}

std::string ActivityText(const TNetState &r)
{
    if (!r.activityValid)
        return {};
    if (r.activity == 3)
        return "Ring, ring";
    if (r.activity == 4)
        return "Call in progress";
    return {};
}

TDisplayTexts ComposeDisplay(const TNetState &r, std::int32_t &lastServingChannel)
{
    TDisplayTexts d;
    const TCellRow &serving = r.cells[0];
    if (serving.valid && serving.channel != lastServingChannel) {
        d.graphValue = 100;
        lastServingChannel = serving.channel;
    } else {
        d.graphValue = r.signalValid ? r.signal : 0;
    }
    d.operatorPanel = OperatorPanelText(r);
    for (int i = 0; i < kNetStateCellCount; ++i)
        d.rows[std::size_t(i)] = GridRowTexts(r.cells[std::size_t(i)]);
    d.activity = ActivityText(r);
    return d;
}

std::string DevicePanelText(const std::string &manufacturer, const std::string &model)
{
    return "Device: " + manufacturer + " " + model;
}

std::optional<std::uint32_t> PortColorOf(TCommState state)
{
    switch (state) {
    case TCommState::CommStateFailed: return 0x0000FF;
    case TCommState::CommStateDisconnected: return 0;
    case TCommState::CommStateConnected: return 0x008000;
    case TCommState::CommStateFirst: break;
    }
    return std::nullopt;
}
