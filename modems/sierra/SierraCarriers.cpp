#include "modems/sierra/SierraCarriers.h"

#include "modems/common/CarrierFields.h"
#include "modems/common/CellFields.h"
#include "modems/sierra/SierraParsers.h"

#include <algorithm>

using namespace cellfields;

namespace {

constexpr std::size_t kMostSecondary = 4;

TCarrier *Primary(TNetState &state)
{
    const auto it = std::find_if(state.carriers.begin(), state.carriers.end(),
                                 [](const TCarrier &c) { return c.role == TCarrierRole::Primary; });
    return it == state.carriers.end() ? nullptr : &*it;
}

// The n-th secondary carrier (1-based), made with the ones before it while
// a primary carrier is listed; nullptr otherwise.
TCarrier *Secondary(TNetState &state, std::size_t n)
{
    if (!Primary(state) || n == 0 || n > kMostSecondary)
        return nullptr;
    while (state.carriers.size() <= n && state.carriers.size() < kMaxCarriers)
        AppendCarrier(state, LteCarrier(TCarrierRole::Secondary));
    return n < state.carriers.size() ? &state.carriers[n] : nullptr;
}

// "20 MHz" or "1.4 MHz": the number before the unit.
std::optional<double> Megahertz(const std::string &value)
{
    return InRange(NumberOf(TrimmedControl(std::string_view(value).substr(0, value.find(' ')))), 1, 100);
}

// The secondary carrier and the field a "lte scell <field>" or
// "lte scc<n> <field>" label names; field empty for any other label.
std::pair<std::size_t, std::string> SecondaryLabel(const std::string &label)
{
    if (StartsWith(label, "lte scell "))
        return {1, label.substr(10)};
    if (!StartsWith(label, "lte scc") || label.size() < 9)
        return {0, {}};
    const std::size_t blank = label.find(' ', 7);
    if (blank == std::string::npos)
        return {0, {}};
    const std::optional<std::int32_t> n = DigitsIn(std::string_view(label).substr(7, blank - 7));
    return {n ? static_cast<std::size_t>(*n) : 0, std::string(TrimmedControl(std::string_view(label).substr(blank)))};
}

} // namespace

void parseGstatusCarriers(const std::string &line, TNetState &state)
{
    const auto pairs = LabelledPairs(line);
    const std::string first = pairs.empty() ? std::string() : pairs.front().first;
    for (const auto &[label, value] : pairs) {
        TCarrier *primary = Primary(state);
        if (label == "lte bw") {
            if (!primary)
                AppendCarrier(state, LteCarrier(TCarrierRole::Primary));
            Primary(state)->bandwidthMhz = Megahertz(value);
        } else if (label == "lte ca state") {
            if (!StartsWith(Lower(value), "active")) {
                state.carriers.clear();
                continue;
            }
            if (!primary)
                AppendCarrier(state, LteCarrier(TCarrierRole::Primary));
            primary = Primary(state);
            if (primary && state.serving && state.serving->rat == TRadioTech::Lte) {
                primary->band = state.serving->band;
                primary->channel = state.serving->channel;
            }
        } else if (const auto [n, field] = SecondaryLabel(label); !field.empty()) {
            TCarrier *scc = Secondary(state, n);
            if (!scc)
                continue;
            if (field == "band")
                scc->band = BandNamed("B", DigitsIn(value));
            else if (field == "bw")
                scc->bandwidthMhz = Megahertz(value);
            else if (field == "chan")
                scc->channel = IntegerOf(value);
        } else if (!primary) {
            continue;
        } else if (label == "pcc rxm rssi") {
            primary->rssi = PowerDbm(value);
        } else if (label == "rsrp (dbm)" && first == "pcc rxm rssi") {
            primary->rsrp = LteRsrpDbm(value);
        } else if (label == "rsrq (db)") {
            primary->rsrq = LteRsrqDb(value);
        } else if (label == "sinr (db)") {
            primary->sinr = MeasureIn(value, -20, 40);
        } else if (StartsWith(label, "scc") && label.size() > 3 && label.find("rxm rssi") != std::string::npos) {
            // "SCC RxM RSSI" is the first secondary carrier, "SCC2 RxM
            // RSSI" the second.
            const std::optional<std::int32_t> n = DigitsIn(std::string_view(label).substr(3, 2));
            if (TCarrier *scc = Secondary(state, n && label[3] != ' ' ? static_cast<std::size_t>(*n) : 1))
                scc->rssi = PowerDbm(value);
        } else if (label == "rsrp (dbm)" && StartsWith(first, "scc") && first.find("rxm rssi") != std::string::npos) {
            const std::optional<std::int32_t> n = DigitsIn(std::string_view(first).substr(3, 2));
            if (TCarrier *scc = Secondary(state, n && first[3] != ' ' ? static_cast<std::size_t>(*n) : 1))
                scc->rsrp = LteRsrpDbm(value);
        }
    }
}
