// The registry of modem families: an explicit list, in the order their
// words are tried. A family is defined in its own folder; adding one takes
// its entry function here and one line in the list.

#include "modems/ModemFamily.h"

#include "RynUtils.h"

#include <algorithm>
#include <cctype>

const ModemFamily &DesignFamily();
const ModemFamily &ThreeGppFamily();
const ModemFamily &QuectelFamily();
const ModemFamily &SimcomFamily();
const ModemFamily &CinterionFamily();
const ModemFamily &HuaweiFamily();
const ModemFamily &UbloxFamily();
const ModemFamily &TelitFamily();
const ModemFamily &SierraFamily();
const ModemFamily &FibocomFamily();
const ModemFamily &XmmFamily();
const ModemFamily &SequansFamily();
const ModemFamily &NordicFamily();
const ModemFamily &QualcommFamily();
const ModemFamily &ZteFamily();
const ModemFamily &AltairFamily();

const std::vector<const ModemFamily *> &ModemFamilies()
{
    static const std::vector<const ModemFamily *> families = {
        &DesignFamily(),
        &ThreeGppFamily(),
        &QuectelFamily(),
        &SimcomFamily(),
        &CinterionFamily(),
        &HuaweiFamily(),
        &UbloxFamily(),
        &TelitFamily(),
        &SierraFamily(),
        &FibocomFamily(),
        &XmmFamily(),
        &SequansFamily(),
        &NordicFamily(),
        &QualcommFamily(),
        &ZteFamily(),
        &AltairFamily(),
    };
    return families;
}

namespace {

const ModemFamily &FirstOfChoice(FamilyChoice choice)
{
    const auto &families = ModemFamilies();
    return **std::find_if(families.begin(), families.end(), [&](const ModemFamily *f) { return f->choice == choice; });
}

const ModemFamily &Matching(const std::string &manufacturer, FamilyChoice choice, FamilyChoice otherwise)
{
    for (const ModemFamily *family : ModemFamilies())
        if (family->choice == choice && family->Matches(manufacturer))
            return *family;
    return FirstOfChoice(otherwise);
}

} // namespace

bool ModemFamily::Matches(const std::string &manufacturer) const
{
    const std::string maker = Lower(manufacturer);
    return std::any_of(makerWords.begin(), makerWords.end(),
                       [&](const char *word) { return maker.find(word) != std::string::npos; });
}

bool ModemFamily::HasModel(const std::string &model) const
{
    return std::any_of(models.begin(), models.end(), [&](const SimModel &m) { return model == m.model; });
}

const ModemFamily &FamilyOfManufacturer(const std::string &manufacturer)
{
    return Matching(manufacturer, FamilyChoice::Identification, FamilyChoice::Design);
}

const ModemFamily &FamilyAfterMoniError(const std::string &manufacturer)
{
    return Matching(manufacturer, FamilyChoice::AfterMoniError, FamilyChoice::Fallback);
}

const ModemFamily &FallbackFamily() { return FirstOfChoice(FamilyChoice::Fallback); }

std::vector<const ModemFamily *> ProbeOrder(const ModemFamily *tried)
{
    std::vector<const ModemFamily *> order;
    for (const ModemFamily *family : ModemFamilies())
        if (!family->commands.empty() && family != &FallbackFamily() && family != tried)
            order.push_back(family);
    return order;
}
