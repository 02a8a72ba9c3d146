#pragma once
// The status bar's GPS part: "GPS 3D fix 50.0755, 14.4378" or "GPS no fix",
// shown only while a receiver is configured (--gps). A receiver beside the
// modem (gpsd, an NMEA port) is asked every second, so the fix shows while
// no cycle completes; the modem's own GNSS is shown with each cycle.

#include "ElidedLabel.h"

#include "PositionSource.h"

#include <memory>
#include <optional>

class QTimer;

class TGpsStatus : public TElidedLabel {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds kRefresh{1};

    explicit TGpsStatus(QWidget *parent = nullptr);
    ~TGpsStatus() override;

    // The panel's text for a fix (none: "GPS no fix").
    static QString Text(const std::optional<TGnssFix> &fix);
    // Its tooltip: the altitude, speed and time the receiver told, and
    // the last thing it said of itself.
    static QString Details(const std::optional<TGnssFix> &fix, const QString &state);

    // Positions from source, which the panel keeps; null: none.
    void SetSource(std::unique_ptr<PositionSource> source);
    PositionSource *Source() const { return m_source.get(); }
    // Positions from the modem's own GNSS, told with each cycle.
    void SetModemGnss(bool on);
    bool Configured() const { return m_source || m_modemGnss; }

    // The position of a cycle's record.
    void ShowPosition(const std::optional<TGnssFix> &fix);

signals:
    // What the receiver says of itself when that changes ("positions from
    // NMEA port /dev/ttyUSB1", "cannot reach gpsd..."), for the terminal;
    // problem when it gives no position.
    void StatusChanged(const QString &text, bool problem);

private:
    void Refresh();
    void UpdateShown();

    std::unique_ptr<PositionSource> m_source;
    bool m_modemGnss = false;
    QTimer *m_timer = nullptr;
    QString m_state;
};
