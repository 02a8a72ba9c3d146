#pragma once
// The antenna-pointing mode: a window of large figures, readable from a few
// metres, of the current RSRP and SINR (or the signal percentage where RSRP
// is unknown), the best value since the mode was entered and an arrow for
// the trend of the last seconds, and an optional tone whose pitch follows
// the main figure (off by default; the box "Tone" or T). Its owner shortens
// the poll cycle while it is shown (ModeChanged). Esc leaves it.

#include "PointingTracker.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class TPointingTone;

class TPointingView : public QWidget {
    Q_OBJECT
public:
    explicit TPointingView(QWidget *parent = nullptr);

    // Shows the window with the best values forgotten.
    void Enter();
    void AddRecord(const TNetState &record, std::int64_t timeMs);

    const PointingTracker &MainTracker() const { return m_main; }
    const PointingTracker &SecondTracker() const { return m_second; }
    QLabel *MainValueLabel() const { return m_mainValue; }
    QLabel *MainBestLabel() const { return m_mainBest; }
    QLabel *MainTrendLabel() const { return m_mainTrend; }
    QLabel *SecondValueLabel() const { return m_secondValue; }
    QCheckBox *ToneBox() const { return m_toneBox; }
    TPointingTone *Tone() const { return m_tone; }

signals:
    // True when the mode is entered (shown), false when it is left.
    void ModeChanged(bool on);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void ShowFigures();
    void ApplyTone();

    PointingTracker m_main;
    PointingTracker m_second;
    QLabel *m_mainName = nullptr;
    QLabel *m_mainValue = nullptr;
    QLabel *m_mainTrend = nullptr;
    QLabel *m_mainBest = nullptr;
    QLabel *m_secondName = nullptr;
    QLabel *m_secondValue = nullptr;
    QLabel *m_secondTrend = nullptr;
    QLabel *m_secondBest = nullptr;
    QCheckBox *m_toneBox = nullptr;
    QLabel *m_toneProblem = nullptr;
    TPointingTone *m_tone = nullptr;
};

// "-87 dBm", "61 %", "?" for an unknown value.
QString PointingText(std::optional<double> value, const std::string &unit);
