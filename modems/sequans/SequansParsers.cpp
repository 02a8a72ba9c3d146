#include "modems/sequans/SequansParsers.h"

#include "modems/common/CellFields.h"

#include <sstream>

using namespace cellfields;

namespace {

// A TAC of digits only is decimal (captures: 31, 678, 64503); one with hex
// letters or "0x" is hex.
Int SequansTac(std::string_view t)
{
    const bool hex = t.find_first_of("abcdefABCDEFxX") != std::string_view::npos;
    if (IsNoValue(t, FieldKind::Area))
        return std::nullopt;
    return hex ? HexOf(t) : DecimalOrHexOfKind(t, FieldKind::Area);
}

} // namespace

// ---------------------------------------------------------------- Sequans +SQNMONI

void parseSqnmoniLine(const std::string &line, TNetState &state)
{
    // +SQNMONI: Singtel Cc:525 Nc:01 RSRP:-78.40 RSRQ:-15.60 TAC:678 Id:472 EARFCN:3716 PWR:-55.02 PAGING:256 CID:0xB36BC27 BAND:8 BW:20000
    // +SQNMONI: NL KPN Cc:204 Nc:08 RSRP:-90.00 CINR:18.00 RSRQ:-7.70 TAC:64503 Id:176 EARFCN:6400 PWR:-74.52 PAGING:64
    const std::optional<std::string_view> body = BodyAfter(line, "+SQNMONI:");
    if (!body)
        return;
    std::istringstream words{std::string(*body)};
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    std::string mcc;
    std::string mnc;
    bool labelled = false;
    for (std::string word; words >> word;) {
        const std::size_t colon = word.find(':');
        if (colon == std::string::npos || colon == 0)
            continue; // a word of the network name
        const std::string label = word.substr(0, colon);
        const std::string_view value = std::string_view(word).substr(colon + 1);
        bool known = true;
        if (label == "Cc")
            mcc = value;
        else if (label == "Nc")
            mnc = value;
        else if (label == "RSRP")
            cell.rsrp = LteRsrpDbm(value);
        else if (label == "RSRQ")
            cell.rsrq = LteRsrqDb(value);
        else if (label == "CINR")
            cell.sinr = MeasureIn(value, -20, 40);
        else if (label == "TAC")
            cell.area = SequansTac(value);
        else if (label == "Id")
            cell.pci = IntegerOf(value);
        else if (label == "EARFCN")
            cell.channel = IntegerOf(value);
        else if (label == "PWR")
            cell.rssi = PowerDbm(value);
        else if (label == "CID")
            cell.cellId = DecimalOrHexOfKind(value, FieldKind::CellId);
        else if (label == "BAND")
            cell.band = BandNamed("B", IntegerOf(value));
        else
            known = label == "PAGING" || label == "BW";
        labelled = labelled || known;
    }
    if (!labelled)
        return;
    SetPlmn(cell, PlmnOf(mcc, mnc));
    state.serving = cell;
    SetAnchorRat(state, TRadioTech::Lte);
}
