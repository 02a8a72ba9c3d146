#pragma once
// The cell-information parsers of every modem family, and the choice of
// command family from the manufacturer text.

#include "NetState.h"
#include "modems/cinterion/CinterionParsers.h"
#include "modems/design/DesignParsers.h"
#include "modems/fibocom/FibocomParsers.h"
#include "modems/huawei/HuaweiParsers.h"
#include "modems/quectel/QuectelParsers.h"
#include "modems/sierra/SierraParsers.h"
#include "modems/simcom/SimcomParsers.h"
#include "modems/telit/TelitParsers.h"
#include "modems/threegpp/ThreeGppParsers.h"
#include "modems/ublox/UbloxParsers.h"

#include <cstdint>
#include <string>

// The command family a session uses. ThreeGpp and NewerCinterion are only
// reached by falling back when the family's own command answers ERROR. New
// families go at the end, so that a stored value keeps its meaning.
enum class TModemProfile : std::uint8_t {
    Design,
    ThreeGpp,
    Quectel,
    SimCom,
    NewerCinterion,
    Huawei,
    UBlox,
    Telit,
    Sierra,
    Fibocom,
};

// The AT+CGMI text -> Quectel ("quectel"), SimCom ("simcom"), Huawei
// ("huawei"), UBlox ("u-blox"), Telit ("telit"), Sierra ("sierra"), Fibocom
// ("fibocom"), else Design; case-insensitive, anywhere in the text.
TModemProfile ProfileOfManufacturer(const std::string &manufacturer);

// Whether the maker text names the newer Cinterion family ("cinterion",
// "thales", "gemalto", "siemens"; case-insensitive, anywhere in the text).
bool IsCinterionFamily(const std::string &manufacturer);
