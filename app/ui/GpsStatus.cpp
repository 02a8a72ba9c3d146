#include "GpsStatus.h"

#include <QTimer>

TGpsStatus::TGpsStatus(QWidget *parent)
    : TElidedLabel(Text(std::nullopt), parent)
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("StatusPanelGps"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumWidth(200); // a whole fix: "GPS 3D fix -33.8513, -151.2073"
    m_timer->setInterval(std::chrono::milliseconds(kRefresh));
    connect(m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    setVisible(false);
}

TGpsStatus::~TGpsStatus() = default;

QString TGpsStatus::Text(const std::optional<TGnssFix> &fix)
{
    if (!fix)
        return QStringLiteral("GPS no fix");
    return QStringLiteral("GPS %1D fix %2, %3")
        .arg(fix->dimension >= 3 ? 3 : 2)
        .arg(fix->lat, 0, 'f', 4)
        .arg(fix->lon, 0, 'f', 4);
}

QString TGpsStatus::Details(const std::optional<TGnssFix> &fix, const QString &state)
{
    QStringList parts;
    if (fix) {
        if (fix->altM)
            parts << QStringLiteral("altitude %1 m").arg(*fix->altM, 0, 'f', 1);
        if (fix->speedKmh)
            parts << QStringLiteral("speed %1 km/h").arg(*fix->speedKmh, 0, 'f', 1);
        if (!fix->time.empty())
            parts << QStringLiteral("fix of %1").arg(QString::fromStdString(fix->time));
    }
    if (!state.isEmpty())
        parts << state;
    return parts.join(QLatin1Char('\n'));
}

void TGpsStatus::SetSource(std::unique_ptr<PositionSource> source)
{
    m_source = std::move(source);
    if (m_source)
        m_timer->start();
    else
        m_timer->stop();
    UpdateShown();
    Refresh();
}

void TGpsStatus::SetModemGnss(bool on)
{
    m_modemGnss = on;
    if (on)
        m_state = QStringLiteral("the modem's own GNSS, asked with each poll cycle");
    UpdateShown();
}

void TGpsStatus::ShowPosition(const std::optional<TGnssFix> &fix)
{
    if (!Configured())
        return;
    SetFullText(Text(fix));
    SetPlainToolTip(Details(fix, m_state));
}

void TGpsStatus::Refresh()
{
    if (!m_source)
        return;
    const std::optional<TGnssFix> fix = m_source->Position();
    if (const QString change = m_source->TakeStatusChange(); !change.isEmpty()) {
        m_state = change;
        emit StatusChanged(change, !fix);
    }
    ShowPosition(fix);
}

void TGpsStatus::UpdateShown()
{
    setVisible(Configured());
    if (!Configured())
        SetFullText(Text(std::nullopt));
}
