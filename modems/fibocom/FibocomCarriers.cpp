#include "modems/fibocom/FibocomCarriers.h"

#include "modems/common/CarrierFields.h"
#include "modems/common/CellFields.h"

using namespace cellfields;

bool parseGtcainfoLine(const std::string &line, TNetState &state)
{
    std::string_view text = TrimmedControl(line);
    const auto after = BodyAfter(line, "+GTCAINFO:");
    if (after)
        text = *after;
    const std::string head = Lower(std::string(text.substr(0, 3)));
    const std::size_t colon = text.find(':');
    if ((head != "pcc" && head != "scc") || colon == std::string_view::npos)
        return after.has_value();
    TCarrier carrier;
    carrier.role = head == "pcc" ? TCarrierRole::Primary : TCarrierRole::Secondary;
    const TFields f(text.substr(colon + 1));
    const std::size_t first = carrier.role == TCarrierRole::Primary ? 0 : 2; // the band code
    const std::size_t n = f.size();
    if (n < first + 4)
        return true;
    if (carrier.role == TCarrierRole::Secondary && DecimalOf(f[0]) == 0)
        return true;
    const std::optional<std::int32_t> code = IntegerOf(f[first]);
    const bool lte = code && *code > 100 && *code < 200;
    const bool nr = code && *code > 5000 && *code < 6000;
    if (lte) {
        carrier.rat = TRadioTech::Lte;
        carrier.band = BandNamed("B", *code - 100);
        carrier.bandwidthMhz = LteBandwidthOfResourceBlocks(f[first + 3]);
    } else if (nr) {
        carrier.rat = NrCarrierTech(state, carrier.role);
        carrier.band = BandNamed("n", *code - 5000);
    }
    carrier.pci = IntegerOf(f[first + 1]);
    carrier.channel = IntegerOf(f[first + 2]);
    // The full line: ten fields of the primary, twelve of a secondary.
    if (n >= first + 10)
        carrier.rsrp = nr ? NrRsrpDbm(f[n - 1]) : LteRsrpDbm(f[n - 1]);
    AppendCarrier(state, carrier);
    return true;
}
