#include "AtResultCodes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

// One line of each kind of unsolicited code, and the lines of answers that
// look close to one (same first byte, a prefix of a code, a read answer).
TEST(AtResultCodes, UnsolicitedLinesAreToldFromAnswers)
{
    struct Case {
        std::string_view line;
        bool dialling;
        bool unsolicited;
    };
    const Case cases[] = {
        {"RING", false, true},
        {"RDY", false, true},
        {"^SYSSTART", false, true},
        {"^SHUTDOWN", false, true},
        {"+PBREADY", false, true},
        {"+CRING: VOICE", false, true},
        {"+CLIP: \"+420123\",145", false, true},
        {"+CMTI: \"SM\",3", false, true},
        {"+CGEV: ME PDN ACT 1", false, true},
        {"+CIEV: signal,3", false, true},
        {"^SCTM_B: 1", false, true},
        {"+QIND: \"csq\",20,99", false, true},
        {"*PSUTTZ: 2026,12,9", false, true},
        {"DST: 0", false, true},
        {"+CMT: \"+420123\",,\"26/12/09\"", false, true},
        {"+CTZEU: \"+04\",0,\"2026/12/09\"", false, true},
        {"^SBC: Undervoltage", false, true},
        {"+CREG: 1", false, true},
        {"+CEREG: 5,\"1A2B\",\"01A2B3C\",7", false, true},
        {"+C5GREG: 1", false, true},
        {"NO CARRIER", false, true},
        {"+CPIN: READY", false, true},
        {"+CFUN: 1", false, true},
        {"PB DONE", false, true},
        {"SMS DONE", false, true},
        {"Call Ready", false, true},
        {"SMS Ready", false, true},
        {"+PACSP0", false, true},
        {"+PACSP: 1", false, true},
        {"Call Readyness Inc", false, false},
        {"NO CARRIER", true, false},
        {"", false, false},
        {"OK", false, false},
        {"RINGS", false, false},
        {"+CSQ: 17,99", false, false},
        {"+CREG: 0,1", false, false},
        {"+CEREG: 2,1,\"1A2B\"", false, false},
        {"+CMT", false, false},
        {"+CMTX: 1", false, false},
        {"+CTZ: 1", false, false},
        {"+COPS: 0,0,\"A:B\"", false, false},
        {"^MONI: 900,-70", false, false},
        {"DS", false, false},
        {"*", false, false},
        {"1,2,3", false, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsUnsolicitedResultCode(c.line, c.dialling), c.unsolicited)
            << '"' << c.line << "\" dialling=" << c.dialling;
}

// An identification answer is a maker's or model's name, never a boot,
// status or result line; a prefixed answer gives the text after its prefix.
TEST(AtResultCodes, IdentificationIsNoStatusLine)
{
    struct Case {
        std::string_view line;
        bool manufacturer;
        std::optional<std::string_view> identity;
    };
    const Case cases[] = {
        {"Palvex Simulated", true, "Palvex Simulated"},
        {"BGS5", false, "BGS5"},
        {"+CGMI: Some Maker", true, "Some Maker"},
        {"+GMM: \"X850 LTE Module\"", false, "\"X850 LTE Module\""},
        {"+CGMM:", false, std::nullopt},
        {"+CGMM: EC25", true, std::nullopt},
        {"+CPIN: READY", true, std::nullopt},
        {"+CFUN: 1", false, std::nullopt},
        {"Call Ready", true, std::nullopt},
        {"SMS DONE", false, std::nullopt},
        {"+PACSP0", true, std::nullopt},
        {"+QIND: PB DONE", false, std::nullopt},
        {"^SYSSTART", true, std::nullopt},
        {"+XYZ: 3", true, std::nullopt},
        {"ERROR", true, std::nullopt},
        {"OK", false, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IdentificationText(c.line, c.manufacturer), c.identity) << '"' << c.line << '"';
}
