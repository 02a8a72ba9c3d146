#pragma once
// The pointing mode's tone: a sine whose pitch follows the main figure
// (PointingToneFrequency), played on the default audio output through Qt
// Multimedia while it is switched on. Off by default. Without an audio
// output nothing plays and Problem() says why; nothing waits on the device.

#include "PointingTracker.h"

#include <QObject>
#include <QString>

#include <memory>

class QAudioSink;
class TToneDevice;

class TPointingTone : public QObject {
    Q_OBJECT
public:
    explicit TPointingTone(QObject *parent = nullptr);
    ~TPointingTone() override;

    // Starts or stops the tone; on with no audio output plays nothing.
    void SetOn(bool on);
    bool On() const { return m_on; }
    // Whether samples go to an audio output now.
    bool Playing() const;
    // Why no tone is heard although it is on; empty otherwise.
    QString Problem() const { return m_problem; }

    // The main figure of a cycle: the pitch follows it.
    void SetValue(const TPointingValue &value);
    std::optional<double> Frequency() const;

private:
    void Stop();

    bool m_on = false;
    std::optional<double> m_frequency;
    std::unique_ptr<TToneDevice> m_device;
    QAudioSink *m_sink = nullptr;
    QString m_problem;
};
