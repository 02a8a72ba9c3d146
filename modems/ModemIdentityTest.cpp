#include "modems/ModemIdentity.h"

#include <gtest/gtest.h>

namespace {

// Identity answers as modems of several makers print them.
TEST(ModemIdentity, ValuesAndSimStatesOfTheAnswers)
{
    const struct {
        const char *line;
        const char *value; // IdentityValue
        const char *sim;   // SimStateOf
    } cases[] = {
        {"EC25EFAR06A06M4G", "EC25EFAR06A06M4G", ""},
        {"+CGMR: 11.617.01.00.00", "11.617.01.00.00", ""},
        {"Revision: LE11B13SIM7600M22", "LE11B13SIM7600M22", ""},
        {"+CGSN: \"867962040123456\"", "867962040123456", ""},
        {"  867962040123456 ", "867962040123456", ""},
        {"+CCID: 89420012345678901234", "89420012345678901234", ""},
        {"^ICCID: 98683012345678901234", "98683012345678901234", ""},
        {"+ICCID: 8944500102198304826F", "8944500102198304826F", ""},
        {"OK", "", ""},
        {"ERROR", "", ""},
        {"+CPIN: READY", "READY", "READY"},
        {"+CPIN: SIM PIN", "SIM PIN", "SIM PIN"},
        {"+CME ERROR: 10", "", "not inserted"},
        {"+CME ERROR: SIM not inserted", "", "not inserted"},
        {"+CME ERROR: 13", "", "not inserted"},
        {"+CME ERROR: 3", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(IdentityValue(c.line), c.value) << c.line;
        EXPECT_EQ(SimStateOf(c.line), c.sim) << c.line;
    }
    EXPECT_EQ(SimProblemText(""), "");
    EXPECT_EQ(SimProblemText("READY"), "");
    EXPECT_EQ(SimProblemText("not inserted"), "no SIM card");
    EXPECT_EQ(SimProblemText("SIM PIN"), "SIM locked: the PIN is needed");
    EXPECT_EQ(SimProblemText("PH-SIM PIN"), "SIM not ready: PH-SIM PIN");
}

} // namespace
