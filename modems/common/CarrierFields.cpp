#include "modems/common/CarrierFields.h"

#include "modems/common/CellFields.h"

#include <algorithm>
#include <array>
#include <utility>

namespace cellfields {

std::optional<double> LteBandwidthOfResourceBlocks(std::string_view t)
{
    static constexpr std::array<std::pair<int, double>, 6> kBlocks{
        {{6, 1.4}, {15, 3}, {25, 5}, {50, 10}, {75, 15}, {100, 20}}};
    const Int blocks = DecimalOf(t);
    if (!blocks)
        return std::nullopt;
    for (const auto &[count, mhz] : kBlocks)
        if (*blocks == count)
            return mhz;
    return std::nullopt;
}

std::optional<double> NrBandwidthOfCode(std::string_view t)
{
    static constexpr std::array<double, 15> kMhz{5, 10, 15, 20, 25, 30, 40, 50, 60, 70, 80, 90, 100, 200, 400};
    const Int code = DecimalOf(t);
    if (!code || *code < 0 || *code >= static_cast<std::int64_t>(kMhz.size()))
        return std::nullopt;
    return kMhz[static_cast<std::size_t>(*code)];
}

TRadioTech NrCarrierTech(const TNetState &state, TCarrierRole role)
{
    if (role == TCarrierRole::Primary)
        return TRadioTech::Nr5gSa;
    const bool nrPrimary = std::any_of(state.carriers.begin(), state.carriers.end(), [](const TCarrier &c) {
        return c.role == TCarrierRole::Primary && c.rat == TRadioTech::Nr5gSa;
    });
    return nrPrimary ? TRadioTech::Nr5gSa : TRadioTech::Nr5gNsa;
}

TCarrier LteCarrier(TCarrierRole role)
{
    TCarrier carrier;
    carrier.role = role;
    carrier.rat = TRadioTech::Lte;
    return carrier;
}

TCarrier CarrierOfCell(TCarrierRole role, const TRadioCell &cell)
{
    return {role, cell.rat, cell.band, cell.channel, cell.pci, std::nullopt, cell.rssi, cell.rsrp, cell.rsrq, cell.sinr};
}

TRadioCell CellOfCarrier(const TCarrier &carrier)
{
    TRadioCell cell;
    cell.rat = carrier.rat;
    cell.band = carrier.band;
    cell.channel = carrier.channel;
    cell.pci = carrier.pci;
    cell.rssi = carrier.rssi;
    cell.rsrp = carrier.rsrp;
    cell.rsrq = carrier.rsrq;
    cell.sinr = carrier.sinr;
    return cell;
}

void AppendCarrier(TNetState &state, const TCarrier &carrier)
{
    if (state.carriers.size() < kMaxCarriers)
        state.carriers.push_back(carrier);
}

} // namespace cellfields
