// The registry: which family the AT+CGMI text picks.

#include "modems/ModemFamily.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// ---------------------------------------------------------------- identification

struct MakerCase {
    const char *name;
    std::string maker;
    const char *family;     // at identification
    const char *afterMoni;  // when AT^MONI answers ERROR
};

void PrintTo(const MakerCase &c, std::ostream *os) { *os << "\"" << c.maker << "\""; }

std::string MakerName(const ::testing::TestParamInfo<MakerCase> &info) { return info.param.name; }

class Manufacturer : public ::testing::TestWithParam<MakerCase> {};

TEST_P(Manufacturer, PicksCommandFamily)
{
    EXPECT_STREQ(FamilyOfManufacturer(GetParam().maker).name, GetParam().family);
    EXPECT_STREQ(FamilyAfterMoniError(GetParam().maker).name, GetParam().afterMoni);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Manufacturer,
    ::testing::Values(MakerCase{"QuectelBare", "Quectel", "Quectel", "3GPP"},
                      MakerCase{"QuectelUpper", "QUECTEL", "Quectel", "3GPP"},
                      MakerCase{"SimcomIncorporated", "SIMCOM INCORPORATED", "SIMCom", "3GPP"},
                      MakerCase{"SimcomLabelled", "Manufacturer: SIMCOM INCORPORATED", "SIMCom", "3GPP"},
                      MakerCase{"Cinterion", "Cinterion", "design", "Cinterion"},
                      MakerCase{"Thales", "THALES DIS AIS Deutschland GmbH", "design", "Cinterion"},
                      MakerCase{"Gemalto", "Gemalto M2M GmbH", "design", "Cinterion"},
                      MakerCase{"Siemens", "SIEMENS", "design", "Cinterion"},
                      MakerCase{"Huawei", "Huawei Technologies Co., Ltd.", "Huawei", "3GPP"},
                      MakerCase{"UBlox", "u-blox", "u-blox", "3GPP"},
                      MakerCase{"Telit", "Telit", "Telit", "3GPP"},
                      MakerCase{"SierraUpper", "SIERRA WIRELESS, INCORPORATED", "Sierra Wireless", "3GPP"},
                      MakerCase{"FibocomLabelled", "Manufacturer: Fibocom Wireless Inc.", "Fibocom", "3GPP"},
                      MakerCase{"IntelXmm", "Intel Corporation", "Intel XMM", "3GPP"},
                      MakerCase{"Sequans", "Sequans Communications", "Sequans", "3GPP"},
                      MakerCase{"Zte", "ZTE CORPORATION", "ZTE", "3GPP"},
                      MakerCase{"Nordic", "Nordic Semiconductor ASA", "Nordic nRF91", "3GPP"},
                      MakerCase{"Chipset", "QUALCOMM INCORPORATED", "Qualcomm", "3GPP"},
                      MakerCase{"Foxconn", "Foxconn", "Qualcomm", "3GPP"},
                      MakerCase{"Altair", "ALTAIR-SEMICONDUCTOR", "Altair", "3GPP"},
                      MakerCase{"Murata", "Murata Manufacturing Co., Ltd.", "Altair", "3GPP"},
                      MakerCase{"Empty", "", "design", "3GPP"}),
    MakerName);

} // namespace
