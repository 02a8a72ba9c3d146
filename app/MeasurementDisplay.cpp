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

// A measure or a number, or "-" when unknown.
std::string Measure(const std::optional<double> &value, const char *format)
{
    return value ? Format(format, *value) : "-";
}

template <class T> std::string Whole(const std::optional<T> &value, const char *format)
{
    return value ? Format(format, static_cast<long long>(*value)) : "-";
}

std::string MccMnc(const TRadioCell &c)
{
    if (!c.mcc || !c.mnc)
        return "-";
    return Format("%3.3d", *c.mcc) + " " + Format("%2.2d", *c.mnc);
}

bool IsUmts(TRadioTech tech) { return tech == TRadioTech::Umts; }
bool IsGsm(TRadioTech tech) { return tech == TRadioTech::Gsm; }

// The grid is the design's while it has GSM cell rows, else that of the
// serving cell's technology.
bool UsesTechnologyGrid(const TNetState &r) { return !r.cells[0].valid && r.serving.has_value(); }

} // namespace

std::string OperatorPanelText(const TNetState &r)
{
    std::string t = "?";
    if (r.operatorNameValid)
        t = r.operatorName;
    if (r.operatorCodeValid)
        t += " (" + r.operatorCode + ")";
    t += RegistrationText(r.registrationValid ? r.registration : 4);
    // The technology, for a modem not of the GSM cell-row family.
    if (!r.cells[0].valid) {
        const char *tech = RadioTechName(r.rat);
        if (tech)
            t += std::string(", ") + tech;
    }
    return t;
}

TGridRow TechnologyGridHeader(TRadioTech tech)
{
    if (IsGsm(tech))
        return {"ARFCN", "band", "BSIC", "dBm", "MCC MNC"};
    if (IsUmts(tech))
        return {"UARFCN", "band", "PSC", "RSCP", "Ec/No", "MCC MNC"};
    return {"EARFCN", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC"};
}

TGridRow TechnologyRowTexts(const TRadioCell &c)
{
    const std::string band = c.band.empty() ? "-" : c.band;
    if (IsGsm(c.rat))
        return {Whole(c.channel, "%4lld"), band, Whole(c.pci, "%2lld"), Measure(c.rssi, "%4.0f"), MccMnc(c)};
    if (IsUmts(c.rat))
        return {Whole(c.channel, "%5lld"), band, Whole(c.pci, "%3lld"), Measure(c.rscp, "%4.0f"),
                Measure(c.ecno, "%5.1f"), MccMnc(c)};
    return {Whole(c.channel, "%6lld"), band, Whole(c.pci, "%3lld"), Measure(c.rsrp, "%4.0f"),
            Measure(c.rsrq, "%5.1f"), Measure(c.sinr, "%5.1f"), MccMnc(c)};
}

TGridRow TechnologyRowTexts(const TNeighbourCell &n, TRadioTech tech)
{
    TRadioCell c;
    c.rat = tech;
    c.channel = n.channel;
    c.pci = n.pci;
    c.rssi = n.rssi;
    c.rsrp = n.rsrp;
    c.rsrq = n.rsrq;
    c.rscp = n.rscp;
    c.ecno = n.ecno;
    return TechnologyRowTexts(c);
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
    d.activity = ActivityText(r);
    if (!UsesTechnologyGrid(r)) {
        d.header = kGridHeader;
        for (int i = 0; i < kNetStateCellCount; ++i)
            d.rows[std::size_t(i)] = GridRowTexts(r.cells[std::size_t(i)]);
        return d;
    }
    // Serving cell first, then the NR leg, then the neighbours, in the
    // columns of the serving cell's technology.
    const TRadioTech tech = r.serving->rat;
    d.header = TechnologyGridHeader(tech);
    std::size_t row = 0;
    d.rows[row++] = TechnologyRowTexts(*r.serving);
    if (r.secondary)
        d.rows[row++] = TechnologyRowTexts(*r.secondary);
    for (std::size_t i = 0; i < r.neighbours.size() && row < d.rows.size(); ++i)
        d.rows[row++] = TechnologyRowTexts(r.neighbours[i], tech);
    while (row < d.rows.size())
        d.rows[row++] = TGridRow(d.header.size(), "-");
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
