#pragma once
// A GPS receiver beside the modem (gpsd, an NMEA serial port): the owner
// takes its newest fix for each record without ever waiting on it, and tells
// the user when the receiver's state changes. A fix older than kStaleAfter
// (a receiver that went quiet) is no position.

#include "modems/common/GnssFix.h"

#include <QString>

#include <chrono>
#include <optional>

class PositionSource {
public:
    static constexpr std::chrono::seconds kStaleAfter{5};

    virtual ~PositionSource() = default;

    // The newest fix, when it is fresh.
    virtual std::optional<TGnssFix> Position() const = 0;

    // What the user is told: a line when the state of the receiver changed
    // since the last call ("positions from gpsd at localhost:2947", "cannot
    // open NMEA port /dev/ttyUSB1: ..."), else empty.
    QString TakeStatusChange()
    {
        const QString state = State();
        if (state.isEmpty() || state == m_shownState)
            return {};
        m_shownState = state;
        return state;
    }

protected:
    // The receiver's state in words; empty while there is nothing to tell
    // yet.
    virtual QString State() const = 0;

private:
    QString m_shownState;
};
