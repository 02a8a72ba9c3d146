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

// A GPS receiver's NMEA 0183 sentences (--gps /dev/ttyUSB1), read one line
// at a time: $..GGA (position, fix quality, altitude) and $..RMC (status,
// speed, date) of any talker (GP, GN, GL...), $..GSA for 2D or 3D. A line
// counts only with its checksum right; a GGA of quality 0 or an RMC of
// status V means no fix. The fix takes the speed and the date of the RMC
// of the same second, whichever of the two came first.
class NmeaFixReader {
public:
    enum class Sentence {
        Bad,     // no sentence, or its checksum is wrong
        Ignored, // a sentence with a right checksum that tells no position
        Fix,     // a position now
        NoFix,   // the receiver says it has none
    };

    Sentence Take(const std::string &line);
    // The position of the last GGA or RMC; none after one without a fix.
    const std::optional<TGnssFix> &Fix() const { return m_fix; }

private:
    std::optional<TGnssFix> m_fix;
    std::string m_fixUtc;      // hhmmss of m_fix
    std::string m_date;        // ddmmyy of the last RMC
    std::string m_rmcUtc;      // hhmmss of the last RMC with a fix
    std::optional<double> m_rmcSpeedKmh;
    std::optional<int> m_dimension; // of the last GSA
};

// The simulated answers from the truth's position: AT+QGPSLOC=2 and
// AT+CGPSINFO. Asking marks the receiver as used (SimContext::gnssUsed), so
// the simulated signal follows the route from then on.
int SimQgpsloc(const SimRequest &request, SimContext &context, std::vector<std::string> &info);
int SimCgpsinfo(const SimRequest &request, SimContext &context, std::vector<std::string> &info);
