#pragma once
// The display record a session must show for what the simulated modem last
// reported.

#include "NetState.h"
#include "RynSimModemEngine.h"
#include "modems/design/DesignParsers.h"

inline TNetState Expected(const TRynSimTruth &t)
{
    TNetState r;
    r.MarkAllInvalid();
    r.signal = (t.rssi >= 0 && t.rssi <= 31) ? t.rssi * 100 / 32 : 0;
    r.signalValid = true;
    r.ber = (t.ber >= 0 && t.ber <= 7) ? t.ber : 0;
    r.berValid = true;
    r.registration = t.registration;
    r.registrationValid = true;
    r.activity = (t.activity == 0 || t.activity == 3 || t.activity == 4) ? t.activity : -1;
    r.activityValid = true;
    const bool registered = t.registration != 0;
    r.operatorName = registered ? t.operatorName : "?";
    r.operatorNameValid = true;
    r.operatorCode = registered ? t.operatorCode : "?";
    r.operatorCodeValid = true;
    for (int i = 0; registered && i < t.cellCount && i < kNetStateCellCount; ++i) {
        const TRynSimCell &c = t.cells[std::size_t(i)];
        r.cells[std::size_t(i)] = {true, c.channel, c.rssi, c.dbm, c.c1, c.mcc, c.mnc};
    }
    CompleteGeneralCells(r);
    return r;
}

// Invalid rows compare by their flag only.
inline TNetState WithoutStaleRows(TNetState shown, const TNetState &expected)
{
    for (std::size_t i = 0; i < shown.cells.size(); ++i)
        if (!shown.cells[i].valid && !expected.cells[i].valid)
            shown.cells[i] = expected.cells[i];
    return shown;
}
