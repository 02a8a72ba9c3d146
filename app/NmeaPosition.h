#pragma once
// --gps /dev/ttyUSB1[:BAUD]: a GPS receiver that writes NMEA sentences on a
// serial port, read through the same channel as the modem (TVRSComm32) on
// the owner's thread as the bytes arrive, so the poll cycle never waits on
// it. A port that is missing or lost is opened again every kRetry; one that
// says nothing, or only garbage (a wrong speed), gives no position.

#include "PositionSource.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <string>

class QTimer;
class TVRSComm32;

class NmeaPosition : public QObject, public PositionSource {
    Q_OBJECT
public:
    // The speed of NMEA 0183; many receivers use 9600 ("PORT:9600").
    static constexpr std::int32_t kDefaultBaud = 4800;
    static constexpr std::chrono::seconds kRetry{2};
    // A sentence has at most 82 characters; a longer line is garbage.
    static constexpr std::size_t kMaxLine = 164;

    NmeaPosition(const QString &port, std::int32_t baud, QObject *owner = nullptr);
    ~NmeaPosition() override;

    // Parses "PORT" or "PORT:BAUD" (PORT a device path or name such as
    // /dev/ttyUSB1 or ttyUSB1; not the simulated modem nor a recording);
    // false with error set for anything else.
    static bool ParseSource(const QString &text, QString &port, std::int32_t &baud, QString &error);

    std::optional<TGnssFix> Position() const override;

protected:
    QString State() const override;

private:
    void TryOpen();
    void Received(const std::uint8_t *buffer, std::size_t length);
    void TakeLine();

    using Clock = std::chrono::steady_clock;

    const QString m_portName;
    TVRSComm32 *m_channel = nullptr;
    QTimer *m_retry = nullptr;
    NmeaFixReader m_reader;
    std::string m_line;
    bool m_overlong = false; // the line being read is too long: skipped up to its end
    QString m_problem;       // why the port is not open; empty while it is
    Clock::time_point m_openedAt;
    Clock::time_point m_fixAt;
    std::optional<Clock::time_point> m_sentenceAt; // of the last sentence with a right checksum
    std::optional<Clock::time_point> m_garbageAt;  // of the last line that was none
    bool m_noFix = false; // the last GGA or RMC said the receiver has no fix
};
