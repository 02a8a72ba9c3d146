#include "modems/common/GnssFix.h"

#include "modems/common/CellFields.h"

#include <cmath>
#include <cstdlib>

namespace {

std::vector<std::string> Fields(const std::string &line, const char *prefix)
{
    const std::string head(prefix);
    if (line.compare(0, head.size(), head) != 0)
        return {};
    std::vector<std::string> fields(1);
    for (std::size_t i = head.size(); i < line.size(); ++i) {
        if (line[i] == ',')
            fields.emplace_back();
        else if (line[i] != ' ' || !fields.back().empty())
            fields.back() += line[i];
    }
    return fields;
}

std::optional<double> Number(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "ddmmyy" and "hhmmss[.s]" as "20yy-mm-ddThh:mm:ss.sssZ"; empty when
// either is malformed.
std::string IsoTime(const std::string &date, const std::string &utc)
{
    if (date.size() != 6 || utc.size() < 6)
        return {};
    const std::optional<double> seconds = Number(utc.substr(4));
    for (char c : date + utc.substr(0, 4))
        if (c < '0' || c > '9')
            return {};
    if (!seconds || *seconds < 0 || *seconds >= 61)
        return {};
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "20%s-%s-%sT%s:%s:%06.3fZ", date.substr(4, 2).c_str(),
                  date.substr(2, 2).c_str(), date.substr(0, 2).c_str(), utc.substr(0, 2).c_str(),
                  utc.substr(2, 2).c_str(), *seconds);
    return buffer;
}

// ddmm.mmmm (or dddmm.mmmm) with its hemisphere as signed degrees.
std::optional<double> Degrees(const std::string &text, const std::string &hemisphere, double limit)
{
    const std::optional<double> value = Number(text);
    if (!value || *value < 0 || (hemisphere != "N" && hemisphere != "S" && hemisphere != "E" && hemisphere != "W"))
        return std::nullopt;
    const double degrees = std::floor(*value / 100);
    const double minutes = *value - degrees * 100;
    const double result = degrees + minutes / 60;
    if (minutes >= 60 || result > limit)
        return std::nullopt;
    return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

bool Valid(double lat, double lon) { return std::abs(lat) <= 90 && std::abs(lon) <= 180; }

std::string Minutes(double degrees, int width)
{
    const double a = std::abs(degrees);
    const double whole = std::floor(a);
    return simtext::Format(width == 2 ? "%02.0f%09.6f" : "%03.0f%09.6f", whole, (a - whole) * 60);
}

constexpr double kKnotKmh = 1.852;

} // namespace

std::optional<TGnssFix> parseQgpslocExec(const std::string &line)
{
    const std::vector<std::string> f = Fields(line, "+QGPSLOC:");
    if (f.size() < 11)
        return std::nullopt;
    const std::optional<double> lat = Number(f[1]);
    const std::optional<double> lon = Number(f[2]);
    const std::optional<double> mode = Number(f[5]);
    if (!lat || !lon || !Valid(*lat, *lon) || !mode || (*mode != 2 && *mode != 3))
        return std::nullopt;
    TGnssFix fix;
    fix.lat = *lat;
    fix.lon = *lon;
    fix.dimension = int(*mode);
    if (fix.dimension == 3)
        fix.altM = Number(f[4]);
    fix.speedKmh = Number(f[7]);
    fix.time = IsoTime(f[9], f[0]);
    return fix;
}

std::optional<TGnssFix> parseCgpsinfoExec(const std::string &line)
{
    const std::vector<std::string> f = Fields(line, "+CGPSINFO:");
    if (f.size() < 9)
        return std::nullopt;
    const std::optional<double> lat = Degrees(f[0], f[1], 90);
    const std::optional<double> lon = Degrees(f[2], f[3], 180);
    if (!lat || !lon)
        return std::nullopt;
    TGnssFix fix;
    fix.lat = *lat;
    fix.lon = *lon;
    fix.altM = Number(f[6]);
    // The answer has no fix mode: an altitude makes it a 3D fix.
    fix.dimension = fix.altM ? 3 : 2;
    if (const std::optional<double> knots = Number(f[7]))
        fix.speedKmh = *knots * kKnotKmh;
    fix.time = IsoTime(f[4], f[5]);
    return fix;
}

namespace {

// The fields of "$GPGGA,...*hh" between '$' and '*' when the checksum (the
// XOR of those bytes) is right; empty otherwise.
std::vector<std::string> NmeaFields(const std::string &line)
{
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const std::size_t star = text.rfind('*');
    if (text.size() < 7 || text[0] != '$' || star == std::string::npos || star + 3 != text.size())
        return {};
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(text[i]);
    char *end = nullptr;
    const std::string given = text.substr(star + 1);
    const unsigned long stated = std::strtoul(given.c_str(), &end, 16);
    if (end != given.c_str() + given.size() || stated != sum)
        return {};
    std::vector<std::string> fields(1);
    for (std::size_t i = 1; i < star; ++i) {
        if (text[i] == ',')
            fields.emplace_back();
        else
            fields.back() += text[i];
    }
    return fields;
}

// The sentence type without its talker: "GPGGA" → "GGA".
std::string NmeaType(const std::string &address)
{
    return address.size() == 5 ? address.substr(2) : std::string();
}

// "hhmmss.ss" → "hhmmss", the second the sentence belongs to.
std::string NmeaSecond(const std::string &utc) { return utc.size() >= 6 ? utc.substr(0, 6) : std::string(); }

} // namespace

NmeaFixReader::Sentence NmeaFixReader::Take(const std::string &line)
{
    const std::vector<std::string> f = NmeaFields(line);
    if (f.empty())
        return Sentence::Bad;
    const std::string type = NmeaType(f[0]);
    if (type == "GSA" && f.size() >= 3) {
        const std::optional<double> mode = Number(f[2]);
        m_dimension = mode && (*mode == 2 || *mode == 3) ? std::optional(int(*mode)) : std::nullopt;
        return Sentence::Ignored;
    }
    if (type == "GGA" && f.size() >= 10) {
        const std::optional<double> quality = Number(f[6]);
        const std::optional<double> lat = Degrees(f[2], f[3], 90);
        const std::optional<double> lon = Degrees(f[4], f[5], 180);
        if (!quality || *quality == 0 || !lat || !lon) {
            m_fix.reset();
            return Sentence::NoFix;
        }
        TGnssFix fix;
        fix.lat = *lat;
        fix.lon = *lon;
        fix.altM = Number(f[9]);
        // A GGA tells no 2D or 3D: the last GSA does, else the altitude.
        fix.dimension = m_dimension.value_or(fix.altM ? 3 : 2);
        if (fix.dimension < 3)
            fix.altM.reset();
        m_fixUtc = NmeaSecond(f[1]);
        if (!m_fixUtc.empty() && m_fixUtc == m_rmcUtc) {
            fix.speedKmh = m_rmcSpeedKmh;
            fix.time = IsoTime(m_date, f[1]);
        }
        m_fix = fix;
        return Sentence::Fix;
    }
    if (type == "RMC" && f.size() >= 10) {
        const std::optional<double> lat = Degrees(f[3], f[4], 90);
        const std::optional<double> lon = Degrees(f[5], f[6], 180);
        if (f[2] != "A" || !lat || !lon) {
            m_fix.reset();
            m_rmcUtc.clear();
            return Sentence::NoFix;
        }
        m_date = f[9];
        m_rmcUtc = NmeaSecond(f[1]);
        m_rmcSpeedKmh.reset();
        if (const std::optional<double> knots = Number(f[7]))
            m_rmcSpeedKmh = *knots * kKnotKmh;
        // The GGA of the same second keeps its altitude and dimension.
        if (!m_fix || m_fixUtc != m_rmcUtc) {
            // No altitude without a GGA: a 2D position.
            m_fix = TGnssFix{*lat, *lon, std::nullopt, std::nullopt, 2, {}};
            m_fixUtc = m_rmcUtc;
        }
        m_fix->speedKmh = m_rmcSpeedKmh;
        m_fix->time = IsoTime(m_date, f[1]);
        return Sentence::Fix;
    }
    return Sentence::Ignored;
}

int SimQgpsloc(const SimRequest &r, SimContext &context, std::vector<std::string> &info)
{
    if (r.test)
        return kSimOk;
    if (!r.set || r.args != "2")
        return kSimError;
    if (context.gnssUsed)
        *context.gnssUsed = true;
    const TRynSimGnss &g = context.truth.gnss;
    info.push_back(simtext::Format("+QGPSLOC: %s.000,%.5f,%.5f,0.9,%.1f,3,%06.2f,%.1f,%.1f,%s,08", g.utc.c_str(),
                                   g.lat, g.lon, g.altM, g.courseDeg, g.speedKmh, g.speedKmh / kKnotKmh,
                                   g.date.c_str()));
    return kSimOk;
}

int SimCgpsinfo(const SimRequest &r, SimContext &context, std::vector<std::string> &info)
{
    if (r.test)
        return kSimOk;
    if (!r.exec)
        return kSimError;
    if (context.gnssUsed)
        *context.gnssUsed = true;
    const TRynSimGnss &g = context.truth.gnss;
    info.push_back(simtext::Format("+CGPSINFO: %s,%c,%s,%c,%s,%s.0,%.1f,%.1f,%.1f", Minutes(g.lat, 2).c_str(),
                                   g.lat < 0 ? 'S' : 'N', Minutes(g.lon, 3).c_str(), g.lon < 0 ? 'W' : 'E',
                                   g.date.c_str(), g.utc.c_str(), g.altM, g.speedKmh / kKnotKmh, g.courseDeg));
    return kSimOk;
}
