#pragma once
// --gps gpsd[:HOST:PORT]: the position from gpsd, read with libgps on a
// thread of its own, so that a gpsd that is missing, slow to connect or
// silent never holds up a poll cycle. The main thread takes the newest fix
// for each record; one that is older than kStaleAfter (a receiver that went
// quiet) or has no 2D or 3D fix is no position.

#include "PositionSource.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class GpsdPosition : public PositionSource {
public:
    static constexpr std::chrono::seconds kRetry{2};

    // host and port of gpsd (the default: localhost 2947).
    GpsdPosition(std::string host, std::string port);
    ~GpsdPosition() override;
    GpsdPosition(const GpsdPosition &) = delete;
    GpsdPosition &operator=(const GpsdPosition &) = delete;

    // Parses "gpsd", "gpsd:HOST:PORT" (HOST may be [IPv6]); false with error
    // set for anything else.
    static bool ParseSource(const QString &text, std::string &host, std::string &port, QString &error);

    std::optional<TGnssFix> Position() const override;

protected:
    // No gpsd, no fix, positions again.
    QString State() const override;

private:
    void Run();

    const std::string m_host;
    const std::string m_port;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::optional<TGnssFix> m_fix;
    std::chrono::steady_clock::time_point m_fixAt;
    std::string m_problem; // why there is no position; empty while fixes come
    std::thread m_thread;
};
