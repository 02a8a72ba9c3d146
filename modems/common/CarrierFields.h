#pragma once
// What the carrier-aggregation parsers of every family share: the
// downlink bandwidth codes and the list the carriers go into.

#include "NetState.h"

#include <optional>
#include <string_view>

namespace cellfields {

// An LTE bandwidth given as its number of resource blocks (6, 15, 25, 50,
// 75, 100) in MHz; any other number is unknown.
std::optional<double> LteBandwidthOfResourceBlocks(std::string_view t);

// An NR bandwidth given as the code Quectel's commands print: 0 = 5 MHz, 1 =
// 10, 2 = 15, 3 = 20, 4 = 25, 5 = 30, 6 = 40, 7 = 50, 8 = 60, 9 = 70, 10 =
// 80, 11 = 90, 12 = 100, 13 = 200, 14 = 400 MHz; any other is unknown.
std::optional<double> NrBandwidthOfCode(std::string_view t);

// The technology of an NR carrier: stand-alone when the carrier is the
// primary one or the primary already listed is NR, else the NR leg of
// EN-DC beside an LTE primary.
TRadioTech NrCarrierTech(const TNetState &state, TCarrierRole role);

// An LTE carrier of that role, every value unknown.
TCarrier LteCarrier(TCarrierRole role);

// A carrier with a cell's band, channel, PCI and levels.
TCarrier CarrierOfCell(TCarrierRole role, const TRadioCell &cell);
// A cell with a carrier's technology, band, channel, PCI and levels.
TRadioCell CellOfCarrier(const TCarrier &carrier);

// Appends a carrier to state.carriers, at most kMaxCarriers of them.
void AppendCarrier(TNetState &state, const TCarrier &carrier);

} // namespace cellfields
