#include "modems/zte/ZteParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

namespace {

struct ZteBand {
    TRadioTech rat = TRadioTech::Unknown;
    std::string band;
};

// "LTE B3", "LTE BAND 3", "LTE_B20" -> LTE, "B3"; "PGSM_900", "EGSM_900",
// "DCS_1800", "PCS_1900", "GSM_850" -> GSM and its band; "WCDMA B1" ->
// UMTS, "B1". Anything else is no band word.
ZteBand BandWord(std::string_view word)
{
    const std::string w = Lower(word);
    ZteBand b;
    if (StartsWith(w, "lte"))
        b.rat = TRadioTech::Lte;
    else if (StartsWith(w, "wcdma") || StartsWith(w, "umts"))
        b.rat = TRadioTech::Umts;
    else if (w.find("gsm") != std::string::npos || StartsWith(w, "dcs") || StartsWith(w, "pcs"))
        b.rat = TRadioTech::Gsm;
    else
        return {};
    const std::size_t digits = w.find_first_of("0123456789");
    const std::optional<std::int32_t> n =
        digits == std::string::npos ? std::nullopt : Int32Of(DecimalOf(std::string_view(w).substr(digits)));
    if (b.rat == TRadioTech::Gsm)
        b.band = n ? std::to_string(*n) : std::string();
    else
        b.band = BandNamed("B", n);
    return b;
}

// A field printed "0X..." is hex, one of digits decimal.
Int Identity(std::string_view t, FieldKind kind) { return DecimalOrHexOfKind(t, kind); }

} // namespace

// ---------------------------------------------------------------- ZTE +ZCELLINFO

void parseZcellinfoLine(const std::string &line, TNetState &state)
{
    const std::optional<std::string_view> body = BodyAfter(line, "+ZCELLINFO:");
    if (!body)
        return;
    const TFields f(*body);
    TRadioCell cell;
    if (StartsWith(Lower(f[0]), "tac:")) {
        // tac:<TAC>,cellid:<CellID>,pci:<PCI>,band:<Band>
        const auto value = [&](std::size_t i, std::string_view label) -> std::string_view {
            const std::string_view t = f[i];
            return StartsWith(Lower(t), label) ? TrimmedControl(t.substr(label.size())) : std::string_view();
        };
        cell.rat = TRadioTech::Lte;
        cell.area = Identity(value(0, "tac:"), FieldKind::Area);
        cell.cellId = Identity(value(1, "cellid:"), FieldKind::CellId);
        cell.pci = Int32Of(Identity(value(2, "pci:"), FieldKind::Channel));
        const std::string_view band = value(3, "band:");
        const ZteBand word = BandWord(band);
        cell.band = word.rat != TRadioTech::Unknown ? word.band : BandNamed("B", IntegerOf(band));
    } else {
        std::size_t at = 0;
        while (at < f.size() && BandWord(f[at]).rat == TRadioTech::Unknown)
            ++at;
        if (at == f.size() || at < 2 || at > 3)
            return;
        const ZteBand word = BandWord(f[at]);
        cell.rat = word.rat;
        cell.band = word.band;
        cell.channel = Int32Of(Identity(f[at + 1], FieldKind::Channel));
        if (at == 2 && word.rat == TRadioTech::Gsm) {
            cell.area = Identity(f[0], FieldKind::Area); // LAC, cell id, band
            cell.cellId = Identity(f[1], FieldKind::CellId);
        } else if (at == 2) {
            cell.cellId = Identity(f[0], FieldKind::CellId); // cell id, PCI, band, channel
            cell.pci = Int32Of(Identity(f[1], FieldKind::Channel));
        } else {
            cell.area = Identity(f[0], FieldKind::Area); // TAC, cell id, PCI, band, channel
            cell.cellId = Identity(f[1], FieldKind::CellId);
            cell.pci = Int32Of(Identity(f[2], FieldKind::Channel));
        }
    }
    // Keep the measures another command of the cycle gave.
    if (state.serving && state.serving->rat == cell.rat) {
        cell.rssi = state.serving->rssi;
        cell.rsrp = state.serving->rsrp;
        cell.rsrq = state.serving->rsrq;
        cell.sinr = state.serving->sinr;
        cell.rscp = state.serving->rscp;
        cell.ecno = state.serving->ecno;
        cell.mcc = state.serving->mcc;
        cell.mnc = state.serving->mnc;
    }
    state.serving = cell;
    SetAnchorRat(state, cell.rat);
}
