// palvex-sim-answers: prints what the simulated modem answers, model by
// model, to every command a session or a user sends it, for a number of
// poll cycles from a fixed seed. Two builds that print the same bytes
// simulate the same modems; a change to the simulator that should not alter
// any answer is checked by comparing the output before and after it.
//
//   palvex-sim-answers [cycles] [seed]     (20 cycles from seed 7 by default)

#include "RynSimModemEngine.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Every command the session or the simulator knows, in the form each takes.
const std::vector<std::string> kCommands = {
    "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS",
    "AT+CGMI", "AT+CGMM", "AT+CGMR", "AT+CGSN", "AT+CESQ", "AT^MONI", "AT^MONP", "AT^SMONP", "AT^SMONI",
    "AT+CPSI?", "AT+QENG=\"servingcell\"", "AT+QENG=\"neighbourcell\"", "AT+QENG=?", "AT^MONSC", "AT^MONNC",
    "AT+UCGED?", "AT+UCGED=5", "AT+UCGED?", "AT+UCGED=2", "AT+UCGED=?", "AT#RFSTS", "AT!GSTATUS?",
    "AT+GTCCINFO?", "AT+CREG=2", "AT+CREG?", "AT+CREG=0", "AT+COPS=?",
};

// The catch-all row of the model table answers for any other model name.
const char *const kOtherModel = "MC55";

std::string Visible(const std::string &bytes)
{
    std::string out;
    for (char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n\n";
        else
            out += c;
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 20;
    const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 7);
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models()) {
        const std::string model = *info.model ? info.model : kOtherModel;
        std::printf("==== %s\n", model.c_str());
        TRynSimModemEngine engine(seed);
        engine.SetModel(model);
        std::printf("%s", Visible(engine.Feed("ATE0\r")).c_str());
        for (int cycle = 0; cycle < cycles; ++cycle) {
            std::printf("---- cycle %d\n", cycle);
            for (const std::string &command : kCommands)
                std::printf("> %s\n%s", command.c_str(), Visible(engine.Feed(command + "\r")).c_str());
        }
    }
    return 0;
}
