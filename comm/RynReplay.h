#pragma once
// Replaying a session recording as a modem.
//
// TRynReplayEngine answers like the recorded modem, without a transport:
// each command line written to it gets the recorded answer of the same
// command, in the order the recording had them, after the recorded delay
// divided by the speed; a command the recording never saw (or saw fewer
// times) gets ERROR. Lines that came while no command was waiting for its
// final result come at their recorded distance from the command before them
// (or from the open); a recorded loss ends the connection at its place in
// the dialogue, and a recorded failed open fails the open that meets it.
// Places count the commands of a connection, so a live session whose timing
// differs still meets every answer, unsolicited line and loss in order.
//
// TRynReplayChannel is the engine as a channel component ("replay:FILE").

#include "RynRecording.h"
#include "VRynCommunicationComponent.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

struct TRynReplayChunk {
    std::chrono::milliseconds offset{0}; // after the command, or the place
    std::string bytes;
    std::optional<bool> ringBefore; // the ring line changes as this chunk comes
};

// One recorded connection: from an open to its close or loss.
struct TRynReplayConnection {
    enum class End : std::uint8_t { None, Close, Lost };
    std::vector<std::string> failedOpensBefore; // reasons, in order
    bool ringLine = true;
    std::map<std::string, std::deque<std::vector<TRynReplayChunk>>> answers; // by command line
    std::map<int, std::vector<TRynReplayChunk>> unsolicited; // by place: commands sent before
    End end = End::None;
    int endPlace = 0;
    std::chrono::milliseconds endOffset{0};
    std::string endReason;
    // From a loss to the next successful open in the recording.
    std::chrono::milliseconds reopenAfter{0};
};

// The recording cut into connections and answers.
std::vector<TRynReplayConnection> ReplayConnections(const TRynRecording &recording);

class TRynReplayEngine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kUnknownAnswerDelay{5};
    // An orderly end that follows a command comes at least this long after
    // the last answer.
    static constexpr std::chrono::milliseconds kEndGrace{50};

    explicit TRynReplayEngine(const TRynRecording &recording);

    // speed: recorded delays are divided by it (> 0). loop: after the last
    // connection the first one starts again, without a break.
    void SetSpeed(double speed) { m_speed = speed; }
    double Speed() const { return m_speed; }
    void SetLoop(bool on) { m_loop = on; }
    bool Loop() const { return m_loop; }

    // Starts the next recorded connection. False, with the reason, for a
    // recorded failed open (unless skipped: a pseudo-terminal has no failed
    // opens of its own) and after the end of the recording.
    enum class FailedOpens : std::uint8_t { Replay, Skip };
    bool Open(Clock::time_point now, std::string &reason, FailedOpens failed = FailedOpens::Replay);
    // The owner closed: the next open starts the next connection.
    void Close();
    bool IsOpen() const { return m_open; }
    bool ReportsRingLine() const;

    void Feed(const std::string &bytes, Clock::time_point now);

    struct Output {
        // Next: the connection ended in an orderly way and the following
        // one (or with loop the first) goes on; handled inside TakeDue.
        enum class Kind : std::uint8_t { Data, Ring, Lost, Ended, Next };
        Kind kind = Kind::Data;
        std::string bytes;              // Data
        std::optional<bool> ringBefore; // Data; Ring: the new state
        std::string reason;             // Lost
        std::chrono::milliseconds reopenAfter{0}; // Lost: recorded, divided by the speed
    };
    // What is due by now, in order. After a Lost or Ended the connection is
    // closed and nothing more comes.
    std::vector<Output> TakeDue(Clock::time_point now);
    std::optional<Clock::time_point> NextDue() const;

private:
    void StartConnection(std::size_t index, Clock::time_point now);
    void ReachPlace(Clock::time_point now);
    void Schedule(Clock::time_point base, const std::vector<TRynReplayChunk> &chunks);
    Clock::time_point Due(Clock::time_point base, std::chrono::milliseconds offset) const;

    std::vector<TRynReplayConnection> m_connections;
    std::size_t m_next = 0;         // connection the next open starts
    std::size_t m_failedOpens = 0;  // of that connection, already replayed
    std::size_t m_current = 0;
    bool m_open = false;
    double m_speed = 1.0;
    bool m_loop = false;
    int m_place = 0;
    // How often commands the recording never saw held the connection's
    // end back, at most kMostEndDelays times a connection.
    int m_endDelays = 0;
    static constexpr int kMostEndDelays = 16;
    std::map<std::string, std::deque<std::vector<TRynReplayChunk>>> m_answers;
    std::string m_pending; // a command line not yet ended by CR
    std::multimap<Clock::time_point, Output> m_queue;
};

// The channel of a "replay:FILE" port. Its settings text: "speed=N" (a
// positive number, 1 by default) and "loop", in any order.
class TRynReplayChannel : public VRynPortComponent {
    Q_OBJECT
public:
    static constexpr const char *kPrefix = "replay:";

    explicit TRynReplayChannel(QObject *owner = nullptr);
    ~TRynReplayChannel() override;

    // The file named by a "replay:FILE,SETTINGS" port and its settings text;
    // false when port is no replay port.
    static bool SplitPort(const std::string &port, std::string &file, std::string &settings);
    // Loads the recording and checks the settings of port: what the channel
    // will refuse at its open, said before (empty when fine).
    static std::string CheckPort(const std::string &port);

    void SetFile(const std::string &file);
    const std::string &File() const { return m_file; }
    double Speed() const { return m_speed; }
    bool Loop() const { return m_loop; }

    std::string GetConfigAsString() const override;
    // Throws std::invalid_argument and changes nothing on a bad setting.
    void SetConfigAsString(const std::string &config) override;
    bool StartComm() override;
    void StopComm() override;
    using VRynCommunicationComponent::Send;
    bool Send(const std::uint8_t *buffer, std::size_t length) override;
    bool Active() const override { return m_active; }
    TCommState GetState() const override { return m_state; }

    std::string CommPort() const override { return kPrefix + m_file; }
    void SetCommPort(const std::string &port) override;
    bool RingIndicator() override { return m_active && m_ring; }
    bool ReportsRingIndicator() const override;
    std::string LastErrorText() const override { return m_lastErrorText; }
    // The recording played to its end (and does not loop).
    bool Ended() const { return m_ended; }

private:
    void Deliver();
    void StartTimer();
    void ChangeState(TCommState state);

    std::string m_file;
    double m_speed = 1.0;
    bool m_loop = false;
    std::unique_ptr<TRynReplayEngine> m_engine;
    QTimer *m_timer = nullptr;
    bool m_active = false;
    bool m_ring = false;
    bool m_ended = false;
    TCommState m_state = TCommState::CommStateDisconnected;
    std::string m_lastErrorText;
    std::uint64_t m_generation = 0;
};
