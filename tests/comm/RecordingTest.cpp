// Session recordings: bytes that survive the text format exactly, the
// errors a bad file gets (with its line), the recorder's size limit and
// redaction, and the replay engine's answers, unsolicited lines, losses and
// failed opens at their places in the dialogue.
#include "RynRecording.h"
#include "RynReplay.h"
#include "RynSimModem.h"
#include "VRSComm32.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = TRynReplayEngine::Clock;
using OutKind = TRynReplayEngine::Output::Kind;

const std::string kHeader = R"({"recording":"palvex","format":1,"program":"palvex 0.1.0","port":"SIM","settings":""})";

TRynRecording Parse(const std::string &body)
{
    std::string error;
    auto recording = ParseRecording(QByteArray::fromStdString(kHeader + "\n" + body), "rec", error);
    EXPECT_TRUE(recording) << error;
    return recording.value_or(TRynRecording{});
}

std::string ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

struct BytesCase {
    const char *name;
    std::string bytes;
};

TEST(RecordingFormat, BytesComeBackExactly)
{
    const std::vector<BytesCase> cases{
        {"NUL", std::string("AT\0X\r", 5)},
        {"invalid UTF-8", "\xff\xfe\xc3("},
        {"lone CR", "\r\nOK\r"},
        {"quote and backslash", "+COPS: 0,0,\"A\\B\""},
        {"controls and DEL", std::string("\x01\x1a\x1b[2J\x7f", 7)},
        {"valid UTF-8", "\xc4\x8c" "esko"},
        {"every byte", [] {
             std::string all;
             for (int i = 0; i < 256; ++i)
                 all += static_cast<char>(i);
             return all;
         }()},
    };
    for (const BytesCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string json = RecordingBytesJson(c.bytes);
        EXPECT_EQ(json.find('\n'), std::string::npos);
        const TRynRecording r = Parse(R"({"t":0,"dir":"rx","data":)" + json + "}\n");
        ASSERT_EQ(r.events.size(), 1u);
        EXPECT_EQ(r.events[0].bytes, c.bytes);
    }
    // Written by hand: a character beyond a byte stands for its UTF-8 bytes.
    EXPECT_EQ(Parse("{\"t\":0,\"dir\":\"rx\",\"data\":\"\\u20ac\"}\n").events.at(0).bytes, "\xe2\x82\xac");
}

TEST(RecordingFormat, RecorderFileReadsBackAsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec");
    {
        TRynRecorder recorder;
        ASSERT_TRUE(recorder.Open(path, "/dev/ttyUSB2", "115200,8,N,1,none"));
        recorder.Opened(true);
        const std::string command = "AT+CGMI\r";
        recorder.Sent(reinterpret_cast<const std::uint8_t *>(command.data()), command.size());
        const std::string answer("\r\nQ\0\xff\r\nOK\r\n", 11);
        recorder.Received(reinterpret_cast<const std::uint8_t *>(answer.data()), answer.size());
        recorder.Ring(true);
        recorder.Ring(true); // no change, no line
        recorder.RingLine(false);
        recorder.RingLine(false);
        recorder.Identity("Quectel", "EC25");
        recorder.Identity("Quectel", "EC25");
        recorder.Lost("connection lost: read error (\"x\")");
        recorder.OpenFailed("No such file or directory");
        EXPECT_TRUE(recorder.ErrorText().isEmpty());
    }
    std::string error;
    const auto r = LoadRecording(path.toStdString(), error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->port, "/dev/ttyUSB2");
    EXPECT_EQ(r->settings, "115200,8,N,1,none");
    EXPECT_EQ(r->program.rfind("palvex ", 0), 0u);
    using K = TRynRecordedEvent::Kind;
    const std::vector<K> kinds{K::Open, K::Sent, K::Received, K::Ring, K::RingLine, K::Identity, K::Lost, K::OpenFailed};
    ASSERT_EQ(r->events.size(), kinds.size()) << ReadAll(path);
    for (std::size_t i = 0; i < kinds.size(); ++i)
        EXPECT_EQ(r->events[i].kind, kinds[i]) << i;
    EXPECT_TRUE(r->events[0].on);
    EXPECT_EQ(r->events[2].bytes, std::string("\r\nQ\0\xff\r\nOK\r\n", 11));
    EXPECT_TRUE(r->events[3].on);
    EXPECT_FALSE(r->events[4].on);
    EXPECT_EQ(r->events[5].text2, "EC25");
    EXPECT_EQ(r->events[6].text, "connection lost: read error (\"x\")");
    EXPECT_EQ(r->events[6].line, 8);
}

struct BadCase {
    const char *name;
    std::string content;
    std::string error;
};

TEST(RecordingFormat, BadInputIsNamedWithItsLine)
{
    const std::string h = kHeader + "\n";
    const std::vector<BadCase> cases{
        {"empty", "", "rec is empty, not a recording"},
        {"only blanks", "\n \n", "rec is empty"},
        {"no header", R"({"t":0,"dir":"tx","data":"AT\r"})" "\n", "rec line 1: not a palvex recording"},
        {"newer format", R"({"recording":"palvex","format":9})" "\n", "line 1: recording format 9 is newer"},
        {"not JSON", h + "{\"t\":0,\"dir\":\"tx\",\"data\":\"AT\\r\"}\nAT+CSQ\n", "rec line 3: not a chunk or marker"},
        {"cut short", h + "{\"t\":0,\"dir\":\"tx\",\"data\":\"AT\\r\"}\n{\"t\":5,\"dir\":\"rx\",\"da",
         "rec line 3: cut short"},
        {"unknown direction", h + "# a comment\n\n{\"t\":0,\"dir\":\"up\",\"data\":\"AT\\r\"}\n",
         "rec line 4: unknown direction \"up\""},
        {"no data", h + R"({"t":0,"dir":"rx"})" "\n", "rec line 2: a chunk without its \"data\""},
        {"unknown event", h + R"({"t":0,"event":"reboot"})" "\n", "rec line 2: unknown event \"reboot\""},
        {"no time", h + R"({"dir":"rx","data":""})" "\n", "rec line 2: no time"},
        {"time backwards", h + "{\"t\":9,\"event\":\"open\"}\n{\"t\":3,\"event\":\"close\"}\n",
         "rec line 3: time 3 comes before"},
        {"neither", h + R"({"t":0,"x":1})" "\n", "rec line 2: neither a chunk"},
    };
    for (const BadCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(ParseRecording(QByteArray::fromStdString(c.content), "rec", error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(LoadRecording("/nonexistent/rec", error));
    EXPECT_NE(error.find("cannot open recording /nonexistent/rec"), std::string::npos) << error;
}

TEST(Recorder, StopsAtItsLimitWithALineSayingSo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec");
    TRynRecorder recorder;
    recorder.SetLimitBytes(600);
    ASSERT_TRUE(recorder.Open(path, "SIM", ""));
    const std::string chunk(50, 'A');
    for (int i = 0; i < 100; ++i)
        recorder.Received(reinterpret_cast<const std::uint8_t *>(chunk.data()), chunk.size());
    EXPECT_TRUE(recorder.Stopped());
    EXPECT_TRUE(recorder.ErrorText().isEmpty());
    recorder.Close();
    const std::string text = ReadAll(path);
    EXPECT_LE(text.size(), 700u);
    EXPECT_NE(text.rfind("\"event\":\"limit\",\"bytes\":600}\n"), std::string::npos) << text;
    std::string error;
    const auto r = ParseRecording(QByteArray::fromStdString(text), "rec", error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->events.back().kind, TRynRecordedEvent::Kind::Limit);
}

TEST(Recorder, OpenFailureSaysWhy)
{
    TRynRecorder recorder;
    EXPECT_FALSE(recorder.Open("/nonexistent/dir/rec", "SIM", ""));
    EXPECT_TRUE(recorder.ErrorText().contains("/nonexistent/dir/rec")) << recorder.ErrorText().toStdString();
}

struct RedactCase {
    const char *name;
    std::string command;
    std::vector<std::string> chunks; // the answer as it came
    std::string expected;
};

TEST(Recorder, RedactionReplacesTheDigitsOfIdentityAnswersOnly)
{
    const std::vector<RedactCase> cases{
        {"bare IMSI", "AT+CIMI\r", {"\r\n2300112", "34567890\r\n\r\nOK\r\n"}, "\r\nxxxxxxxxxxxxxxx\r\n\r\nOK\r\n"},
        {"ICCID with head", "AT+CCID\r", {"\r\n+CCID: 894", "20123\r\nOK\r\n"}, "\r\n+CCID: xxxxxxxx\r\nOK\r\n"},
        {"own number split in its head", "AT+CNUM\r", {"\r\n+CN", "UM: \"\",\"+420777123456\",145\r\n\r\nOK\r\n"},
         "\r\n+CNUM: \"\",\"+xxxxxxxxxxxx\",xxx\r\n\r\nOK\r\n"},
        {"caller line amid a poll", "AT+CSQ\r", {"\r\n+CSQ: 18,0\r\n\r\nOK\r\n\r\n+CLIP: \"+420602111222\",145\r\n"},
         "\r\n+CSQ: 18,0\r\n\r\nOK\r\n\r\n+CLIP: \"+xxxxxxxxxxxx\",xxx\r\n"},
        {"signal untouched", "AT+CSQ\r", {"\r\n+CSQ: 18,0\r\n", "\r\nOK\r\n"}, "\r\n+CSQ: 18,0\r\n\r\nOK\r\n"},
    };
    for (const RedactCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("rec");
        TRynRecorder recorder;
        recorder.SetRedact(true);
        ASSERT_TRUE(recorder.Open(path, "SIM", ""));
        recorder.Sent(reinterpret_cast<const std::uint8_t *>(c.command.data()), c.command.size());
        for (const std::string &chunk : c.chunks)
            recorder.Received(reinterpret_cast<const std::uint8_t *>(chunk.data()), chunk.size());
        recorder.Close();
        std::string error;
        const auto r = LoadRecording(path.toStdString(), error);
        ASSERT_TRUE(r) << error;
        std::string received;
        for (const TRynRecordedEvent &e : r->events)
            if (e.kind == TRynRecordedEvent::Kind::Received)
                received += e.bytes;
        EXPECT_EQ(received, c.expected);
    }
}

TEST(TerminalLog, BecomesARecordingWithItsMarkersAndBytes)
{
    const QByteArray log = "2026-12-09 10:00:00.000 [extra] machine: OPEN\n"
                           "2026-12-09 10:00:00.001 [extra]   Opening port \"/dev/ttyUSB2\".\n"
                           "2026-12-09 10:00:00.002 [extra]   Error while opening /dev/ttyUSB2.\n"
                           "2026-12-09 10:00:00.003 [extra]   No such file or directory\n"
                           "2026-12-09 10:00:01.003 [extra]   Opening port \"/dev/ttyUSB2\".\n"
                           "2026-12-09 10:00:01.010 [extra]   Success. Port \"/dev/ttyUSB2\" opened.\n"
                           "2026-12-09 10:00:01.020 [out]   AT+CSQ<CR>\n"
                           "2026-12-09 10:00:01.050 [extra] +CSQ: 9,0\n"
                           "2026-12-09 10:00:01.050 [extra] OK\n"
                           "2026-12-09 10:00:01.060 [info] terminal cleared\n"
                           "2026-12-09 10:00:01.070 [extra] caf\xc3\xa9 \\x01<TAB><U+2028>\n"
                           "2026-12-09 10:00:02.000 [extra]   serial port /dev/ttyUSB2: connection lost: read error\n"
                           "2026-12-09 10:00:02.001 [extra] machine: CLOSE\n";
    std::string error;
    const auto text = RecordingFromTerminalLog(log, "t.log", error);
    ASSERT_TRUE(text) << error;
    const auto r = ParseRecording(QByteArray::fromStdString(*text), "converted", error);
    ASSERT_TRUE(r) << error << "\n" << *text;
    EXPECT_EQ(r->port, "/dev/ttyUSB2");
    using K = TRynRecordedEvent::Kind;
    const std::vector<std::pair<K, std::int64_t>> expected{{K::OpenFailed, 3}, {K::Open, 1010}, {K::Sent, 1020},
                                                           {K::Received, 1050}, {K::Received, 1070}, {K::Lost, 2000}};
    ASSERT_EQ(r->events.size(), expected.size()) << *text;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r->events[i].kind, expected[i].first) << i;
        EXPECT_EQ(r->events[i].time.count(), expected[i].second) << i;
    }
    EXPECT_EQ(r->events[0].text, "No such file or directory");
    EXPECT_EQ(r->events[2].bytes, "AT+CSQ\r");
    EXPECT_EQ(r->events[3].bytes, "\r\n+CSQ: 9,0\r\n\r\nOK\r\n");
    EXPECT_EQ(r->events[4].bytes, "\r\ncaf\xc3\xa9 \x01\t\xe2\x80\xa8\r\n");
    EXPECT_EQ(r->events[5].text, "connection lost: read error");

    EXPECT_FALSE(RecordingFromTerminalLog("2026-12-09 10:00:00.000 [out]   AT<CR>\nAT+CSQ\n", "t.log", error));
    EXPECT_EQ(error, "t.log line 2: not a terminal log line (YYYY-MM-DD HH:MM:SS.mmm [type] text)");
    EXPECT_FALSE(RecordingFromTerminalLog("\n\n", "t.log", error));
    EXPECT_EQ(error, "t.log holds no terminal log lines");
}

// ---------------------------------------------------------------- engine

std::string Bytes(const std::vector<TRynReplayEngine::Output> &outputs)
{
    std::string all;
    for (const auto &o : outputs)
        all += o.bytes;
    return all;
}

const std::string kDialogue = R"({"t":100,"event":"open","ring_line":false}
{"t":101,"dir":"rx","data":"\r\n^SYSSTART\r\n"}
{"t":200,"dir":"tx","data":"AT+CSQ\r"}
{"t":240,"dir":"rx","data":"\r\n+CSQ: 10,0\r\n"}
{"t":260,"dir":"rx","data":"\r\nOK\r\n"}
{"t":300,"dir":"rx","data":"\r\nRING\r\n"}
{"t":400,"dir":"tx","data":"AT+C"}
{"t":400,"dir":"tx","data":"SQ\r"}
{"t":420,"dir":"rx","data":"\r\n+CSQ: 20,0\r\n\r\nOK\r\n"}
{"t":900,"event":"lost","reason":"device removed"}
{"t":1900,"event":"open_failed","reason":"No such file or directory"}
{"t":2900,"event":"open_failed","reason":"No such file or directory"}
{"t":3400,"event":"open","ring_line":true}
{"t":3500,"dir":"tx","data":"AT+CSQ\r"}
{"t":3520,"dir":"rx","data":"\r\n+CSQ: 30,0\r\n\r\nOK\r\n"}
{"t":3600,"event":"close"}
)";

TEST(ReplayEngine, AnswersInRecordedOrderAtTheirPlacesAndDelays)
{
    TRynReplayEngine engine(Parse(kDialogue));
    engine.SetSpeed(2);
    const Clock::time_point t0{};
    std::string reason;
    ASSERT_TRUE(engine.Open(t0, reason)) << reason;
    EXPECT_FALSE(engine.ReportsRingLine());
    // The boot line comes on its own, 1 ms after the open at speed 1.
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 1ms)), "\r\n^SYSSTART\r\n");

    // Live timing differs: the first command comes a second later.
    const Clock::time_point t1 = t0 + 1000ms;
    engine.Feed("AT+CSQ\r", t1);
    EXPECT_EQ(Bytes(engine.TakeDue(t1 + 19ms)), "");
    EXPECT_EQ(Bytes(engine.TakeDue(t1 + 20ms)), "\r\n+CSQ: 10,0\r\n");
    EXPECT_EQ(Bytes(engine.TakeDue(t1 + 30ms)), "\r\nOK\r\n");
    // RING came 100 ms after that command, on its own: 50 ms at speed 2.
    EXPECT_EQ(Bytes(engine.TakeDue(t1 + 50ms)), "\r\nRING\r\n");

    // The same command again gets its second answer; an unknown one ERROR.
    const Clock::time_point t2 = t1 + 2000ms;
    engine.Feed("AT+", t2);
    engine.Feed("CSQ\r", t2);
    EXPECT_EQ(Bytes(engine.TakeDue(t2 + 10ms)), "\r\n+CSQ: 20,0\r\n\r\nOK\r\n");
    engine.Feed("AT+CGSN\r", t2 + 20ms);
    EXPECT_EQ(Bytes(engine.TakeDue(t2 + 20ms + TRynReplayEngine::kUnknownAnswerDelay)), "\r\nERROR\r\n");
    // The loss at its place: 500 ms after the command before it, at speed 2.
    EXPECT_TRUE(engine.TakeDue(t2 + 249ms).empty());
    const auto lost = engine.TakeDue(t2 + 250ms);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].kind, OutKind::Lost);
    EXPECT_EQ(lost[0].reason, "device removed");
    EXPECT_EQ(lost[0].reopenAfter, 1250ms);
    EXPECT_FALSE(engine.IsOpen());

    // The two failed opens, then the next connection with its own answers.
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(engine.Open(t2, reason));
        EXPECT_EQ(reason, "No such file or directory");
    }
    ASSERT_TRUE(engine.Open(t2, reason));
    EXPECT_TRUE(engine.ReportsRingLine());
    engine.Feed("AT+CSQ\r", t2);
    EXPECT_EQ(Bytes(engine.TakeDue(t2 + 10ms)), "\r\n+CSQ: 30,0\r\n\r\nOK\r\n");
    // The end of the recording, after its grace; a command the recording
    // never saw, sent meanwhile, gets its ERROR before the end.
    const Clock::time_point due = t2 + 10ms + TRynReplayEngine::kEndGrace;
    engine.Feed("AT+QCAINFO\r", due - 2ms);
    EXPECT_EQ(Bytes(engine.TakeDue(due)), "");
    EXPECT_EQ(Bytes(engine.TakeDue(due - 2ms + TRynReplayEngine::kUnknownAnswerDelay)), "\r\nERROR\r\n");
    const auto end = engine.TakeDue(due - 2ms + 2 * TRynReplayEngine::kUnknownAnswerDelay);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0].kind, OutKind::Ended);
    EXPECT_FALSE(engine.Open(t2, reason));
    EXPECT_EQ(reason, "the recording has ended");
}

TEST(ReplayEngine, LoopStartsOverWithoutABreak)
{
    TRynReplayEngine engine(Parse(R"({"t":0,"event":"open"}
{"t":10,"dir":"tx","data":"AT\r"}
{"t":20,"dir":"rx","data":"\r\nOK 1\r\nOK\r\n"}
{"t":30,"event":"close"}
)"));
    engine.SetLoop(true);
    std::string reason;
    const Clock::time_point t0{};
    ASSERT_TRUE(engine.Open(t0, reason));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const Clock::time_point t = t0 + round * 1000ms;
        engine.Feed("AT\r", t);
        EXPECT_EQ(Bytes(engine.TakeDue(t + 500ms)), "\r\nOK 1\r\nOK\r\n");
        EXPECT_TRUE(engine.IsOpen());
    }
    // Without loop the same recording ends after one round.
    TRynReplayEngine once(Parse(R"({"t":0,"event":"open"}
{"t":10,"dir":"tx","data":"AT\r"}
{"t":20,"dir":"rx","data":"\r\nOK\r\n"}
{"t":30,"event":"close"}
)"));
    ASSERT_TRUE(once.Open(t0, reason));
    once.Feed("AT\r", t0);
    const auto outputs = once.TakeDue(t0 + 500ms);
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[1].kind, OutKind::Ended);
}

TEST(ReplayEngine, ALoopOfNoTimeStillTakesTime)
{
    // Open, a line and close in one millisecond, looped: each round takes a
    // millisecond at least, so taking what is due ends.
    TRynReplayEngine engine(Parse(R"({"t":0,"event":"open"}
{"t":0,"dir":"rx","data":"\r\nRING\r\n"}
{"t":0,"event":"close"}
)"));
    engine.SetLoop(true);
    std::string reason;
    const Clock::time_point t0{};
    ASSERT_TRUE(engine.Open(t0, reason));
    const auto outputs = engine.TakeDue(t0 + 10ms);
    EXPECT_GE(outputs.size(), 10u);
    EXPECT_LE(outputs.size(), 11u);
    EXPECT_TRUE(engine.IsOpen());
}

TEST(ReplayEngine, ALateAnswerStaysWithTheCommandItFollowed)
{
    // The first AT+CSQ timed out; its answer came after the repeat, before
    // the repeat's own. A final result each: neither counts as unsolicited.
    TRynReplayEngine engine(Parse(R"({"t":0,"event":"open"}
{"t":10,"dir":"tx","data":"AT+CSQ\r"}
{"t":510,"dir":"tx","data":"AT+CSQ\r"}
{"t":700,"dir":"rx","data":"\r\n+CSQ: 1,0\r\n\r\nOK\r\n"}
{"t":720,"dir":"rx","data":"\r\n+CSQ: 2,0\r\n\r\nOK\r\n"}
{"t":5000,"dir":"rx","data":"\r\n+CMTI: \"SM\",3\r\n"}
)"));
    engine.SetSpeed(10);
    std::string reason;
    const Clock::time_point t0{};
    ASSERT_TRUE(engine.Open(t0, reason));
    engine.Feed("AT+CSQ\r", t0);
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 100ms)), "");
    engine.Feed("AT+CSQ\r", t0 + 500ms);
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 519ms)), "\r\n+CSQ: 1,0\r\n\r\nOK\r\n");
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 521ms)), "\r\n+CSQ: 2,0\r\n\r\nOK\r\n");
    // The message notice came on its own, 4.49 s after the repeat.
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 948ms)), "");
    EXPECT_EQ(Bytes(engine.TakeDue(t0 + 950ms)), "\r\n+CMTI: \"SM\",3\r\n");
}

TEST(ReplayEngine, RingLineChangesWithTheChunkItWasReadAfter)
{
    TRynReplayEngine engine(Parse(R"({"t":0,"event":"open"}
{"t":10,"dir":"tx","data":"AT+CPAS\r"}
{"t":20,"dir":"rx","data":"\r\n+CPAS: 3\r\n\r\nOK\r\n"}
{"t":21,"event":"ring","on":true}
)"));
    std::string reason;
    const Clock::time_point t0{};
    ASSERT_TRUE(engine.Open(t0, reason));
    engine.Feed("AT+CPAS\r", t0);
    const auto outputs = engine.TakeDue(t0 + 10ms);
    ASSERT_FALSE(outputs.empty());
    EXPECT_EQ(outputs[0].bytes, "\r\n+CPAS: 3\r\n\r\nOK\r\n");
    ASSERT_TRUE(outputs[0].ringBefore.has_value());
    EXPECT_TRUE(*outputs[0].ringBefore);
}

TEST(ReplayEngine, APortFoundWithoutRingLineReplaysAsSuch)
{
    // A pseudo-terminal opens as if it had the line, and says otherwise at
    // the first reading: the replay has no ring line from the start.
    TRynReplayEngine engine(Parse(R"({"t":0,"event":"open","ring_line":true}
{"t":10,"dir":"tx","data":"AT\r"}
{"t":20,"dir":"rx","data":"\r\nOK\r\n"}
{"t":21,"event":"ring_line","on":false}
)"));
    std::string reason;
    ASSERT_TRUE(engine.Open(Clock::time_point{}, reason));
    EXPECT_FALSE(engine.ReportsRingLine());
}

TEST(ReplayChannel, PortNameAndSettings)
{
    std::string file;
    std::string settings;
    EXPECT_TRUE(TRynReplayChannel::SplitPort(" Replay:/tmp/a b.rec,speed=10,loop", file, settings));
    EXPECT_EQ(file, "/tmp/a b.rec");
    EXPECT_EQ(settings, "speed=10,loop");
    EXPECT_FALSE(TRynReplayChannel::SplitPort("SIM", file, settings));
    TRynReplayChannel channel;
    channel.SetConfigAsString("loop, speed=2.5");
    EXPECT_EQ(channel.GetConfigAsString(), "speed=2.5,loop");
    for (const char *bad : {"speed=0", "speed=fast", "speed=", "pace=2", "loop=maybe"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(channel.SetConfigAsString(bad), std::invalid_argument);
        EXPECT_EQ(channel.GetConfigAsString(), "speed=2.5,loop");
    }
    EXPECT_NE(TRynReplayChannel::CheckPort("replay:/nonexistent.rec").find("cannot open recording"), std::string::npos);
    EXPECT_NE(TRynReplayChannel::CheckPort("replay:").find("no recording named"), std::string::npos);
}

TEST(SerialChannelPorts, SimulatorAndReplayTakeTheirSettingsAfterAComma)
{
    EXPECT_TRUE(TVRSComm32::IsSimulatedPort("SIM,model=EC25"));
    EXPECT_FALSE(TVRSComm32::IsSimulatedPort("SIMx,model=EC25"));
    EXPECT_TRUE(TVRSComm32::IsReplayPort("Replay:rec,speed=2"));
    EXPECT_FALSE(TVRSComm32::IsReplayPort("/dev/replay"));

    TVRSComm32 comm;
    comm.SetCommPort("SIM,model=EC25, latency=0");
    ASSERT_TRUE(comm.StartComm()) << comm.LastErrorText();
    EXPECT_EQ(comm.Simulator().Engine().Model(), "EC25");
    EXPECT_EQ(comm.Simulator().Latency(), std::chrono::milliseconds(0));
    comm.StopComm();

    struct Refused {
        const char *port;
        const char *reason;
    };
    for (const Refused &r : {Refused{"SIM,model=EC25,colour=red", "invalid simulated modem setting \"colour=red\""},
                             Refused{"replay:/nonexistent.rec", "cannot open recording /nonexistent.rec"},
                             Refused{"replay:/nonexistent.rec,speed=0", "invalid replay setting \"speed=0\""}}) {
        SCOPED_TRACE(r.port);
        comm.SetCommPort(r.port);
        EXPECT_FALSE(comm.StartComm());
        EXPECT_FALSE(comm.Active());
        EXPECT_EQ(comm.GetState(), TCommState::CommStateFailed);
        EXPECT_NE(comm.LastErrorText().find(r.reason), std::string::npos) << comm.LastErrorText();
    }
}

} // namespace
