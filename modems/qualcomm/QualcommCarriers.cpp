#include "modems/qualcomm/QualcommCarriers.h"

#include "modems/common/CarrierFields.h"
#include "modems/common/CellFields.h"

#include <string_view>

using namespace cellfields;

namespace {

// The role of "PCC info:" or "SCC<n> info:" and the text after it.
std::optional<TCarrierRole> RoleOf(std::string_view &rest)
{
    constexpr std::string_view kInfo = " info:";
    const std::size_t colon = rest.find(kInfo);
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view label = rest.substr(0, colon);
    std::optional<TCarrierRole> role;
    if (label == "PCC")
        role = TCarrierRole::Primary;
    else if (label.size() > 3 && label.substr(0, 3) == "SCC" && DecimalOf(label.substr(3)))
        role = TCarrierRole::Secondary;
    if (role)
        rest = rest.substr(colon + kInfo.size());
    return role;
}

// The value after "<name> is " up to the next comma, trimmed.
std::string_view ValueOf(std::string_view text, std::string_view name)
{
    const std::string key = std::string(name) + " is ";
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos)
        return {};
    std::string_view value = text.substr(at + key.size());
    value = value.substr(0, value.find(','));
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    return value;
}

} // namespace

bool parseCaInfoLine(const std::string &line, TCaInfoReading &reading, TNetState &state)
{
    const std::string trimmed(TrimmedControl(line));
    std::string_view rest = trimmed;
    const std::optional<TCarrierRole> role = RoleOf(rest);
    if (!role) {
        if (!trimmed.empty() && !state.carriers.empty())
            reading.otherSection = true;
        return false;
    }
    if (reading.otherSection)
        return false;

    TCarrier carrier = LteCarrier(*role);
    carrier.rat = TRadioTech::Unknown;
    constexpr std::string_view kLteBand = "LTE_B";
    if (const std::string_view band = ValueOf(rest, "Band"); band.substr(0, kLteBand.size()) == kLteBand) {
        if (const auto number = IntegerOf(band.substr(kLteBand.size())); number && *number > 0) {
            carrier.rat = TRadioTech::Lte;
            carrier.band = "B" + std::to_string(*number);
        }
    }
    if (*role == TCarrierRole::Primary && carrier.rat == TRadioTech::Lte && state.serving &&
        state.serving->rat == TRadioTech::Lte && state.serving->band == carrier.band)
        carrier = CarrierOfCell(TCarrierRole::Primary, *state.serving);

    // "20.0 MHz"; anything else (no unit, "NA") is unknown.
    const std::string_view width = ValueOf(rest, "Band_width");
    constexpr std::string_view kMhz = " MHz";
    if (width.size() > kMhz.size() && width.substr(width.size() - kMhz.size()) == kMhz)
        if (const Number mhz = NumberOf(width.substr(0, width.size() - kMhz.size())); mhz && *mhz > 0 && *mhz <= 400)
            carrier.bandwidthMhz = *mhz;
    AppendCarrier(state, carrier);
    return true;
}
