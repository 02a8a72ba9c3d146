// The metrics registry as a scrape sees it, without HTTP.
#include "MetricsExporter.h"
#include "MetricsServer.h"
#include "CycleRecord.h"
#include "RecordFields.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <vector>
#include <sstream>
#include <string>

namespace {

TNetState State()
{
    TNetState s;
    s.signal = 53, s.signalValid = true;
    s.ber = 2, s.berValid = true;
    s.registration = 5, s.registrationValid = true;
    s.activity = 0, s.activityValid = true;
    s.operatorName = "Carrier \"One\"", s.operatorNameValid = true;
    s.operatorCode = "23001", s.operatorCodeValid = true;
    s.cells[0] = {true, 62, 40, -73, 25, 230, 1};
    s.cells[2] = {true, 600, 12, -98, 4, 230, 1};
    return s;
}

CycleRecord Record(const TNetState &state)
{
    CycleRecord r;
    r.manufacturer = "Maker";
    r.model = "BGS5";
    r.state = state;
    return r;
}

// Lines of the exposition that start with name{ or name followed by a blank.
std::vector<std::string> Series(const std::string &text, const std::string &name)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name + "{", 0) == 0 || line.rfind(name + " ", 0) == 0)
            out.push_back(line);
    return out;
}

double Value(const std::string &line) { return std::stod(line.substr(line.rfind(' ') + 1)); }

// A loopback client of the metrics server whose reads give up after timeout.
class Client {
public:
    Client(int port, std::chrono::seconds timeout)
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const timeval wait{static_cast<time_t>(timeout.count()), 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(m_fd); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool Connected() const { return m_connected; }
    bool Send(const std::string &text) { return ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size()); }
    // The server has not closed the connection (nothing to read yet).
    bool Open()
    {
        char byte = 0;
        return ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    // All the server sends until it closes the connection; nullopt when
    // the read timed out first.
    std::optional<std::string> ReadToEnd()
    {
        std::string text;
        std::array<char, 4096> buffer{};
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
            if (n == 0)
                return text;
            if (n < 0)
                return std::nullopt;
            text.append(buffer.data(), std::size_t(n));
        }
    }

private:
    int m_fd;
    bool m_connected = false;
};

} // namespace

TEST(MetricsExporter, GaugesCarryTheLastCycleAndThePort)
{
    MetricsExporter m("/dev/ttyUSB0");
    m.Update(Record(State()));
    const std::string text = m.Text();
    struct Expect {
        const char *name;
        double value;
    };
    for (const Expect &e : {Expect{"palvex_signal_percent", 53}, Expect{"palvex_signal_dbm", -79},
                            Expect{"palvex_bit_error_rate", 2}, Expect{"palvex_registration_state", 5},
                            Expect{"palvex_activity", 0}}) {
        SCOPED_TRACE(e.name);
        const auto lines = Series(text, e.name);
        ASSERT_EQ(lines.size(), 1u) << text;
        EXPECT_NE(lines[0].find("port=\"/dev/ttyUSB0\""), std::string::npos);
        EXPECT_DOUBLE_EQ(Value(lines[0]), e.value);
    }
    const auto cells = Series(text, "palvex_cell_dbm");
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_NE(text.find(R"(palvex_cell_dbm{band="900",channel="62",port="/dev/ttyUSB0",row="0"} -73)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(palvex_cell_rssi{band="1800",channel="600",port="/dev/ttyUSB0",row="2"} 12)"),
              std::string::npos)
        << text;
    const auto info = Series(text, "palvex_modem_info");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find(R"(operator_name="Carrier \"One\"")"), std::string::npos) << info[0];
    EXPECT_NE(info[0].find(R"(operator_code="23001")"), std::string::npos);
    EXPECT_NE(info[0].find(R"(manufacturer="Maker")"), std::string::npos);
    EXPECT_NE(info[0].find(R"(model="BGS5")"), std::string::npos);
}

TEST(MetricsExporter, InvalidValuesAndRowsLeaveTheExposition)
{
    MetricsExporter m("SIM");
    m.Update(Record(State()));
    TNetState s = State();
    s.signalValid = false;
    s.cells[2].valid = false;
    m.Update(Record(s));
    const std::string text = m.Text();
    EXPECT_TRUE(Series(text, "palvex_signal_percent").empty()) << text;
    EXPECT_TRUE(Series(text, "palvex_signal_dbm").empty());
    EXPECT_EQ(Series(text, "palvex_bit_error_rate").size(), 1u);
    EXPECT_EQ(Series(text, "palvex_cell_dbm").size(), 1u);
    EXPECT_EQ(Series(text, "palvex_cell_rssi").size(), 1u);

    s.signalValid = true;
    s.signal = 96;
    m.Update(Record(s));
    const auto back = Series(m.Text(), "palvex_signal_dbm");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_DOUBLE_EQ(Value(back[0]), -51);
}

TEST(MetricsExporter, ChangedCellOrOperatorReplacesTheOldSeries)
{
    MetricsExporter m("SIM");
    m.Update(Record(State()));
    TNetState s = State();
    s.cells[0].channel = 700; // handover to a 1800 cell
    s.operatorName = "Other";
    m.Update(Record(s));
    const std::string text = m.Text();
    const auto cells = Series(text, "palvex_cell_dbm");
    ASSERT_EQ(cells.size(), 2u) << text;
    EXPECT_EQ(text.find("channel=\"62\""), std::string::npos) << "stale series of the old serving cell";
    EXPECT_NE(text.find(R"(band="1800",channel="700")"), std::string::npos);
    const auto info = Series(text, "palvex_modem_info");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find(R"(operator_name="Other")"), std::string::npos);
}

TEST(MetricsExporter, CountersCount)
{
    MetricsExporter m("SIM");
    for (int i = 0; i < 3; ++i)
        m.CountCycle();
    m.CountTimeout();
    for (int i = 0; i < 2; ++i)
        m.CountReconnect();
    const std::string text = m.Text();
    struct Expect {
        const char *name;
        double value;
    };
    for (const Expect &e : {Expect{"palvex_cycles_total", 3}, Expect{"palvex_timeouts_total", 1},
                            Expect{"palvex_reconnects_total", 2}}) {
        const auto lines = Series(text, e.name);
        ASSERT_EQ(lines.size(), 1u) << e.name << "\n" << text;
        EXPECT_DOUBLE_EQ(Value(lines[0]), e.value) << e.name;
        EXPECT_NE(lines[0].find("port=\"SIM\""), std::string::npos);
    }
}

// Every event type has its series from the start; each event of a record
// counts once, a record without events adds nothing.
TEST(MetricsExporter, EventsAreCountedByType)
{
    MetricsExporter m("SIM");
    EXPECT_EQ(Series(m.Text(), "palvex_events_total").size(), RecordEventTypes().size());
    CycleRecord r = Record(State());
    r.events = {{"band_changed", "B3", "B7"}, {"serving_cell_changed", "cell 1", "cell 2"}, {"band_changed", {}, {}}};
    m.Update(r);
    r.events.clear();
    m.Update(r);
    m.PortClosed();
    for (const std::string &line : Series(m.Text(), "palvex_events_total")) {
        EXPECT_NE(line.find("port=\"SIM\""), std::string::npos) << line;
        const double expected = line.find("type=\"band_changed\"") != std::string::npos           ? 2
                                : line.find("type=\"serving_cell_changed\"") != std::string::npos ? 1
                                                                                                 : 0;
        EXPECT_DOUBLE_EQ(Value(line), expected) << line;
    }
}

// The position's gauges and its fix while there is one; none without.
TEST(MetricsExporter, PositionGaugesFollowTheFix)
{
    MetricsExporter m("SIM");
    CycleRecord r = Record(State());
    r.position = RecordPosition{50.5, 14.25, std::nullopt, 36.0, "2d", {}};
    m.Update(r);
    const std::string text = m.Text();
    struct Expect {
        const char *name;
        std::optional<double> value;
    };
    for (const Expect &e : {Expect{"palvex_position_latitude_degrees", 50.5},
                            Expect{"palvex_position_longitude_degrees", 14.25},
                            Expect{"palvex_position_altitude_meters", std::nullopt},
                            Expect{"palvex_position_speed_kmh", 36.0}, Expect{"palvex_position_info", 1.0}}) {
        const auto lines = Series(text, e.name);
        ASSERT_EQ(lines.size(), e.value ? 1u : 0u) << e.name << "\n" << text;
        if (e.value) {
            EXPECT_DOUBLE_EQ(Value(lines[0]), *e.value) << e.name;
        }
    }
    EXPECT_NE(Series(text, "palvex_position_info")[0].find("fix=\"2d\""), std::string::npos);
    r.position.reset();
    m.Update(r);
    for (const char *name : {"palvex_position_latitude_degrees", "palvex_position_info"})
        EXPECT_TRUE(Series(m.Text(), name).empty()) << name;
}

TEST(MetricsExporter, SignalDbmRecoversTheRssiOfEveryPercent)
{
    // The percent value is rssi * 100 / 32 rounded down; every rssi 0 to 31
    // must come back as -113 + 2 * rssi.
    for (int rssi = 0; rssi <= 31; ++rssi) {
        SCOPED_TRACE(rssi);
        EXPECT_EQ(SignalDbm(rssi * 100 / 32), -113 + 2 * rssi);
    }
}

TEST(MetricsExporter, ABusyPortIsAnErrorNamingIt)
{
    MetricsExporter first("SIM");
    std::string error;
    ASSERT_TRUE(first.Listen("127.0.0.1:0", error)) << error;
    const int port = first.ListeningPort();
    ASSERT_GT(port, 0);

    MetricsExporter second("SIM");
    EXPECT_FALSE(second.Listen("127.0.0.1:" + std::to_string(port), error));
    EXPECT_NE(error.find(std::to_string(port)), std::string::npos) << error;
    EXPECT_NE(error.find("address already in use"), std::string::npos) << error;
}

// An LTE modem: the serving cell's measures as gauges with units in their
// names, its identity in the info series, both gone when the cell is; and no
// made-up dBm for an unknown +CSQ rssi.
TEST(MetricsExporter, ServingCellGaugesAndIdentityFollowTheCell)
{
    MetricsExporter m("/dev/ttyUSB2");
    TNetState s = State();
    TRadioCell lte;
    lte.rat = TRadioTech::Lte, lte.mcc = 230, lte.mnc = 1, lte.area = 6699, lte.cellId = 802126, lte.pci = 311;
    lte.channel = 1300, lte.band = "B3", lte.rsrp = -95, lte.rsrq = -10.5, lte.sinr = 13.4;
    s.serving = lte;
    s.rat = TRadioTech::Lte;
    CycleRecord r = Record(s);
    r.csqRssi = 99;
    r.csqBer = 99;
    m.Update(r);
    std::string text = m.Text();
    for (const auto &[name, value] : {std::pair{"palvex_serving_rsrp_dbm", -95.0},
                                      std::pair{"palvex_serving_rsrq_db", -10.5},
                                      std::pair{"palvex_serving_sinr_db", 13.4}}) {
        const auto series = Series(text, name);
        ASSERT_EQ(series.size(), 1u) << name << "\n" << text;
        EXPECT_DOUBLE_EQ(Value(series[0]), value) << series[0];
    }
    EXPECT_TRUE(Series(text, "palvex_serving_rscp_dbm").empty()) << "not reported: no series";
    EXPECT_TRUE(Series(text, "palvex_signal_dbm").empty()) << "rssi 99 is no -113 dBm";
    EXPECT_TRUE(Series(text, "palvex_signal_percent").empty()) << "rssi 99 is no 0 %";
    EXPECT_TRUE(Series(text, "palvex_bit_error_rate").empty()) << "ber 99 is no class 0";
    const auto info = Series(text, "palvex_serving_cell_info");
    ASSERT_EQ(info.size(), 1u) << text;
    for (const char *label : {"rat=\"LTE\"", "cell_id=\"802126\"", "pci=\"311\"", "band=\"B3\"", "area=\"6699\"",
                              "port=\"/dev/ttyUSB2\""})
        EXPECT_NE(info[0].find(label), std::string::npos) << label << " in " << info[0];

    s.serving.reset();
    r = Record(s);
    r.csqRssi = 17;
    r.csqBer = 0;
    m.Update(r);
    text = m.Text();
    EXPECT_EQ(Series(text, "palvex_bit_error_rate").size(), 1u);
    EXPECT_TRUE(Series(text, "palvex_serving_rsrp_dbm").empty());
    EXPECT_TRUE(Series(text, "palvex_serving_cell_info").empty());
    EXPECT_EQ(Series(text, "palvex_signal_dbm").size(), 1u);
}

TEST(MetricsExporter, LabelsAreShortValidUtf8)
{
    TNetState s = State();
    s.operatorName = "Telef\xf3nica " + std::string(100, 'x');
    MetricsExporter m("SIM");
    m.Update(Record(s));
    const auto info = Series(m.Text(), "palvex_modem_info");
    ASSERT_EQ(info.size(), 1u);
    const std::string expected = "operator_name=\"Telef\xc3\xb3nica " + std::string(64 - 11, 'x') + "\"";
    EXPECT_NE(info[0].find(expected), std::string::npos) << info[0];
}

// ESC, BEL, NUL and C1 bytes of a modem's texts are escaped in the label
// values, as in the records: curl in a terminal shows them as text.
TEST(MetricsExporter, ControlCharactersInLabelsAreEscaped)
{
    TNetState s = State();
    s.operatorName = std::string("Op\x1b]8;;http://x\x07") + std::string(1, '\0') + "Z\xC2\x9B" "2J";
    MetricsExporter m("pts\x1b[2J");
    CycleRecord r = Record(s);
    r.model = std::string("M\0odel", 6);
    m.Update(r);
    const std::string text = m.Text();
    for (const char bad : {'\x1b', '\x07', '\0'})
        EXPECT_EQ(text.find(bad), std::string::npos) << "byte " << int(bad) << " in " << text;
    EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << text;
    const auto info = Series(text, "palvex_modem_info");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find("operator_name=\"Op\\\\x1B]8;;http://x\\\\x07\\\\x00Z<U+009B>2J\""), std::string::npos)
        << info[0];
    EXPECT_NE(info[0].find("model=\"M\\\\x00odel\""), std::string::npos) << info[0];
    EXPECT_NE(info[0].find("port=\"pts\\\\x1B[2J\""), std::string::npos) << info[0];
}

TEST(MetricsExporter, ALatin1OperatorNamePassesPromtool)
{
    const QString promtool = QStandardPaths::findExecutable("promtool");
    if (promtool.isEmpty())
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus; scripts/install-deps.sh installs it)";
    TNetState s = State();
    s.operatorName = "Telef\xf3nica";
    MetricsExporter m("SIM");
    m.Update(Record(s));
    m.CountCycle();
    const std::string text = m.Text();
    ASSERT_NE(text.find("Telef\xc3\xb3nica"), std::string::npos);
    QProcess check;
    check.start(promtool, {"check", "metrics"});
    ASSERT_TRUE(check.waitForStarted());
    check.write(text.data(), qint64(text.size()));
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString() << check.readAllStandardOutput().toStdString();
}

TEST(MetricsExporter, StopsWithoutWaitingOutTheServersPoll)
{
    // A stop right after the start ends the server's thread at once.
    MetricsExporter m("SIM");
    std::string error;
    ASSERT_TRUE(m.Listen("127.0.0.1:0", error)) << error;
    ASSERT_GT(m.ListeningPort(), 0);
    const auto start = std::chrono::steady_clock::now();
    {
        MetricsExporter stopped("SIM");
        ASSERT_TRUE(stopped.Listen("127.0.0.1:0", error)) << error;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(MetricsExporter, AnIpv6AddressBindsOrIsRefusedClearly)
{
    MetricsExporter m("SIM");
    std::string error;
    if (m.Listen("[::1]:0", error)) {
        EXPECT_GT(m.ListeningPort(), 0);
        return;
    }
    EXPECT_NE(error.find("without IPv6"), std::string::npos) << error;
    EXPECT_NE(error.find("127.0.0.1:0"), std::string::npos) << error;
    EXPECT_EQ(m.ListeningPort(), 0);
}

// Slow and stuck clients (connected and silent, or half a request) outnumber
// the workers the server used to have: a scrape is answered all the same
// while they stay, and the server drops them after its request time-out.
TEST(MetricsExporter, ScrapesAreAnsweredWhileStuckClientsAreConnected)
{
    MetricsExporter m("SIM");
    m.CountCycle();
    std::string error;
    ASSERT_TRUE(m.Listen("127.0.0.1:0", error)) << error;
    const int port = m.ListeningPort();
    constexpr auto kGenerous = std::chrono::seconds(20);
    std::vector<std::unique_ptr<Client>> stuck;
    for (const char *sent : {"", "", "", "GET /metr", "GET /metrics HTTP/1.1\r\nHost: x\r\n"}) {
        stuck.push_back(std::make_unique<Client>(port, kGenerous));
        ASSERT_TRUE(stuck.back()->Connected());
        ASSERT_TRUE(stuck.back()->Send(sent));
    }
    Client scrape(port, kGenerous);
    ASSERT_TRUE(scrape.Connected());
    ASSERT_TRUE(scrape.Send("GET /metrics HTTP/1.0\r\n\r\n"));
    const std::optional<std::string> reply = scrape.ReadToEnd();
    ASSERT_TRUE(reply) << "no answer while the stuck clients are connected";
    EXPECT_EQ(reply->rfind("HTTP/1.1 200", 0), 0u) << *reply;
    EXPECT_NE(reply->find("palvex_cycles_total{port=\"SIM\"} 1"), std::string::npos) << *reply;
    for (const auto &client : stuck)
        EXPECT_TRUE(client->Open()) << "dropped before the scrape was answered";

    for (const auto &client : stuck) {
        const std::optional<std::string> dropped = client->ReadToEnd();
        EXPECT_TRUE(dropped) << "a stuck client was still connected after " << kGenerous.count() << " s";
    }
}

namespace {

// Many clients that connect and send nothing: the server's time-outs and
// caps are no wait for a scrape that comes after them.
TEST(MetricsExporter, TwoHundredIdleClientsDoNotDelayAScrape)
{
    MetricsExporter m("SIM");
    m.CountCycle();
    std::string error;
    ASSERT_TRUE(m.Listen("127.0.0.1:0", error)) << error;
    const int port = m.ListeningPort();
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 200; ++i) {
        idle.push_back(std::make_unique<Client>(port, std::chrono::seconds(20)));
        ASSERT_TRUE(idle.back()->Connected()) << "client " << i;
    }
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto start = std::chrono::steady_clock::now();
        Client scrape(port, std::chrono::seconds(5));
        ASSERT_TRUE(scrape.Connected());
        ASSERT_TRUE(scrape.Send("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n"));
        const std::optional<std::string> reply = scrape.ReadToEnd();
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(reply) << "no answer while 200 idle clients are connected";
        EXPECT_EQ(reply->rfind("HTTP/1.1 200", 0), 0u) << *reply;
        EXPECT_NE(reply->find("palvex_cycles_total{port=\"SIM\"} 1"), std::string::npos);
        EXPECT_LT(took, std::chrono::seconds(1))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    }
}

// What the server answers besides a scrape.
TEST(MetricsServer, RepliesToEachRequest)
{
    const auto body = [] { return std::string("x 1\n"); };
    struct Case {
        const char *request;
        const char *status;
        bool body;
    };
    for (const Case &c : {Case{"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", "HTTP/1.1 200 OK", true},
                          Case{"GET /metrics?x=1 HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK", true},
                          Case{"HEAD /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", false},
                          Case{"GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", false},
                          Case{"POST /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed", false},
                          Case{"\x16\x03\x01 hello\r\n\r\n", "HTTP/1.1 400 Bad Request", false}}) {
        SCOPED_TRACE(c.request);
        const std::string reply = MetricsServer::Reply(c.request, body).toStdString();
        EXPECT_EQ(reply.rfind(c.status, 0), 0u) << reply;
        EXPECT_NE(reply.find("\r\nConnection: close\r\n"), std::string::npos) << reply;
        EXPECT_EQ(reply.size() >= 4 && reply.compare(reply.size() - 4, 4, "x 1\n") == 0, c.body) << reply;
    }
}

// The port went away: no value of the last cycle is left to graph, and the
// port's state says so; the next cycle brings them back.
TEST(MetricsExporter, PortClosedTakesTheCycleValuesAway)
{
    MetricsExporter m("SIM");
    EXPECT_EQ(Series(m.Text(), "palvex_port_open"), std::vector<std::string>{"palvex_port_open{port=\"SIM\"} 0"});
    m.PortOpened();
    m.Update(Record(State()));
    m.CountCycle();
    m.PortClosed();
    const std::string text = m.Text();
    EXPECT_EQ(Series(text, "palvex_port_open"), std::vector<std::string>{"palvex_port_open{port=\"SIM\"} 0"});
    for (const char *name : {"palvex_signal_percent", "palvex_registration_state", "palvex_cell_dbm",
                             "palvex_modem_info", "palvex_bit_error_rate"})
        EXPECT_TRUE(Series(text, name).empty()) << name << " still in\n" << text;
    EXPECT_EQ(Series(text, "palvex_cycles_total").size(), 1u);
    m.PortOpened();
    m.Update(Record(State()));
    EXPECT_EQ(Series(m.Text(), "palvex_signal_percent").size(), 1u);
    EXPECT_EQ(Series(m.Text(), "palvex_port_open"), std::vector<std::string>{"palvex_port_open{port=\"SIM\"} 1"});
}

} // namespace

// A series per carrier (the first four), labelled with its row, role and
// band; a carrier that goes takes its series with it.
TEST(MetricsExporter, CarrierGaugesAreBoundedAndLabelledWithRoleAndBand)
{
    MetricsExporter m("/dev/ttyUSB2");
    TNetState s = State();
    for (int i = 0; i < 6; ++i)
        s.carriers.push_back({i == 0 ? TCarrierRole::Primary : TCarrierRole::Secondary, TRadioTech::Lte,
                              "B" + std::to_string(i + 1), 100 * i, i, 20.0, std::nullopt, -90.0 - i, -10.0,
                              std::nullopt});
    m.Update(Record(s));
    std::string text = m.Text();
    const auto rsrp = Series(text, "palvex_carrier_rsrp_dbm");
    ASSERT_EQ(rsrp.size(), 4u) << text;
    EXPECT_NE(text.find(R"(palvex_carrier_rsrp_dbm{band="B1",port="/dev/ttyUSB2",role="PCC",row="0"} -90)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(palvex_carrier_rsrp_dbm{band="B4",port="/dev/ttyUSB2",role="SCC",row="3"} -93)"),
              std::string::npos)
        << text;
    EXPECT_EQ(Series(text, "palvex_carrier_bandwidth_mhz").size(), 4u);
    EXPECT_TRUE(Series(text, "palvex_carrier_sinr_db").empty()) << "not reported: no series";

    s.carriers.resize(1);
    m.Update(Record(s));
    text = m.Text();
    EXPECT_EQ(Series(text, "palvex_carrier_rsrp_dbm").size(), 1u) << text;
}
