// The answers of the modems' own GNSS position queries, and the simulated
// answers read back by the same parsers.
#include "modems/common/GnssFix.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct GnssCase {
    const char *name;
    std::optional<TGnssFix> (*parse)(const std::string &);
    const char *line;
    std::optional<TGnssFix> fix;
};

TGnssFix Fix(double lat, double lon, std::optional<double> alt, std::optional<double> speed, int dimension,
             const char *time)
{
    return {lat, lon, alt, speed, dimension, time};
}

const GnssCase kCases[] = {
    {"QuectelThreeD", parseQgpslocExec, "+QGPSLOC: 021230.000,31.16557,121.22656,1.0,29.3,3,000.00,7.2,3.9,110518,05",
     Fix(31.16557, 121.22656, 29.3, 7.2, 3, "2018-05-11T02:12:30.000Z")},
    {"QuectelTwoDHasNoAltitude", parseQgpslocExec,
     "+QGPSLOC: 235959.500,-33.86785,-151.20732,2.1,12.0,2,090.00,0.0,0.0,311226,04",
     Fix(-33.86785, -151.20732, std::nullopt, 0.0, 2, "2026-12-31T23:59:59.500Z")},
    {"QuectelNoFix", parseQgpslocExec, "+CME ERROR: 516", std::nullopt},
    {"QuectelOtherMode", parseQgpslocExec, "+QGPSLOC: 021230.000,3109.9342N,12113.5936E,1.0,29.3,3,0,0,0,110518,05",
     std::nullopt},
    {"QuectelOutOfRange", parseQgpslocExec, "+QGPSLOC: 021230.000,91.0,12.0,1.0,29.3,3,0,0,0,110518,05", std::nullopt},
    {"QuectelBadDate", parseQgpslocExec, "+QGPSLOC: 021230.000,50.0,14.0,1.0,200,3,0,0,0,1105,05",
     Fix(50.0, 14.0, 200.0, 0.0, 3, "")},
    {"SimcomFix", parseCgpsinfoExec, "+CGPSINFO: 3113.343286,N,12121.234064,E,250311,072809.3,44.1,0.0,0",
     Fix(31 + 13.343286 / 60, 121 + 21.234064 / 60, 44.1, 0.0, 3, "2011-03-25T07:28:09.300Z")},
    {"SimcomSouthWestKnots", parseCgpsinfoExec, "+CGPSINFO: 3351.071000,S,15112.439200,W,091226,100000.0,,10.0,90",
     Fix(-(33 + 51.071 / 60), -(151 + 12.4392 / 60), std::nullopt, 18.52, 2, "2026-12-09T10:00:00.000Z")},
    {"SimcomNoFix", parseCgpsinfoExec, "+CGPSINFO: ,,,,,,,,", std::nullopt},
    {"SimcomBadHemisphere", parseCgpsinfoExec, "+CGPSINFO: 3113.343286,X,12121.234064,E,250311,072809.3,44.1,0.0,0",
     std::nullopt},
    {"SimcomMinutesTooLarge", parseCgpsinfoExec, "+CGPSINFO: 3160.5,N,12121.2,E,250311,072809.3,44.1,0.0,0",
     std::nullopt},
    {"OtherPrefix", parseCgpsinfoExec, "+QGPSLOC: 021230.000,31.1,121.2,1.0,29.3,3,0,0,0,110518,05", std::nullopt},
};

void ExpectFix(const std::optional<TGnssFix> &fix, const std::optional<TGnssFix> &expected)
{
    ASSERT_EQ(fix.has_value(), expected.has_value());
    if (!fix)
        return;
    EXPECT_NEAR(fix->lat, expected->lat, 1e-9);
    EXPECT_NEAR(fix->lon, expected->lon, 1e-9);
    ASSERT_EQ(fix->altM.has_value(), expected->altM.has_value());
    if (fix->altM) {
        EXPECT_NEAR(*fix->altM, *expected->altM, 1e-9);
    }
    ASSERT_EQ(fix->speedKmh.has_value(), expected->speedKmh.has_value());
    if (fix->speedKmh) {
        EXPECT_NEAR(*fix->speedKmh, *expected->speedKmh, 1e-9);
    }
    EXPECT_EQ(fix->dimension, expected->dimension);
    EXPECT_EQ(fix->time, expected->time);
}

class GnssAnswers : public testing::TestWithParam<GnssCase> {};

TEST_P(GnssAnswers, Parse)
{
    const GnssCase &c = GetParam();
    SCOPED_TRACE(c.line);
    ExpectFix(c.parse(c.line), c.fix);
}

INSTANTIATE_TEST_SUITE_P(Gnss, GnssAnswers, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GnssCase> &info) { return std::string(info.param.name); });

// The simulated answers of a position read back as that position, by the
// query's own parser; a malformed query is refused.
TEST(GnssSimulated, AnswersReadBackAsTheTruth)
{
    TRynSimTruth truth;
    truth.gnss = {50.09876, -14.43215, 251.5, 50, 135, "101112", "091226"};
    int mode = 2;
    bool used = false;
    const std::string model = "X";
    SimContext context{truth, model, true, 1, 1, mode, &used};
    struct Query {
        int (*answer)(const SimRequest &, SimContext &, std::vector<std::string> &);
        SimRequest request;
        std::optional<TGnssFix> (*parse)(const std::string &);
    };
    for (const Query &q : {Query{SimQgpsloc, {"=2", false, false, false, true, "2"}, parseQgpslocExec},
                           Query{SimCgpsinfo, {"", true, false, false, false, ""}, parseCgpsinfoExec}}) {
        used = false;
        std::vector<std::string> info;
        ASSERT_EQ(q.answer(q.request, context, info), kSimOk);
        ASSERT_EQ(info.size(), 1u);
        EXPECT_TRUE(used);
        const std::optional<TGnssFix> fix = q.parse(info[0]);
        ASSERT_TRUE(fix) << info[0];
        EXPECT_NEAR(fix->lat, 50.09876, 1e-5) << info[0];
        EXPECT_NEAR(fix->lon, -14.43215, 1e-5) << info[0];
        EXPECT_NEAR(fix->altM.value_or(0), 251.5, 0.05) << info[0];
        EXPECT_NEAR(fix->speedKmh.value_or(0), 50, 0.1) << info[0];
        EXPECT_EQ(fix->time, "2026-12-09T10:11:12.000Z") << info[0];
    }
    std::vector<std::string> info;
    EXPECT_EQ(SimQgpsloc({"=0", false, false, false, true, "0"}, context, info), kSimError);
    EXPECT_EQ(SimCgpsinfo({"=1", false, false, false, true, "1"}, context, info), kSimError);
    EXPECT_TRUE(info.empty());
}

} // namespace

namespace {

// NMEA sentences of a receiver on a serial port, fed in order; the reader's
// answer to the last line and the fix it then holds.
struct NmeaCase {
    const char *name;
    std::vector<std::string> lines;
    NmeaFixReader::Sentence last;
    std::optional<TGnssFix> fix;
};

using S = NmeaFixReader::Sentence;

const NmeaCase kNmeaCases[] = {
    {"GgaAloneHasNoSpeedNorDate",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62"},
     S::Fix,
     Fix(50.08, 14.42, 240.0, std::nullopt, 3, "")},
    {"RmcOfTheSameSecondCompletesIt",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62",
      "$GPRMC,100000.00,A,5004.8000,N,01425.2000,E,24.3,045.0,091226,,,A*6C"},
     S::Fix,
     Fix(50.08, 14.42, 240.0, 24.3 * 1.852, 3, "2026-12-09T10:00:00.000Z")},
    {"RmcFirstThenGgaSouthWest",
     {"$GNRMC,235959.50,A,3351.0710,S,15112.4392,W,10.0,090.0,311226,,,D*7B",
      "$GNGGA,235959.50,3351.0710,S,15112.4392,W,2,05,1.2,12.0,M,20.0,M,,*45"},
     S::Fix,
     Fix(-(33 + 51.071 / 60), -(151 + 12.4392 / 60), 12.0, 18.52, 3, "2026-12-31T23:59:59.500Z")},
    {"RmcOfAnotherSecondIsAPositionOfItsOwn",
     {"$GPGGA,100010.00,5004.8000,N,01425.2000,E,1,04,1.5,240.0,M,45.0,M,,*62",
      "$GPRMC,100011.00,A,5004.9000,N,01425.3000,E,0.0,0.0,091226,,,A*58"},
     S::Fix,
     Fix(50.0 + 4.9 / 60, 14.0 + 25.3 / 60, std::nullopt, 0.0, 2, "2026-12-09T10:00:11.000Z")},
    {"GsaSaysTwoD",
     {"$GPGSA,A,2,01,02,03,,,,,,,,,,2.0,1.5,1.2*36",
      "$GPGGA,100010.00,5004.8000,N,01425.2000,E,1,04,1.5,240.0,M,45.0,M,,*62"},
     S::Fix,
     Fix(50.08, 14.42, std::nullopt, std::nullopt, 2, "")},
    {"QualityZeroEndsTheFix",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62",
      "$GPGGA,100000.00,,,,,0,00,99.9,,M,,M,,*5E"},
     S::NoFix,
     std::nullopt},
    {"StatusVEndsTheFix",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62",
      "$GPRMC,100000.00,V,,,,,,,091226,,,N*72"},
     S::NoFix,
     std::nullopt},
    {"WrongChecksumIsRefused",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*63"},
     S::Bad,
     std::nullopt},
    {"NoChecksumIsRefused",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,"},
     S::Bad,
     std::nullopt},
    {"GarbageKeepsTheFix",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62", "\x7f\x13$GP\xff*zz", ""},
     S::Bad,
     Fix(50.08, 14.42, 240.0, std::nullopt, 3, "")},
    {"SatellitesTellNoPosition",
     {"$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74"},
     S::Ignored,
     std::nullopt},
    {"BadHemisphereIsNoFix",
     {"$GPGGA,100000.00,5004.8000,X,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*74"},
     S::NoFix,
     std::nullopt},
    {"CarriageReturnIsTrimmed",
     {"$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*62\r"},
     S::Fix,
     Fix(50.08, 14.42, 240.0, std::nullopt, 3, "")},
};

class NmeaSentences : public testing::TestWithParam<NmeaCase> {};

TEST_P(NmeaSentences, Read)
{
    const NmeaCase &c = GetParam();
    NmeaFixReader reader;
    S last = S::Ignored;
    for (const std::string &line : c.lines)
        last = reader.Take(line);
    EXPECT_EQ(last, c.last);
    ExpectFix(reader.Fix(), c.fix);
}

INSTANTIATE_TEST_SUITE_P(Gnss, NmeaSentences, testing::ValuesIn(kNmeaCases),
                         [](const testing::TestParamInfo<NmeaCase> &info) { return std::string(info.param.name); });

} // namespace
