#include "modems/nordic/NordicParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

// ---------------------------------------------------------------- Nordic %XMONITOR

void parseXmonitorLine(const std::string &line, TNetState &state)
{
    // %XMONITOR: 1,"EDAV","EDAV","26295","00B7",7,4,"00011B07",7,2300,63,39,"","11100000","11100000","00100110"
    // %XMONITOR: 1,"","","52501","0287",9,8,"0B2A3127",288,3716,40,0,...      NB-IoT
    // %XMONITOR: 2                                                            searching: nothing more
    const std::optional<std::string_view> body = BodyAfter(line, "%XMONITOR:");
    if (!body)
        return;
    const TFields f(*body);
    const Int status = DecimalOf(f[0]);
    if (!(status == 1 || status == 5) || f.size() < 12)
        return;
    const Int act = DecimalOf(f[5]);
    const TRadioTech rat = act == 7 ? TRadioTech::Lte : act == 9 ? TRadioTech::NbIot : TRadioTech::Unknown;
    if (rat == TRadioTech::Unknown)
        return;
    TRadioCell cell = CellOfLayout(f, 0, rat, {.area = 4, .cellId = 7, .pci = 8, .channel = 9, .band = 6,
                                                .bandPrefix = "B"});
    SetPlmn(cell, PlmnOfText(f[3]));
    cell.rsrp = IndexValue(f[10], 97, 1.0, -141.0);
    cell.sinr = IndexValue(f[11], 49, 1.0, -25.0);
    state.serving = cell;
    SetAnchorRat(state, rat);
}
