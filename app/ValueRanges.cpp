#include "ValueRanges.h"

#include <array>

namespace {

// The design's ranges where it gives them (the +CSQ, +CREG and +CPAS fields,
// a grid row's raw level), else the reporting ranges of 3GPP (TS 45.008,
// 25.133, 36.133, 38.133, 38.101 and 23.003); a received level in dBm, which
// the standards bound only in their reporting tables, is taken as any level
// a receiver can measure.
constexpr std::array kRanges{
    TValueRange{TValueKind::Signal, "signal", 0, 96},
    TValueRange{TValueKind::BitErrorRate, "ber", 0, 7},
    TValueRange{TValueKind::Registration, "registration", -1, 5},
    TValueRange{TValueKind::Activity, "activity", -1, 4},
    TValueRange{TValueKind::GsmChannel, "channel", 0, 1023},
    TValueRange{TValueKind::GsmLevel, "rssi", 0, 63},
    TValueRange{TValueKind::GsmDbm, "dbm", -150, 0},
    TValueRange{TValueKind::C1, "c1", -200, 200},
    TValueRange{TValueKind::Mcc, "mcc", 0, 999},
    TValueRange{TValueKind::Mnc, "mnc", 0, 999},
    TValueRange{TValueKind::Area, "area", 0, 0xFFFFFF},            // 24-bit TAC, 16-bit LAC
    TValueRange{TValueKind::CellId, "cell_id", 0, 68719476735.0},   // 36-bit NR cell identity
    TValueRange{TValueKind::Pci, "pci", 0, 1007},                  // NR PCI; LTE 503, PSC 511, BSIC 63
    TValueRange{TValueKind::Channel, "channel", 0, 3279165},       // NR-ARFCN; EARFCN 262143
    TValueRange{TValueKind::RssiDbm, "rssi", -150, 0},
    TValueRange{TValueKind::Rsrp, "rsrp", -156, -31},              // NR; LTE -140 to -44
    TValueRange{TValueKind::Rsrq, "rsrq", -43, 20},                // NR; LTE -34 to 2.5
    TValueRange{TValueKind::Sinr, "sinr", -23, 40},
    TValueRange{TValueKind::Rscp, "rscp", -120, -25},
    TValueRange{TValueKind::EcNo, "ecno", -24, 0},
};

constexpr bool TableFollowsTheEnum()
{
    for (std::size_t i = 0; i < kRanges.size(); ++i)
        if (static_cast<std::size_t>(kRanges[i].kind) != i)
            return false;
    return true;
}
static_assert(TableFollowsTheEnum(), "one entry per value kind, in the order of the enum");

template <class T> void Clear(std::optional<T> &value, TValueKind kind)
{
    if (value && !InValueRange(kind, static_cast<double>(*value)))
        value.reset();
}

void Clear(std::int32_t value, bool &valid, TValueKind kind)
{
    if (valid && !InValueRange(kind, value))
        valid = false;
}

void ClearRow(TCellRow &row)
{
    if (!row.valid)
        return;
    if (row.c1 != kMissingInteger && !InValueRange(TValueKind::C1, row.c1))
        row.c1 = kMissingInteger;
    const bool inRange = InValueRange(TValueKind::GsmChannel, row.channel) &&
                         InValueRange(TValueKind::GsmLevel, row.rssi) && InValueRange(TValueKind::GsmDbm, row.dbm) &&
                         InValueRange(TValueKind::Mcc, row.mcc) && InValueRange(TValueKind::Mnc, row.mnc);
    row.valid = inRange;
}

// The channel, PCI and levels a cell, a neighbour and a carrier share.
template <class Cell> void ClearLevels(Cell &cell)
{
    Clear(cell.channel, TValueKind::Channel);
    Clear(cell.pci, TValueKind::Pci);
    Clear(cell.rssi, TValueKind::RssiDbm);
    Clear(cell.rsrp, TValueKind::Rsrp);
    Clear(cell.rsrq, TValueKind::Rsrq);
}

// The measures a serving cell and a neighbour share.
template <class Cell> void ClearMeasures(Cell &cell)
{
    ClearLevels(cell);
    Clear(cell.rscp, TValueKind::Rscp);
    Clear(cell.ecno, TValueKind::EcNo);
}

void ClearCell(TRadioCell &cell)
{
    ClearMeasures(cell);
    Clear(cell.mcc, TValueKind::Mcc);
    Clear(cell.mnc, TValueKind::Mnc);
    Clear(cell.area, TValueKind::Area);
    Clear(cell.cellId, TValueKind::CellId);
    Clear(cell.sinr, TValueKind::Sinr);
}

void ClearCarrier(TCarrier &carrier)
{
    ClearLevels(carrier);
    Clear(carrier.sinr, TValueKind::Sinr);
}

} // namespace

std::span<const TValueRange> ValueRanges() { return kRanges; }

const TValueRange &ValueRangeOf(TValueKind kind) { return kRanges[static_cast<std::size_t>(kind)]; }

bool InValueRange(TValueKind kind, double value)
{
    const TValueRange &range = ValueRangeOf(kind);
    return value >= range.low && value <= range.high; // false for NaN
}

void ClearOutOfRange(TNetState &state)
{
    Clear(state.signal, state.signalValid, TValueKind::Signal);
    Clear(state.ber, state.berValid, TValueKind::BitErrorRate);
    Clear(state.registration, state.registrationValid, TValueKind::Registration);
    Clear(state.activity, state.activityValid, TValueKind::Activity);
    for (TCellRow &row : state.cells)
        ClearRow(row);
    if (state.serving)
        ClearCell(*state.serving);
    if (state.secondary)
        ClearCell(*state.secondary);
    for (TNeighbourCell &cell : state.neighbours)
        ClearMeasures(cell);
    for (TCarrier &carrier : state.carriers)
        ClearCarrier(carrier);
}
