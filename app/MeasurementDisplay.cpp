#include "MeasurementDisplay.h"

#include "VRynCommunicationComponent.h"
#include "modems/common/CarrierFields.h"

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
    // LTE and NR side by side (EN-DC, carriers): the technology says which
    // channel numbering a row's channel is in.
    return {"RAT", "channel", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC", "TAC", "cell id"};
}

namespace {

struct ChannelRange {
    const char *band;
    std::int32_t first;
    std::int32_t last;
};

// TS 36.101 table 5.7.3-1, the downlink EARFCN of each E-UTRA band: the
// ranges do not overlap.
constexpr ChannelRange kEarfcnBands[] = {
    {"B1", 0, 599},         {"B2", 600, 1199},      {"B3", 1200, 1949},     {"B4", 1950, 2399},
    {"B5", 2400, 2649},     {"B6", 2650, 2749},     {"B7", 2750, 3449},     {"B8", 3450, 3799},
    {"B9", 3800, 4149},     {"B10", 4150, 4749},    {"B11", 4750, 4949},    {"B12", 5010, 5179},
    {"B13", 5180, 5279},    {"B14", 5280, 5379},    {"B17", 5730, 5849},    {"B18", 5850, 5999},
    {"B19", 6000, 6149},    {"B20", 6150, 6449},    {"B21", 6450, 6599},    {"B22", 6600, 7399},
    {"B24", 7700, 8039},    {"B25", 8040, 8689},    {"B26", 8690, 9039},    {"B27", 9040, 9209},
    {"B28", 9210, 9659},    {"B29", 9660, 9769},    {"B30", 9770, 9869},    {"B31", 9870, 9919},
    {"B32", 9920, 10359},   {"B33", 36000, 36199},  {"B34", 36200, 36349},  {"B35", 36350, 36949},
    {"B36", 36950, 37549},  {"B37", 37550, 37749},  {"B38", 37750, 38249},  {"B39", 38250, 38649},
    {"B40", 38650, 39649},  {"B41", 39650, 41589},  {"B42", 41590, 43589},  {"B43", 43590, 45589},
    {"B44", 45590, 46589},  {"B45", 46590, 46789},  {"B46", 46790, 54539},  {"B47", 54540, 55239},
    {"B48", 55240, 56739},  {"B65", 65536, 66435},  {"B66", 66436, 67335},  {"B67", 67336, 67535},
    {"B68", 67536, 67835},  {"B69", 67836, 68335},  {"B70", 68336, 68585},  {"B71", 68586, 68935},
    {"B72", 68936, 68985},  {"B73", 68986, 69035},  {"B74", 69036, 69465},  {"B75", 69466, 70315},
    {"B76", 70316, 70365},  {"B85", 70366, 70545},
};

// TS 38.104 table 5.4.2.3-1, the downlink NR-ARFCN of the common NR bands
// (first and last of the raster of each). Several overlap (n77 holds n78,
// n41 holds n38 and part of n7): a channel in more than one names none.
constexpr ChannelRange kNrArfcnBands[] = {
    {"n1", 422000, 434000},     {"n2", 386000, 398000},     {"n3", 361000, 376000},
    {"n5", 173800, 178800},     {"n7", 524000, 538000},     {"n8", 185000, 192000},
    {"n12", 145800, 149200},    {"n20", 158200, 164200},    {"n25", 386000, 399000},
    {"n28", 151600, 160600},    {"n38", 514000, 524000},    {"n40", 460000, 480000},
    {"n41", 499200, 537999},    {"n48", 636667, 646666},    {"n66", 422000, 440000},
    {"n71", 123400, 130400},    {"n75", 286400, 303400},    {"n77", 620000, 680000},
    {"n78", 620000, 653333},    {"n79", 693334, 733333},    {"n257", 2054166, 2104165},
    {"n258", 2016667, 2070832}, {"n260", 2229166, 2279165}, {"n261", 2070833, 2084999},
};

} // namespace

std::string BandOfChannel(TRadioTech tech, std::optional<std::int32_t> channel)
{
    if (!channel)
        return {};
    const bool nr = tech == TRadioTech::Nr5gNsa || tech == TRadioTech::Nr5gSa;
    const bool lte = tech == TRadioTech::Lte || tech == TRadioTech::LteM || tech == TRadioTech::NbIot;
    if (!nr && !lte)
        return {};
    std::string found;
    int matches = 0;
    const auto search = [&](const auto &table) {
        for (const ChannelRange &range : table)
            if (*channel >= range.first && *channel <= range.last) {
                found = range.band;
                ++matches;
            }
    };
    if (nr)
        search(kNrArfcnBands);
    else
        search(kEarfcnBands);
    return matches == 1 ? found : std::string();
}

TGridRow TechnologyRowTexts(const TRadioCell &c)
{
    const std::string derived = c.band.empty() ? BandOfChannel(c.rat, c.channel) : c.band;
    const std::string band = derived.empty() ? "-" : derived;
    if (IsGsm(c.rat))
        return {Whole(c.channel, "%4lld"), band, Whole(c.pci, "%2lld"), Measure(c.rssi, "%4.0f"), MccMnc(c)};
    if (IsUmts(c.rat))
        return {Whole(c.channel, "%5lld"), band, Whole(c.pci, "%3lld"), Measure(c.rscp, "%4.0f"),
                Measure(c.ecno, "%5.1f"), MccMnc(c)};
    const bool nr = c.rat == TRadioTech::Nr5gNsa || c.rat == TRadioTech::Nr5gSa;
    return {nr ? "NR" : c.rat == TRadioTech::LteM ? "LTE-M" : c.rat == TRadioTech::NbIot ? "NB-IoT" : "LTE",
            Whole(c.channel, "%6lld"),
            band,
            Whole(c.pci, "%3lld"),
            Measure(c.rsrp, "%4.0f"),
            Measure(c.rsrq, "%5.1f"),
            Measure(c.sinr, "%5.1f"),
            MccMnc(c),
            Whole(c.area, "%lld"),
            Whole(c.cellId, "%lld")};
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

TGridRow CarrierRowTexts(const TCarrier &carrier, TRadioTech tech)
{
    TRadioCell c = cellfields::CellOfCarrier(carrier);
    c.rat = tech;
    TGridRow row = TechnologyRowTexts(c);
    if (row.size() == TechnologyGridHeader(tech).size() && row.size() > 7)
        row[0] = CarrierRoleName(carrier.role); // the technology column says which carrier
    else
        row.back() = CarrierRoleName(carrier.role);
    return row;
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
    // Serving cell first, then the NR leg, the secondary carriers and the
    // neighbours, in the columns of the serving cell's technology.
    const TRadioTech tech = r.serving->rat;
    d.header = TechnologyGridHeader(tech);
    std::size_t row = 0;
    d.rows[row++] = TechnologyRowTexts(*r.serving);
    if (r.secondary)
        d.rows[row++] = TechnologyRowTexts(*r.secondary);
    // The secondary carriers, but for the NR leg already shown.
    for (const TCarrier &carrier : r.carriers) {
        const bool shownLeg = r.secondary && carrier.channel == r.secondary->channel && carrier.pci == r.secondary->pci;
        if (carrier.role == TCarrierRole::Secondary && !shownLeg && row < d.rows.size())
            d.rows[row++] = CarrierRowTexts(carrier, tech);
    }
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

std::string IdentityText(const std::string &manufacturer, const std::string &model, const ModemIdentity &identity)
{
    std::string text;
    for (const auto &[name, value] : {std::pair<const char *, const std::string &>{"Manufacturer", manufacturer},
                                      {"Model", model},
                                      {"Firmware", identity.firmware},
                                      {"IMEI", identity.imei},
                                      {"SIM", identity.sim},
                                      {"IMSI", identity.imsi},
                                      {"ICCID", identity.iccid}})
        text += std::string(text.empty() ? "" : "\n") + name + ": " + (value.empty() ? "unknown" : value);
    return text;
}

std::string SimStatusText(const ModemIdentity &identity, const TNetState &record)
{
    const bool registered = record.registrationValid && (record.registration == 1 || record.registration == 5);
    return registered ? std::string() : SimProblemText(identity.sim);
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
