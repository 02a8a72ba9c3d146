#include "modems/quectel/QuectelCarriers.h"

#include "modems/common/CarrierFields.h"
#include "modems/common/CellFields.h"

using namespace cellfields;

bool parseQcainfo(const std::string &line, TNetState &state)
{
    const auto body = BodyAfter(line, "+QCAINFO:");
    if (!body)
        return false;
    const TFields f(*body);
    const std::string role = Lower(f[0]);
    if (role != "pcc" && role != "scc")
        return true;
    TCarrier carrier;
    carrier.role = role == "pcc" ? TCarrierRole::Primary : TCarrierRole::Secondary;
    const std::string bandText = Lower(f[3]);
    const bool nr = bandText.rfind("nr", 0) == 0;
    if (!nr && bandText.rfind("lte", 0) != 0)
        return true;
    carrier.rat = nr ? NrCarrierTech(state, carrier.role) : TRadioTech::Lte;
    carrier.band = BandNamed(nr ? "n" : "B", NumberAfterBand(bandText));
    carrier.channel = IntegerOf(f[1]);
    carrier.bandwidthMhz = nr ? NrBandwidthOfCode(f[2]) : LteBandwidthOfResourceBlocks(f[2]);

    // Where the PCI and the levels stand: an NR primary has no state field;
    // the short NR form has neither state nor levels.
    const std::size_t n = f.size();
    std::size_t pci = 5;
    std::size_t levels = 6;
    bool measured = n == 10 || n >= 13;
    if (n == 5) {
        pci = 4;
        measured = false;
    } else if (nr && carrier.role == TCarrierRole::Primary) {
        pci = 4;
        levels = 5;
        measured = n >= 9;
    } else if (n < 6) {
        return true;
    }
    if (pci == 5 && carrier.role == TCarrierRole::Secondary && DecimalOf(f[4]) == 0)
        return true;
    carrier.pci = IntegerOf(f[pci]);
    if (measured) {
        carrier.rsrp = nr ? NrRsrpDbm(f[levels]) : LteRsrpDbm(f[levels]);
        carrier.rsrq = nr ? NrRsrqDb(f[levels + 1]) : LteRsrqDb(f[levels + 1]);
        carrier.rssi = PowerDbm(f[levels + 2]);
        carrier.sinr = nr ? NrSinrDb(f[levels + 3]) : MeasureIn(f[levels + 3], -20, 50);
    }
    AppendCarrier(state, carrier);
    return true;
}
