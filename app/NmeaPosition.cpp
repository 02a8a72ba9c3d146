#include "NmeaPosition.h"

#include "VRSComm32.h"

#include <QRegularExpression>
#include <QTimer>

#include <stdexcept>

namespace {

QString SourceError(const QString &text)
{
    return QStringLiteral("--gps needs gpsd, gpsd:HOST:PORT, modem or a serial port with NMEA (PORT or PORT:BAUD), "
                          "got \"%1\"")
        .arg(text);
}

} // namespace

NmeaPosition::NmeaPosition(const QString &port, std::int32_t baud, QObject *owner)
    : QObject(owner)
    , m_portName(port)
    , m_channel(new TVRSComm32(this))
    , m_retry(new QTimer(this))
{
    m_channel->SetCommPort(port.toStdString());
    m_channel->SetBaudRate(baud);
    m_channel->SetAutoReconnect(false);
    m_channel->SetOnNotice([](const std::string &) {}); // said through State()
    m_channel->SetOnReceiveData([this](VRynCommunicationComponent *, const std::uint8_t *buffer, std::uint16_t length) {
        Received(buffer, length);
    });
    m_channel->SetOnStateChange([this](QObject *, TCommState state) {
        if (state == TCommState::CommStateFailed && m_problem.isEmpty()) {
            m_problem = QStringLiteral("lost NMEA port %1: %2")
                            .arg(m_portName, QString::fromStdString(m_channel->LastErrorText()));
            m_retry->start();
        }
    });
    m_retry->setInterval(std::chrono::milliseconds(kRetry));
    connect(m_retry, &QTimer::timeout, this, [this] { TryOpen(); });
    TryOpen();
}

NmeaPosition::~NmeaPosition()
{
    m_channel->SetOnStateChange({});
    m_channel->SetOnReceiveData({});
    m_channel->StopComm();
}

bool NmeaPosition::ParseSource(const QString &text, QString &port, std::int32_t &baud, QString &error)
{
    static const QRegularExpression withBaud(QStringLiteral("^(.+):([0-9]+)$"));
    port = text;
    baud = kDefaultBaud;
    if (const QRegularExpressionMatch match = withBaud.match(text); match.hasMatch()) {
        bool ok = false;
        baud = match.captured(2).toInt(&ok);
        if (!ok || baud < 300 || baud > 4000000) {
            error = SourceError(text);
            return false;
        }
        port = match.captured(1);
    }
    const std::string name = port.toStdString();
    if (port.trimmed().isEmpty() || port.startsWith(QLatin1String("gpsd")) || TVRSComm32::IsSimulatedPort(name) ||
        TVRSComm32::IsReplayPort(name)) {
        error = SourceError(text);
        return false;
    }
    return true;
}

void NmeaPosition::TryOpen()
{
    if (m_channel->Active()) {
        m_retry->stop();
        return;
    }
    if (!m_channel->StartComm()) {
        m_problem = QStringLiteral("cannot open NMEA port %1: %2")
                        .arg(m_portName, QString::fromStdString(m_channel->LastErrorText()));
        m_retry->start();
        return;
    }
    m_retry->stop();
    m_problem.clear();
    m_openedAt = Clock::now();
    m_line.clear();
    m_overlong = false;
    m_sentenceAt.reset();
    m_garbageAt.reset();
    m_noFix = false;
}

void NmeaPosition::Received(const std::uint8_t *buffer, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        const char c = char(buffer[i]);
        if (c == '\n' || c == '\r') {
            TakeLine();
            continue;
        }
        if (m_line.size() >= kMaxLine) {
            m_overlong = true;
            m_line.clear();
        }
        if (!m_overlong)
            m_line += c;
    }
}

void NmeaPosition::TakeLine()
{
    const bool overlong = m_overlong;
    m_overlong = false;
    if (m_line.empty() && !overlong)
        return;
    const Clock::time_point now = Clock::now();
    const NmeaFixReader::Sentence sentence =
        overlong ? NmeaFixReader::Sentence::Bad : m_reader.Take(m_line);
    m_line.clear();
    switch (sentence) {
    case NmeaFixReader::Sentence::Bad: m_garbageAt = now; return;
    case NmeaFixReader::Sentence::Ignored: m_sentenceAt = now; return;
    case NmeaFixReader::Sentence::NoFix:
        m_sentenceAt = now;
        m_noFix = true;
        return;
    case NmeaFixReader::Sentence::Fix:
        m_sentenceAt = now;
        m_noFix = false;
        m_fixAt = now;
        return;
    }
}

std::optional<TGnssFix> NmeaPosition::Position() const
{
    if (!m_problem.isEmpty() || m_noFix || !m_reader.Fix() || Clock::now() - m_fixAt > kStaleAfter)
        return std::nullopt;
    return m_reader.Fix();
}

QString NmeaPosition::State() const
{
    if (!m_problem.isEmpty())
        return m_problem;
    if (Position())
        return QStringLiteral("positions from NMEA port %1").arg(m_portName);
    const Clock::time_point now = Clock::now();
    if (m_noFix && m_sentenceAt && now - *m_sentenceAt <= kStaleAfter)
        return QStringLiteral("NMEA port %1 has no fix").arg(m_portName);
    // A receiver gets a few seconds after the open to say something.
    if (now - m_openedAt <= kStaleAfter)
        return {};
    if (m_garbageAt && now - *m_garbageAt <= kStaleAfter && (!m_sentenceAt || now - *m_sentenceAt > kStaleAfter))
        return QStringLiteral("no NMEA sentence on %1 for %2 s, only other bytes (is the receiver's speed %3 baud?)")
            .arg(m_portName)
            .arg(kStaleAfter.count())
            .arg(m_channel->BaudRate());
    return QStringLiteral("no position from NMEA port %1 for %2 s").arg(m_portName).arg(kStaleAfter.count());
}
