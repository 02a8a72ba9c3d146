// The range table: every kind keeps its two ends and loses the value just
// outside them and the 32-bit sentinels, in the field of the record where
// that kind lives.
#include "ValueRanges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <string>

namespace {

// Puts a value into the field of a kind; tells whether the field still
// holds that value as known.
struct FieldAccess {
    std::function<void(TNetState &, double)> put;
    std::function<bool(const TNetState &, double)> known;
};

TCellRow GoodRow() { return TCellRow{true, 62, 30, -78, 27, 262, 1}; }

// A grid row column: the row stays valid only while the column is good.
FieldAccess RowColumn(std::int32_t TCellRow::*column)
{
    return {[column](TNetState &s, double v) {
                s.cells[3] = GoodRow();
                s.cells[3].*column = static_cast<std::int32_t>(v);
            },
            [column](const TNetState &s, double v) {
                return s.cells[3].valid && s.cells[3].*column == static_cast<std::int32_t>(v);
            }};
}

template <class T> FieldAccess Serving(std::optional<T> TRadioCell::*field)
{
    return {[field](TNetState &s, double v) {
                s.serving.emplace();
                (*s.serving).*field = static_cast<T>(v);
                s.secondary = s.serving;
            },
            [field](const TNetState &s, double v) {
                return s.serving && ((*s.serving).*field) == static_cast<T>(v) && ((*s.secondary).*field).has_value();
            }};
}

FieldAccess Flagged(std::int32_t TNetState::*value, bool TNetState::*valid)
{
    return {[=](TNetState &s, double v) {
                s.*value = static_cast<std::int32_t>(v);
                s.*valid = true;
            },
            [=](const TNetState &s, double v) { return s.*valid && s.*value == static_cast<std::int32_t>(v); }};
}

const std::map<TValueKind, FieldAccess> &Access()
{
    static const std::map<TValueKind, FieldAccess> access{
        {TValueKind::Signal, Flagged(&TNetState::signal, &TNetState::signalValid)},
        {TValueKind::BitErrorRate, Flagged(&TNetState::ber, &TNetState::berValid)},
        {TValueKind::Registration, Flagged(&TNetState::registration, &TNetState::registrationValid)},
        {TValueKind::Activity, Flagged(&TNetState::activity, &TNetState::activityValid)},
        {TValueKind::GsmChannel, RowColumn(&TCellRow::channel)},
        {TValueKind::GsmLevel, RowColumn(&TCellRow::rssi)},
        {TValueKind::GsmDbm, RowColumn(&TCellRow::dbm)},
        // C1 alone: the row stays, C1 becomes missing.
        {TValueKind::C1,
         {[](TNetState &s, double v) {
              s.cells[2] = GoodRow();
              s.cells[2].c1 = static_cast<std::int32_t>(v);
          },
          [](const TNetState &s, double v) {
              EXPECT_TRUE(s.cells[2].valid) << "a bad C1 took the row with it";
              return s.cells[2].c1 == static_cast<std::int32_t>(v);
          }}},
        {TValueKind::Mcc, Serving(&TRadioCell::mcc)},
        {TValueKind::Mnc, Serving(&TRadioCell::mnc)},
        {TValueKind::Area, Serving(&TRadioCell::area)},
        {TValueKind::CellId, Serving(&TRadioCell::cellId)},
        {TValueKind::Pci, Serving(&TRadioCell::pci)},
        {TValueKind::Channel,
         {[](TNetState &s, double v) {
              s.serving.emplace().channel = static_cast<std::int32_t>(v);
              s.neighbours.assign(2, TNeighbourCell{});
              s.neighbours[1].channel = static_cast<std::int32_t>(v);
          },
          [](const TNetState &s, double v) {
              const bool neighbour = s.neighbours.size() == 2 && s.neighbours[1].channel.has_value();
              EXPECT_EQ(neighbour, s.serving->channel.has_value()) << "neighbour and serving cell judged apart";
              return s.serving->channel == static_cast<std::int32_t>(v);
          }}},
        {TValueKind::RssiDbm, Serving(&TRadioCell::rssi)},
        {TValueKind::Rsrp,
         {[](TNetState &s, double v) {
              s.serving.emplace().rsrp = v;
              s.neighbours.assign(1, TNeighbourCell{});
              s.neighbours[0].rsrp = v;
          },
          [](const TNetState &s, double v) { return s.serving->rsrp == v && s.neighbours[0].rsrp == v; }}},
        {TValueKind::Rsrq, Serving(&TRadioCell::rsrq)},
        {TValueKind::Sinr, Serving(&TRadioCell::sinr)},
        {TValueKind::Rscp, Serving(&TRadioCell::rscp)},
        {TValueKind::EcNo, Serving(&TRadioCell::ecno)},
    };
    return access;
}

TEST(ValueRanges, EveryKindKeepsItsEndsAndLosesWhatLiesOutside)
{
    ASSERT_EQ(Access().size(), ValueRanges().size()) << "a kind of the table has no field in this test";
    constexpr double kInt32Min = std::numeric_limits<std::int32_t>::min();
    constexpr double kInt32Max = std::numeric_limits<std::int32_t>::max();
    for (const TValueRange &range : ValueRanges()) {
        SCOPED_TRACE(range.name);
        const FieldAccess &field = Access().at(range.kind);
        const double step = std::floor(range.low) == range.low && std::floor(range.high) == range.high ? 1 : 0.5;
        const std::map<double, bool> cases{{range.low, true},         {range.high, true},
                                           {range.low - step, false}, {range.high + step, false},
                                           {kInt32Min, false},        {kInt32Max, range.high >= kInt32Max}};
        for (const auto &[value, keep] : cases) {
            TNetState state;
            field.put(state, value);
            ClearOutOfRange(state);
            EXPECT_EQ(field.known(state, value), keep) << "value " << value;
        }
    }
}

TEST(ValueRanges, TheDesignsRangesHold)
{
    EXPECT_EQ(ValueRangeOf(TValueKind::Signal).high, 96);
    EXPECT_EQ(ValueRangeOf(TValueKind::BitErrorRate).high, 7);
    EXPECT_EQ(ValueRangeOf(TValueKind::Registration).low, -1);
    EXPECT_EQ(ValueRangeOf(TValueKind::Registration).high, 5);
    EXPECT_EQ(ValueRangeOf(TValueKind::GsmLevel).high, 63);
    EXPECT_FALSE(InValueRange(TValueKind::Rsrp, std::nan("")));
}

} // namespace
