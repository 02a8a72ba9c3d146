#include "modems/huawei/HuaweiCarriers.h"

#include "modems/common/CarrierFields.h"
#include "modems/common/CellFields.h"

#include <vector>

using namespace cellfields;

bool parseLcacell(const std::string &line, TNetState &state)
{
    const auto body = BodyAfter(line, "^LCACELL:");
    if (!body)
        return false;
    const TFields f(*body);
    std::vector<TCarrier> secondary;
    for (std::size_t i = 0; i < f.size(); ++i) {
        // "<cell> <ul cfg> <dl cfg> <active>", apart by blanks.
        std::vector<Int> numbers;
        std::string_view rest = f[i];
        while (!rest.empty()) {
            const std::size_t blank = rest.find(' ');
            if (const std::string_view word = rest.substr(0, blank); !word.empty())
                numbers.push_back(DecimalOf(word));
            rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        }
        if (numbers.size() == 4 && numbers[0] && *numbers[0] > 0 && numbers[2] == 1)
            secondary.push_back(LteCarrier(TCarrierRole::Secondary));
    }
    if (secondary.empty())
        return true;
    const bool lte = state.serving && state.serving->rat == TRadioTech::Lte;
    AppendCarrier(state, lte ? CarrierOfCell(TCarrierRole::Primary, *state.serving)
                             : LteCarrier(TCarrierRole::Primary));
    for (const TCarrier &carrier : secondary)
        AppendCarrier(state, carrier);
    return true;
}
