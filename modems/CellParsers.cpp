#include "CellParsers.h"

#include "modems/common/CellFields.h"

#include <array>
#include <utility>

using namespace cellfields;

// ---------------------------------------------------------------- identification

TModemProfile ProfileOfManufacturer(const std::string &manufacturer)
{
    // "Quectel" -> Quectel; "SIMCOM INCORPORATED" -> SIMCom; "Huawei
    // Technologies Co., Ltd." -> Huawei; "u-blox" -> UBlox; "Telit" -> Telit;
    // "Sierra Wireless, Incorporated" -> Sierra; "Fibocom Wireless Inc." ->
    // Fibocom; "Cinterion", "QUALCOMM INCORPORATED", "" -> the design's own
    // commands.
    static const std::array<std::pair<const char *, TModemProfile>, 7> makers{{
        {"quectel", TModemProfile::Quectel},
        {"simcom", TModemProfile::SimCom},
        {"huawei", TModemProfile::Huawei},
        {"u-blox", TModemProfile::UBlox},
        {"telit", TModemProfile::Telit},
        {"sierra", TModemProfile::Sierra},
        {"fibocom", TModemProfile::Fibocom},
    }};
    const std::string maker = Lower(manufacturer);
    for (const auto &[name, profile] : makers)
        if (maker.find(name) != std::string::npos)
            return profile;
    return TModemProfile::Design;
}

bool IsCinterionFamily(const std::string &manufacturer)
{
    const std::string maker = Lower(manufacturer);
    for (const char *name : {"cinterion", "thales", "gemalto", "siemens"})
        if (maker.find(name) != std::string::npos)
            return true;
    return false;
}
