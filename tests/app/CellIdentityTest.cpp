#include "modems/common/CellIdentity.h"

#include <gtest/gtest.h>

namespace {

struct DecodeCase {
    const char *name;
    TRadioTech rat;
    std::optional<std::int64_t> cellId;
    int gnbIdBits;
    TCellParts expected;
};

class CellDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(CellDecode, SplitsTheIdentityByTechnology)
{
    const DecodeCase &c = GetParam();
    TRadioCell cell;
    cell.rat = c.rat;
    cell.cellId = c.cellId;
    EXPECT_EQ(CellPartsOf(cell, c.gnbIdBits), c.expected);
}

// 0x1A2B3C4: eNB 0x1A2B3, sector 0xC4. 0x123456789: gNB 0x123456 and cell
// 0x789 with 24 bits, 0x12345678 and 9 with 32, 298261 and 10121 with 22.
const DecodeCase kDecodeCases[] = {
    {"LteEnbAndSector", TRadioTech::Lte, 0x1A2B3C4, 24, {107187, 196, {}, {}}},
    {"LteSectorZero", TRadioTech::Lte, 0x5F00, 24, {0x5F, 0, {}, {}}},
    {"LteLargest28Bits", TRadioTech::Lte, 0xFFFFFFF, 24, {0xFFFFF, 255, {}, {}}},
    {"LteBeyond28BitsIsUnknown", TRadioTech::Lte, 0x10000000, 24, {}},
    {"LteNegativeIsUnknown", TRadioTech::Lte, -1, 24, {}},
    {"LteMLikeLte", TRadioTech::LteM, 0x1A2B3C4, 24, {107187, 196, {}, {}}},
    {"NbIotLikeLte", TRadioTech::NbIot, 0x201, 24, {2, 1, {}, {}}},
    {"NrStandalone24Bits", TRadioTech::Nr5gSa, 0x123456789, 24, {{}, {}, 1193046, 1929}},
    {"NrNonStandalone24Bits", TRadioTech::Nr5gNsa, 0x123456789, 24, {{}, {}, 1193046, 1929}},
    {"Nr22Bits", TRadioTech::Nr5gSa, 0x123456789, 22, {{}, {}, 298261, 10121}},
    {"Nr32Bits", TRadioTech::Nr5gSa, 0x123456789, 32, {{}, {}, 0x12345678, 9}},
    {"NrLengthBelowRange", TRadioTech::Nr5gSa, 0x123456789, 21, {}},
    {"NrLengthAboveRange", TRadioTech::Nr5gSa, 0x123456789, 33, {}},
    {"NrBeyond36BitsIsUnknown", TRadioTech::Nr5gSa, std::int64_t{1} << 36, 24, {}},
    {"GsmHasNoParts", TRadioTech::Gsm, 0x1A2B3C4, 24, {}},
    {"UmtsHasNoParts", TRadioTech::Umts, 0x1A2B3C4, 24, {}},
    {"UnknownIdentity", TRadioTech::Lte, std::nullopt, 24, {}},
};

INSTANTIATE_TEST_SUITE_P(Table, CellDecode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
