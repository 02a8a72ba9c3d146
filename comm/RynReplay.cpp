#include "RynReplay.h"

#include "common/RynSimText.h"

#include <QTimer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

using rynsim::Trim;

namespace {

using End = TRynReplayConnection::End;
using Kind = TRynRecordedEvent::Kind;
using std::chrono::milliseconds;

constexpr std::size_t kLongestLine = 4096;
constexpr const char *kUnknownAnswer = "\r\nERROR\r\n";

// A final result code: the modem is done with the command.
bool IsFinalResult(const std::string &line)
{
    const std::string l = Trim(line);
    for (const char *exact : {"OK", "ERROR", "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE"})
        if (l == exact)
            return true;
    for (const char *head : {"+CME ERROR", "+CMS ERROR", "CONNECT"})
        if (l.rfind(head, 0) == 0)
            return true;
    return false;
}

} // namespace

std::vector<TRynReplayConnection> ReplayConnections(const TRynRecording &recording)
{
    std::vector<TRynReplayConnection> out;
    TRynReplayConnection current;
    bool started = false;
    std::vector<std::string> failed;
    std::optional<milliseconds> lostAt;
    milliseconds placeTime{0};
    milliseconds answerTime{0};
    milliseconds lastTime{0};
    int place = 0;
    int outstanding = 0; // commands still owing their final result
    std::vector<TRynReplayChunk> *answer = nullptr;
    std::vector<TRynReplayChunk> *lastRxIn = nullptr; // where the last received chunk went
    std::string txLine;
    std::string rxLine;

    const auto begin = [&](milliseconds t) {
        if (started)
            return;
        started = true;
        current = {};
        current.failedOpensBefore = std::move(failed);
        failed.clear();
        placeTime = t;
        place = 0;
        outstanding = 0;
        answer = nullptr;
        lastRxIn = nullptr;
        txLine.clear();
        rxLine.clear();
    };
    const auto finish = [&](End end, milliseconds t, const std::string &reason) {
        current.end = end;
        current.endPlace = place;
        current.endOffset = t - placeTime;
        current.endReason = reason;
        out.push_back(std::move(current));
        current = {};
        started = false;
    };

    for (const TRynRecordedEvent &e : recording.events) {
        lastTime = e.time;
        switch (e.kind) {
        case Kind::Open:
            if (started)
                finish(End::None, e.time, {});
            begin(e.time);
            current.ringLine = e.on;
            if (lostAt && !out.empty())
                out.back().reopenAfter = e.time - *lostAt;
            lostAt.reset();
            break;
        case Kind::OpenFailed:
            if (started)
                finish(End::None, e.time, {});
            failed.push_back(e.text);
            break;
        case Kind::Close:
        case Kind::Lost:
            begin(e.time);
            finish(e.kind == Kind::Lost ? End::Lost : End::Close, e.time, e.text);
            if (e.kind == Kind::Lost)
                lostAt = e.time;
            break;
        case Kind::Sent:
            begin(e.time);
            for (const char c : e.bytes) {
                if (c == '\r') {
                    const std::string key = Trim(txLine);
                    txLine.clear();
                    if (key.empty())
                        continue;
                    ++place;
                    placeTime = e.time;
                    answerTime = e.time;
                    answer = &current.answers[key].emplace_back();
                    ++outstanding;
                } else if (c != '\n' && txLine.size() < kLongestLine) {
                    txLine += c;
                }
            }
            break;
        case Kind::Received: {
            begin(e.time);
            // Bytes that come while a command owes its final result belong
            // to the answer of the last command sent (a late answer to the
            // one before included); others come on their own.
            if (answer && outstanding > 0) {
                answer->push_back({e.time - answerTime, e.bytes, std::nullopt});
                lastRxIn = answer;
            } else {
                auto &chunks = current.unsolicited[place];
                chunks.push_back({e.time - placeTime, e.bytes, std::nullopt});
                lastRxIn = &chunks;
            }
            for (const char c : e.bytes) {
                if (c == '\r' || c == '\n') {
                    if (IsFinalResult(rxLine))
                        outstanding = std::max(0, outstanding - 1);
                    rxLine.clear();
                } else if (rxLine.size() < kLongestLine) {
                    rxLine += c;
                }
            }
            break;
        }
        case Kind::Ring:
            begin(e.time);
            // The program read the line while it handled the chunk before:
            // the line changes as that chunk comes.
            if (lastRxIn && !lastRxIn->empty() && !lastRxIn->back().ringBefore)
                lastRxIn->back().ringBefore = e.on;
            else
                current.unsolicited[place].push_back({e.time - placeTime, {}, e.on});
            break;
        case Kind::RingLine:
            // Told at the first reading of the line, which comes before any
            // RING the session could take for a call.
            begin(e.time);
            current.ringLine = e.on;
            break;
        case Kind::Identity:
        case Kind::Limit:
            break;
        }
    }
    // A recording cut short (a crash, the size limit) ends where it stops.
    if (started)
        finish(End::Close, lastTime, {});
    return out;
}

// ---------------------------------------------------------------- engine

TRynReplayEngine::TRynReplayEngine(const TRynRecording &recording)
    : m_connections(ReplayConnections(recording))
{
}

bool TRynReplayEngine::ReportsRingLine() const
{
    return m_current < m_connections.size() ? m_connections[m_current].ringLine : true;
}

bool TRynReplayEngine::Open(Clock::time_point now, std::string &reason, FailedOpens failed)
{
    if (m_open)
        return true;
    if (m_connections.empty()) {
        reason = "the recording holds no connection";
        return false;
    }
    if (m_next >= m_connections.size()) {
        if (!m_loop) {
            reason = "the recording has ended";
            return false;
        }
        m_next = 0;
        m_failedOpens = 0;
    }
    const TRynReplayConnection &next = m_connections[m_next];
    if (failed == FailedOpens::Replay && m_failedOpens < next.failedOpensBefore.size()) {
        reason = next.failedOpensBefore[m_failedOpens++];
        if (reason.empty())
            reason = "the open failed";
        return false;
    }
    m_failedOpens = 0;
    m_open = true;
    StartConnection(m_next++, now);
    return true;
}

void TRynReplayEngine::Close()
{
    m_open = false;
    m_queue.clear();
    m_pending.clear();
}

void TRynReplayEngine::StartConnection(std::size_t index, Clock::time_point now)
{
    m_current = index;
    m_answers = m_connections[index].answers;
    m_place = 0;
    m_endDelays = 0;
    m_pending.clear();
    ReachPlace(now);
}

TRynReplayEngine::Clock::time_point TRynReplayEngine::Due(Clock::time_point base, milliseconds offset) const
{
    return base + std::chrono::duration_cast<Clock::duration>(
                      std::chrono::duration<double, std::milli>(double(offset.count()) / m_speed));
}

void TRynReplayEngine::Schedule(Clock::time_point base, const std::vector<TRynReplayChunk> &chunks)
{
    // Equal times keep their order: a multimap inserts after equal keys.
    for (const TRynReplayChunk &chunk : chunks) {
        Output o;
        o.kind = chunk.bytes.empty() ? Output::Kind::Ring : Output::Kind::Data;
        o.bytes = chunk.bytes;
        o.ringBefore = chunk.ringBefore;
        m_queue.emplace(Due(base, chunk.offset), std::move(o));
    }
}

void TRynReplayEngine::ReachPlace(Clock::time_point now)
{
    const TRynReplayConnection &c = m_connections[m_current];
    if (const auto it = c.unsolicited.find(m_place); it != c.unsolicited.end())
        Schedule(now, it->second);
    if (c.endPlace != m_place || c.end == End::None)
        return;
    Output o;
    o.reason = c.endReason;
    if (c.end == End::Lost) {
        o.kind = Output::Kind::Lost;
        o.reopenAfter = std::chrono::duration_cast<milliseconds>(
            std::chrono::duration<double, std::milli>(double(c.reopenAfter.count()) / m_speed));
    } else {
        o.kind = Output::Kind::Next;
    }
    // A connection that ends where it starts takes a millisecond at least:
    // with loop it would otherwise start over and over without time passing.
    // An orderly end comes kEndGrace after the last answer at the soonest,
    // so that a command the recording never saw, sent on that answer, can
    // still hold it back.
    Clock::time_point due = Due(now, c.endOffset);
    if (o.kind == Output::Kind::Next && m_place > 0 && !m_queue.empty())
        due = std::max(due, m_queue.rbegin()->first + kEndGrace);
    m_queue.emplace(m_place == 0 ? std::max(due, now + milliseconds(1)) : due, std::move(o));
}

void TRynReplayEngine::Feed(const std::string &bytes, Clock::time_point now)
{
    if (!m_open)
        return;
    for (const char c : bytes) {
        if (c != '\r') {
            if (c != '\n' && m_pending.size() < kLongestLine)
                m_pending += c;
            continue;
        }
        const std::string key = Trim(m_pending);
        m_pending.clear();
        if (key.empty())
            continue;
        const auto it = m_answers.find(key);
        if (it != m_answers.end() && !it->second.empty()) {
            // Only the recorded commands count for the places of the
            // unsolicited lines and the end: a command the recording never
            // saw (one a later version sends) moves neither.
            ++m_place;
            Schedule(now, it->second.front());
            it->second.pop_front();
            ReachPlace(now);
            continue;
        }
        Output o;
        o.bytes = kUnknownAnswer;
        m_queue.emplace(now + kUnknownAnswerDelay, std::move(o));
        // Such a command that comes while the end is due waits for its
        // ERROR before the end, a bounded number of times: the cycle it
        // belongs to still completes. A recorded command asked once too
        // often (the next cycle) does not hold the end back.
        if (it == m_answers.end() && m_endDelays < kMostEndDelays)
            for (auto end = m_queue.begin(); end != m_queue.end(); ++end) {
                if (end->second.kind != Output::Kind::Next && end->second.kind != Output::Kind::Lost)
                    continue;
                const Clock::time_point later = std::max(end->first, now + 2 * kUnknownAnswerDelay);
                Output moved = std::move(end->second);
                m_queue.erase(end);
                m_queue.emplace(later, std::move(moved));
                ++m_endDelays;
                break;
            }
    }
}

std::vector<TRynReplayEngine::Output> TRynReplayEngine::TakeDue(Clock::time_point now)
{
    std::vector<Output> due;
    while (m_open && !m_queue.empty() && m_queue.begin()->first <= now) {
        const Clock::time_point at = m_queue.begin()->first;
        Output o = std::move(m_queue.begin()->second);
        m_queue.erase(m_queue.begin());
        switch (o.kind) {
        case Output::Kind::Data:
        case Output::Kind::Ring:
            due.push_back(std::move(o));
            break;
        case Output::Kind::Next:
            // An orderly close in the recording: the next connection goes
            // on where this one ended, the live session none the wiser.
            if (m_current + 1 < m_connections.size() || m_loop) {
                const std::size_t next = m_current + 1 < m_connections.size() ? m_current + 1 : 0;
                m_next = next + 1;
                StartConnection(next, at);
                break;
            }
            m_next = m_connections.size();
            Close();
            o.kind = Output::Kind::Ended;
            due.push_back(std::move(o));
            break;
        case Output::Kind::Lost:
        case Output::Kind::Ended:
            Close();
            due.push_back(std::move(o));
            break;
        }
    }
    return due;
}

std::optional<TRynReplayEngine::Clock::time_point> TRynReplayEngine::NextDue() const
{
    if (!m_open || m_queue.empty())
        return std::nullopt;
    return m_queue.begin()->first;
}

// ---------------------------------------------------------------- channel

TRynReplayChannel::TRynReplayChannel(QObject *owner)
    : VRynPortComponent(owner)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { Guarded("receive", [this] { Deliver(); }); });
}

TRynReplayChannel::~TRynReplayChannel() = default;

bool TRynReplayChannel::SplitPort(const std::string &port, std::string &file, std::string &settings)
{
    const std::string p = Trim(port);
    const std::string prefix = kPrefix;
    if (p.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(p[i])) != prefix[i])
            return false;
    const std::size_t comma = p.find(',', prefix.size());
    file = Trim(p.substr(prefix.size(), comma == std::string::npos ? std::string::npos : comma - prefix.size()));
    settings = comma == std::string::npos ? std::string() : p.substr(comma + 1);
    return true;
}

std::string TRynReplayChannel::CheckPort(const std::string &port)
{
    std::string file;
    std::string settings;
    if (!SplitPort(port, file, settings))
        return "\"" + port + "\" is not a replay port (replay:FILE)";
    if (file.empty())
        return "no recording named after replay: (replay:FILE)";
    try {
        TRynReplayChannel channel;
        channel.SetConfigAsString(settings);
    } catch (const std::invalid_argument &e) {
        return e.what();
    }
    std::string error;
    const std::optional<TRynRecording> recording = LoadRecording(file, error);
    if (!recording)
        return error;
    if (ReplayConnections(*recording).empty())
        return file + " holds no dialogue to replay";
    return {};
}

void TRynReplayChannel::SetFile(const std::string &file)
{
    if (file == m_file)
        return;
    StopComm();
    m_file = file;
    m_engine.reset();
    m_ended = false;
}

void TRynReplayChannel::SetCommPort(const std::string &port)
{
    std::string file;
    std::string settings;
    if (!SplitPort(port, file, settings))
        file = port;
    SetFile(file);
    if (!settings.empty())
        SetConfigAsString(settings);
}

std::string TRynReplayChannel::GetConfigAsString() const
{
    // Not printf: the decimal point must not follow the user's locale.
    char speed[32];
    const auto end = std::to_chars(speed, speed + sizeof speed, m_speed).ptr;
    return "speed=" + std::string(speed, end) + (m_loop ? ",loop" : "");
}

void TRynReplayChannel::SetConfigAsString(const std::string &config)
{
    double speed = 1.0;
    bool loop = false;
    for (const std::string &item : rynsim::SettingItems(config)) {
        if (item == "loop") {
            loop = true;
            continue;
        }
        const std::size_t eq = item.find('=');
        const std::string key = Trim(item.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trim(item.substr(eq + 1));
        double number = 0;
        const auto [stop, failure] = std::from_chars(value.data(), value.data() + value.size(), number);
        const bool whole = !value.empty() && failure == std::errc() && stop == value.data() + value.size();
        if (key == "speed" && whole && number > 0 && number <= 1000)
            speed = number;
        else if (key == "loop" && (value == "0" || value == "1"))
            loop = value == "1";
        else
            throw std::invalid_argument("invalid replay setting \"" + item +
                                        "\" (expected speed=N with N above 0 up to 1000, and loop)");
    }
    m_speed = speed;
    m_loop = loop;
    if (m_engine) {
        m_engine->SetSpeed(speed);
        m_engine->SetLoop(loop);
    }
}

bool TRynReplayChannel::StartComm()
{
    SetLastErrorCode(0);
    if (m_active)
        return true;
    m_lastErrorText.clear();
    if (!m_engine) {
        std::string error;
        std::optional<TRynRecording> recording =
            m_file.empty() ? std::nullopt : LoadRecording(m_file, error);
        if (!recording) {
            m_lastErrorText = m_file.empty() ? "no recording named (replay:FILE)" : error;
            ChangeState(TCommState::CommStateFailed);
            return false;
        }
        m_engine = std::make_unique<TRynReplayEngine>(*recording);
        m_engine->SetSpeed(m_speed);
        m_engine->SetLoop(m_loop);
    }
    std::string reason;
    if (!m_engine->Open(TRynReplayEngine::Clock::now(), reason)) {
        m_ended = reason == "the recording has ended" || reason == "the recording holds no connection";
        m_lastErrorText = m_ended ? "the recording " + m_file + " has ended" : reason;
        ChangeState(TCommState::CommStateFailed);
        return false;
    }
    ++m_generation;
    m_active = true;
    m_ring = false;
    ChangeState(TCommState::CommStateConnected);
    StartTimer();
    return true;
}

void TRynReplayChannel::StopComm()
{
    ++m_generation;
    m_timer->stop();
    if (m_engine)
        m_engine->Close();
    if (!m_active)
        return;
    m_active = false;
    m_ring = false;
    ChangeState(TCommState::CommStateDisconnected);
}

bool TRynReplayChannel::Send(const std::uint8_t *buffer, std::size_t length)
{
    if (!m_active)
        return false;
    m_engine->Feed(std::string(reinterpret_cast<const char *>(buffer), length), TRynReplayEngine::Clock::now());
    // Never answers from inside Send: the owner hears the answer from the
    // event loop, as from a real port.
    m_timer->stop();
    StartTimer();
    return true;
}

bool TRynReplayChannel::ReportsRingIndicator() const { return !m_engine || m_engine->ReportsRingLine(); }

void TRynReplayChannel::StartTimer()
{
    if (!m_active || m_timer->isActive())
        return;
    const auto due = m_engine->NextDue();
    if (!due)
        return;
    const auto wait = std::chrono::ceil<milliseconds>(*due - TRynReplayEngine::Clock::now());
    m_timer->start(std::max(wait, milliseconds(0)));
}

void TRynReplayChannel::Deliver()
{
    if (!m_active)
        return;
    const std::uint64_t generation = m_generation;
    for (TRynReplayEngine::Output &o : m_engine->TakeDue(TRynReplayEngine::Clock::now())) {
        using OutKind = TRynReplayEngine::Output::Kind;
        switch (o.kind) {
        case OutKind::Data:
        case OutKind::Ring:
            if (o.ringBefore)
                m_ring = *o.ringBefore;
            if (!o.bytes.empty())
                DeliverData(reinterpret_cast<const std::uint8_t *>(o.bytes.data()), o.bytes.size());
            if (generation != m_generation)
                return; // the owner closed (or reopened) meanwhile
            break;
        case OutKind::Lost:
        case OutKind::Ended:
        case OutKind::Next:
            m_active = false;
            m_ring = false;
            m_ended = o.kind != OutKind::Lost;
            m_lastErrorText = m_ended ? "the recording " + m_file + " has ended"
                                      : "connection lost: " + (o.reason.empty() ? std::string("recorded loss") : o.reason);
            ChangeState(TCommState::CommStateFailed);
            return;
        }
    }
    StartTimer();
}

void TRynReplayChannel::ChangeState(TCommState state)
{
    m_state = state;
    DeliverState(nullptr, state);
}
