#include "GpsdPosition.h"

#include <gps.h>

#include <QDateTime>
#include <QTimeZone>

#include <cerrno>
#include <cmath>

namespace {

constexpr double kKmhPerMps = 3.6;

// The state before the thread first tried gpsd: nothing to tell yet.
constexpr const char *kWaiting = "waiting";

std::optional<double> Finite(double value)
{
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

} // namespace

GpsdPosition::GpsdPosition(std::string host, std::string port)
    : m_host(std::move(host))
    , m_port(std::move(port))
    , m_problem(kWaiting)
    , m_thread([this] { Run(); })
{
}

GpsdPosition::~GpsdPosition()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool GpsdPosition::ParseSource(const QString &text, std::string &host, std::string &port, QString &error)
{
    host = "localhost";
    port = DEFAULT_GPSD_PORT;
    if (text == QLatin1String("gpsd"))
        return true;
    if (!text.startsWith(QLatin1String("gpsd:"))) {
        error = QStringLiteral("--gps needs gpsd or gpsd:HOST:PORT (a port from 1 to 65535), got \"%1\"").arg(text);
        return false;
    }
    const QString rest = text.mid(5);
    const qsizetype colon = rest.lastIndexOf(':');
    bool ok = false;
    const int number = colon > 0 ? rest.mid(colon + 1).toInt(&ok) : 0;
    QString hostText = colon > 0 ? rest.left(colon) : QString();
    if (hostText.startsWith('[') && hostText.endsWith(']'))
        hostText = hostText.mid(1, hostText.size() - 2);
    if (!ok || number < 1 || number > 65535 || hostText.isEmpty()) {
        error = QStringLiteral("--gps needs gpsd or gpsd:HOST:PORT (a port from 1 to 65535), got \"%1\"").arg(text);
        return false;
    }
    host = hostText.toStdString();
    port = std::to_string(number);
    return true;
}

std::optional<TGnssFix> GpsdPosition::Position() const
{
    std::lock_guard lock(m_mutex);
    if (!m_fix || std::chrono::steady_clock::now() - m_fixAt > kStaleAfter)
        return std::nullopt;
    return m_fix;
}

QString GpsdPosition::State() const
{
    std::string problem;
    {
        std::lock_guard lock(m_mutex);
        problem = m_problem;
        if (problem.empty() && m_fix && std::chrono::steady_clock::now() - m_fixAt > kStaleAfter)
            problem = "no position from gpsd at " + m_host + ":" + m_port + " for " +
                      std::to_string(kStaleAfter.count()) + " s";
    }
    if (problem == kWaiting)
        return {};
    return problem.empty() ? QStringLiteral("positions from gpsd at %1:%2")
                                 .arg(QString::fromStdString(m_host), QString::fromStdString(m_port))
                           : QString::fromStdString(problem);
}

void GpsdPosition::Run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        lock.unlock();
        gps_data_t data{};
        const bool opened = gps_open(m_host.c_str(), m_port.c_str(), &data) == 0;
        const std::string openError = opened ? std::string() : gps_errstr(errno);
        if (opened)
            gps_stream(&data, WATCH_ENABLE | WATCH_JSON, nullptr);
        lock.lock();
        if (!opened) {
            m_problem = "cannot reach gpsd at " + m_host + ":" + m_port + ": " + openError;
            m_wake.wait_for(lock, kRetry, [this] { return m_stop; });
            continue;
        }
        if (!m_fix)
            m_problem = "no position from gpsd at " + m_host + ":" + m_port + " yet";
        while (!m_stop) {
            lock.unlock();
            // Waits at most half a second, so a stop is never held up long.
            const bool ready = gps_waiting(&data, 500000);
            const bool failed = ready && gps_read(&data, nullptr, 0) < 0;
            lock.lock();
            if (!ready)
                continue;
            if (failed) {
                m_problem = "lost gpsd at " + m_host + ":" + m_port;
                break;
            }
            if (!(data.set & MODE_SET) || !(data.set & LATLON_SET))
                continue;
            if (data.fix.mode < MODE_2D || !std::isfinite(data.fix.latitude) || !std::isfinite(data.fix.longitude)) {
                m_problem = "gpsd at " + m_host + ":" + m_port + " has no fix";
                continue;
            }
            TGnssFix position;
            position.lat = data.fix.latitude;
            position.lon = data.fix.longitude;
            if (data.fix.mode >= MODE_3D)
                position.altM = Finite(data.fix.altMSL);
            if (const std::optional<double> speed = Finite(data.fix.speed))
                position.speedKmh = *speed * kKmhPerMps;
            position.dimension = data.fix.mode >= MODE_3D ? 3 : 2;
            if (data.fix.time.tv_sec > 0)
                position.time = QDateTime::fromMSecsSinceEpoch(
                                    qint64(data.fix.time.tv_sec) * 1000 + data.fix.time.tv_nsec / 1000000,
                                    QTimeZone::utc())
                                    .toString(Qt::ISODateWithMs)
                                    .toStdString();
            m_fix = position;
            m_fixAt = std::chrono::steady_clock::now();
            m_problem.clear();
        }
        lock.unlock();
        gps_stream(&data, WATCH_DISABLE, nullptr);
        gps_close(&data);
        lock.lock();
        m_wake.wait_for(lock, kRetry, [this] { return m_stop; });
    }
}
