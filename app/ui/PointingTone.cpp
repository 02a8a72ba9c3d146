#include "PointingTone.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <vector>

// The samples of a ToneGenerator as the audio output's format asks:
// 16-bit or float, each sample on every channel. An endless stream.
class TToneDevice : public QIODevice {
public:
    TToneDevice(const QAudioFormat &format)
        : m_format(format)
        , m_generator(format.sampleRate())
    {
    }
    ToneGenerator &Generator() { return m_generator; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const int channels = std::max(1, m_format.channelCount());
        const int bytes = m_format.bytesPerSample();
        const auto frames = std::size_t(maxSize / (bytes * channels));
        m_samples.resize(frames);
        m_generator.Fill(m_samples.data(), frames);
        char *out = data;
        for (float sample : m_samples)
            for (int c = 0; c < channels; ++c, out += bytes) {
                if (m_format.sampleFormat() == QAudioFormat::Float) {
                    std::memcpy(out, &sample, sizeof sample);
                } else {
                    const auto value = qint16(sample * 32767.0f);
                    std::memcpy(out, &value, sizeof value);
                }
            }
        return out - data;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QAudioFormat m_format;
    ToneGenerator m_generator;
    std::vector<float> m_samples;
};

TPointingTone::TPointingTone(QObject *parent)
    : QObject(parent)
{
}

TPointingTone::~TPointingTone() { Stop(); }

void TPointingTone::SetOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    if (!on) {
        Stop();
        m_problem.clear();
        return;
    }
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        m_problem = QStringLiteral("no audio output");
        return;
    }
    // Mono 16-bit where the output takes it, else its own format in
    // 16-bit or float samples.
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!output.isFormatSupported(format)) {
        format = output.preferredFormat();
        if (format.sampleFormat() != QAudioFormat::Float)
            format.setSampleFormat(QAudioFormat::Int16);
        if (!output.isFormatSupported(format)) {
            m_problem = QStringLiteral("the audio output %1 takes no format of the tone").arg(output.description());
            return;
        }
    }
    m_device = std::make_unique<TToneDevice>(format);
    m_device->Generator().SetFrequency(m_frequency);
    m_device->open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(output, format, this);
    m_sink->setBufferSize(format.bytesForDuration(100'000)); // a change of pitch is heard within 0.1 s
    m_sink->start(m_device.get());
    if (m_sink->error() != QAudio::NoError) {
        m_problem = QStringLiteral("the audio output %1 did not start").arg(output.description());
        Stop();
        return;
    }
    m_problem.clear();
}

bool TPointingTone::Playing() const
{
    return m_sink && m_sink->state() != QAudio::StoppedState;
}

void TPointingTone::SetValue(const TPointingValue &value)
{
    m_frequency = PointingToneFrequency(value);
    if (m_device)
        m_device->Generator().SetFrequency(m_frequency);
}

std::optional<double> TPointingTone::Frequency() const { return m_frequency; }

void TPointingTone::Stop()
{
    if (m_sink) {
        m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
    }
    m_device.reset();
}
