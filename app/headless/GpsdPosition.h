#pragma once
// --gps gpsd[:HOST:PORT]: the position from gpsd, read with libgps on a
// thread of its own, so that a gpsd that is missing, slow to connect or
// silent never holds up a poll cycle. The main thread takes the newest fix
// for each record; one that is older than kStaleAfter (a receiver that went
// quiet) or has no 2D or 3D fix is no position.

#include "CycleRecord.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class GpsdPosition {
public:
    static constexpr std::chrono::seconds kStaleAfter{5};
    static constexpr std::chrono::seconds kRetry{2};

    // host and port of gpsd (the default: localhost 2947).
    GpsdPosition(std::string host, std::string port);
    ~GpsdPosition();
    GpsdPosition(const GpsdPosition &) = delete;
    GpsdPosition &operator=(const GpsdPosition &) = delete;

    // Parses "gpsd", "gpsd:HOST:PORT" (HOST may be [IPv6]); false with error
    // set for anything else.
    static bool ParseSource(const QString &text, std::string &host, std::string &port, QString &error);

    // The newest fix, when it is fresh.
    std::optional<RecordPosition> Position() const;

    // What the user is told: a line when the state of the receiver changed
    // since the last call (no gpsd, no fix, positions again), else empty.
    QString TakeStatusChange();

private:
    void Run();

    const std::string m_host;
    const std::string m_port;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::optional<RecordPosition> m_fix;
    std::chrono::steady_clock::time_point m_fixAt;
    std::string m_problem; // why there is no position; empty while fixes come
    mutable QString m_shownState;
    std::thread m_thread;
};
