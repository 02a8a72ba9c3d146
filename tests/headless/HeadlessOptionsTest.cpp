// The headless option parser.
#include "HeadlessMain.h"

#include <gtest/gtest.h>

#include <string>

struct OptionCase {
    const char *name;
    QStringList arguments;
    HeadlessParse result;
    const char *errorPart; // for Error: a piece of the message
};

class HeadlessOptionsCase : public ::testing::TestWithParam<OptionCase> {};

TEST_P(HeadlessOptionsCase, Parses)
{
    HeadlessOptions options;
    QString text;
    const HeadlessParse result = ParseHeadlessOptions(QStringList{"palvex"} + GetParam().arguments, options, text);
    EXPECT_EQ(result, GetParam().result) << text.toStdString();
    if (result == HeadlessParse::Error) {
        EXPECT_TRUE(text.contains(GetParam().errorPart)) << text.toStdString();
        EXPECT_FALSE(text.contains('\n')) << "one line";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HeadlessOptionsCase,
    ::testing::Values(OptionCase{"with_headless", {"--headless", "SIM", "--cycles", "5"}, HeadlessParse::Run, ""},
                      OptionCase{"help", {"--help"}, HeadlessParse::Help, ""},
                      OptionCase{"no_port", {"--csv"}, HeadlessParse::Error, "no port"},
                      OptionCase{"two_ports", {"SIM", "COM3"}, HeadlessParse::Error, "one port"},
                      OptionCase{"unknown", {"SIM", "--colour"}, HeadlessParse::Error, "colour"},
                      OptionCase{"cycles_zero", {"SIM", "--cycles", "0"}, HeadlessParse::Error, "--cycles"},
                      OptionCase{"baud_negative", {"SIM", "--baud", "-9600"}, HeadlessParse::Error, "--baud"},
                      OptionCase{"duration_nan", {"SIM", "--duration", "nan"}, HeadlessParse::Error, "--duration"},
                      OptionCase{"both_formats", {"SIM", "--json", "--csv"}, HeadlessParse::Error, "--csv"},
                      OptionCase{"metrics_no_host", {"SIM", "--metrics", ":9464"}, HeadlessParse::Error, "--metrics"},
                      OptionCase{"metrics_big_port", {"SIM", "--metrics", "127.0.0.1:70000"}, HeadlessParse::Error,
                                 "--metrics"},
                      OptionCase{"metrics_v6", {"SIM", "--metrics", "[::1]:9464"}, HeadlessParse::Run, ""},
                      OptionCase{"terminal_size_zero", {"SIM", "--terminal-size", "0"}, HeadlessParse::Run, ""},
                      OptionCase{"terminal_size_negative", {"SIM", "--terminal-size", "-1"}, HeadlessParse::Error,
                                 "--terminal-size"},
                      OptionCase{"interval_zero", {"SIM", "--interval", "0"}, HeadlessParse::Error, "--interval"},
                      OptionCase{"interval_decimal", {"SIM", "--interval", "0.5"}, HeadlessParse::Run, ""},
                      OptionCase{"terminal_files_negative", {"SIM", "--terminal-files", "-1"}, HeadlessParse::Error,
                                 "--terminal-files"},
                      OptionCase{"terminal_files_none", {"SIM", "--terminal-files", "0"}, HeadlessParse::Run, ""},
                      OptionCase{"answer_and_read_only", {"SIM", "--answer-calls", "--read-only"},
                                 HeadlessParse::Error, "exclude"},
                      OptionCase{"gps_gpsd", {"SIM", "--gps", "gpsd"}, HeadlessParse::Run, ""},
                      OptionCase{"gps_gpsd_v6", {"SIM", "--gps", "gpsd:[::1]:2947"}, HeadlessParse::Run, ""},
                      OptionCase{"gps_modem", {"SIM", "--gps", "modem"}, HeadlessParse::Run, ""},
                      OptionCase{"scan_with_log", {"SIM", "--scan", "--log", "x.jsonl"}, HeadlessParse::Error,
                                 "--scan and --log"},
                      OptionCase{"scan_with_terminal", {"SIM", "--scan", "--terminal", "t.log"}, HeadlessParse::Error,
                                 "--scan and --terminal"},
                      OptionCase{"scan", {"SIM", "--scan", "--read-only", "--quiet"}, HeadlessParse::Run, ""},
                      OptionCase{"gps_no_port", {"SIM", "--gps", "gpsd:localhost"}, HeadlessParse::Error, "--gps"},
                      OptionCase{"gps_port_zero", {"SIM", "--gps", "gpsd:localhost:0"}, HeadlessParse::Error, "--gps"},
                      OptionCase{"gps_nmea", {"SIM", "--gps", "/dev/ttyUSB1"}, HeadlessParse::Run, ""},
                      OptionCase{"gps_nmea_baud", {"SIM", "--gps", "/dev/ttyUSB1:9600"}, HeadlessParse::Run, ""},
                      OptionCase{"gps_nmea_baud_zero", {"SIM", "--gps", "ttyUSB1:0"}, HeadlessParse::Error, "--gps"},
                      OptionCase{"gps_simulated_modem", {"SIM", "--gps", "SIM:EC25"}, HeadlessParse::Error, "--gps"},
                      OptionCase{"gps_replay", {"SIM", "--gps", "replay:drive.rec"}, HeadlessParse::Error, "--gps"},
                      OptionCase{"low_rsrp", {"SIM", "--low-rsrp", "-105.5"}, HeadlessParse::Run, ""},
                      OptionCase{"low_rsrp_positive", {"SIM", "--low-rsrp", "10"}, HeadlessParse::Error, "--low-rsrp"},
                      OptionCase{"low_signal_zero", {"SIM", "--low-signal", "0"}, HeadlessParse::Error,
                                 "--low-signal"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HeadlessOptions, ValuesAreTaken)
{
    HeadlessOptions o;
    QString text;
    ASSERT_EQ(ParseHeadlessOptions({"palvex", "--headless", "/dev/ttyUSB0", "--baud", "9600", "--cycles", "3",
                                    "--duration", "1.5", "--csv", "--log", "a.csv", "--terminal", "t.log",
                                    "--metrics", "127.0.0.1:9464", "--quiet", "--terminal-size", "2",
                                    "--terminal-files", "5"},
                                   o, text),
              HeadlessParse::Run)
        << text.toStdString();
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.cycles, 3u);
    ASSERT_TRUE(o.durationSeconds.has_value());
    EXPECT_DOUBLE_EQ(*o.durationSeconds, 1.5);
    EXPECT_EQ(o.format, RecordFormat::Csv);
    EXPECT_EQ(o.logFile, "a.csv");
    EXPECT_EQ(o.terminalFile, "t.log");
    EXPECT_EQ(o.metricsAddress, "127.0.0.1:9464");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.terminalMegabytes, 2u);
    EXPECT_EQ(o.terminalOldFiles, 5);
    EXPECT_FALSE(o.answerCalls) << "calls ring on unless asked";
    EXPECT_FALSE(o.readOnly);
    ASSERT_EQ(ParseHeadlessOptions({"palvex", "SIM", "--answer-calls"}, o, text), HeadlessParse::Run);
    EXPECT_TRUE(o.answerCalls);
    ASSERT_EQ(ParseHeadlessOptions({"palvex", "SIM", "--read-only"}, o, text), HeadlessParse::Run);
    EXPECT_TRUE(o.readOnly);
}

TEST(HeadlessOptions, VersionNamesTheProgramAndItsVersion)
{
    HeadlessOptions o;
    QString text;
    ASSERT_EQ(ParseHeadlessOptions({"/usr/bin/palvex-headless", "--version"}, o, text), HeadlessParse::Help);
    EXPECT_TRUE(text.startsWith("palvex-headless ")) << text.toStdString();
    EXPECT_TRUE(text.at(16).isDigit()) << text.toStdString();
}

TEST(HeadlessOptions, HelpListsEveryOption)
{
    HeadlessOptions o;
    QString text;
    ASSERT_EQ(ParseHeadlessOptions({"palvex", "--help"}, o, text), HeadlessParse::Help);
    for (const char *option : {"--baud", "--cycles", "--duration", "--json", "--csv", "--log", "--terminal",
                               "--terminal-size", "--terminal-files", "--metrics", "--quiet", "--answer-calls", "--read-only",
                               "--gps", "--low-rsrp", "--low-signal"})
        EXPECT_TRUE(text.contains(option)) << option;
}
