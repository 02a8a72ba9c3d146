#include "modems/design/DesignParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

// ---------------------------------------------------------------- the design's family

void FillCellsFromRows(TNetState &state)
{
    const TCellRow &row0 = state.cells[0];
    if (row0.valid) {
        TRadioCell cell;
        cell.rat = TRadioTech::Gsm;
        cell.mcc = NonNegative(row0.mcc);
        cell.mnc = NonNegative(row0.mnc);
        cell.channel = NonNegative(row0.channel);
        cell.band = DesignBand(row0.channel);
        cell.rssi = row0.dbm;
        if (state.serving) {
            cell.area = state.serving->area;
            cell.cellId = state.serving->cellId;
        }
        state.serving = cell;
        state.rat = TRadioTech::Gsm;
    }
    state.neighbours.clear();
    for (int i = 1; i < kNetStateCellCount; ++i) {
        const TCellRow &row = state.cells[i];
        if (!row.valid)
            continue;
        TNeighbourCell cell;
        cell.rat = TRadioTech::Gsm;
        cell.channel = NonNegative(row.channel);
        cell.rssi = row.dbm;
        state.neighbours.push_back(cell);
    }
}

void parseMoniCellIdentity(const std::string &line, TNetState &state)
{
    // chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev  C1
    //  1011 29  -79   262  02   0084 4A3E 7   7   33  -105   26 | No connection
    //         -> area 0x0084, cell id 0x4A3E
    //   10 21  -80   ---  --   ---- ---- ...   not registered: nothing
    // A line whose first column is not a channel number (a header, "Searching")
    // is left alone.
    std::vector<std::string_view> columns;
    std::string_view s = TrimmedControl(line);
    while (!s.empty() && columns.size() < 7) {
        const std::size_t end = s.find_first_of(" \t");
        columns.push_back(s.substr(0, end));
        s = end == std::string_view::npos ? std::string_view() : TrimmedControl(s.substr(end));
    }
    if (columns.size() < 7 || !DecimalOf(columns[0]))
        return;
    const Int area = AreaOf(columns[5]);
    const Int cellId = CellIdOf(columns[6]);
    if (!area && !cellId)
        return;
    if (!state.serving)
        state.serving = TRadioCell{};
    if (area)
        state.serving->area = area;
    if (cellId)
        state.serving->cellId = cellId;
}

void CompleteGeneralCells(TNetState &state)
{
    if (!state.serving && state.cells[0].valid)
        FillCellsFromRows(state);
    if (state.rat == TRadioTech::Unknown)
        state.rat = state.copsRat;
}
