#pragma once
// The modem's own GNSS receiver (--gps modem): the answers of the position
// queries some families have (Quectel AT+QGPSLOC=2, SIMCom AT+CGPSINFO),
// and their simulated answers along a route. The session asks once per
// cycle only when the user turned the option on, and never switches the
// receiver on itself.

#include "modems/common/SimRadio.h"

#include <optional>
#include <string>
#include <vector>

struct TGnssFix {
    double lat = 0; // degrees, WGS84; south negative
    double lon = 0; // degrees; west negative
    std::optional<double> altM;
    std::optional<double> speedKmh;
    int dimension = 2;   // 2 or 3
    std::string time;    // "2026-12-09T10:00:09.000Z"; empty when not told

    bool operator==(const TGnssFix &) const = default;
};

// "+QGPSLOC: <UTC>,<lat>,<lon>,<hdop>,<alt>,<fix>,<cog>,<spkm>,<spkn>,<date>,<nsat>"
// (mode 2: degrees with a sign); nullopt for any other line, such as the
// "+CME ERROR: 516" of a receiver without a fix.
std::optional<TGnssFix> parseQgpslocExec(const std::string &line);

// "+CGPSINFO: <lat>,<N/S>,<lon>,<E/W>,<date>,<UTC>,<alt>,<speed>,<course>"
// (ddmm.mmmmmm, dddmm.mmmmmm, knots); nullopt for the empty fields of a
// receiver without a fix and for any other line.
std::optional<TGnssFix> parseCgpsinfoExec(const std::string &line);

// The simulated answers from the truth's position: AT+QGPSLOC=2 and
// AT+CGPSINFO. Asking marks the receiver as used (SimContext::gnssUsed), so
// the simulated signal follows the route from then on.
int SimQgpsloc(const SimRequest &request, SimContext &context, std::vector<std::string> &info);
int SimCgpsinfo(const SimRequest &request, SimContext &context, std::vector<std::string> &info);
