#include "OperatorScanRun.h"

#include "HeadlessSession.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

QJsonValue TextOrNull(const std::string &text)
{
    return text.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(text));
}

// The monitor's open time-out when none is given: a scan waits for the
// modem, never for a port that does not come.
constexpr double kDefaultOpenTimeoutSeconds = 10.0;

class ScanView : public QObject, public ModemSessionView {
public:
    ScanView(const HeadlessOptions &options, std::function<void(const QString &)> error)
        : m_options(options)
        , m_port(options.port.toStdString())
        , m_error(std::move(error))
        , m_parts(this, *this, options.baud)
    {
        // The scan reads only; nothing else is to change in the modem.
        m_parts.session->SetReadOnly(options.readOnly);
        m_parts.session->SetAnswerCalls(false);
    }

    ~ScanView() override { Shutdown(); }

    void Start()
    {
        m_parts.session->RequestScan();
        try {
            m_parts.Start();
        } catch (const std::exception &e) {
            return Fail(QString::fromUtf8(e.what()));
        }
        const double seconds = m_options.openTimeoutSeconds.value_or(kDefaultOpenTimeoutSeconds);
        QTimer::singleShot(std::chrono::milliseconds(std::llround(seconds * 1000.0)), this, [this, seconds] {
            if (!m_opened)
                Fail(QStringLiteral("%1 did not open within %2 s%3")
                         .arg(m_options.port)
                         .arg(seconds)
                         .arg(m_openReason.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(m_openReason)));
        });
    }

    void Cancel() { m_parts.session->CancelScan(); }

    void Shutdown() { m_parts.Stop(); }

    int ExitCode() const { return m_exitCode; }

    // ModemSessionView
    std::string PortText() const override { return m_port; }

    void ScanStarted(std::chrono::milliseconds timeout) override
    {
        if (!m_options.quiet)
            m_error(QStringLiteral("scanning for networks on %1 (AT+COPS=?, up to %2 s)")
                        .arg(m_options.port)
                        .arg(timeout.count() / 1000));
    }

    void PortOpened(const std::string &) override { m_opened = true; }

    void PortOpenFailed(const std::string &, const std::string &reason) override
    {
        m_openReason = reason;
        // A folder or /dev/null stays what it is: no use waiting for it.
        if (m_parts.channel->NotASerialPort())
            Fail(QString::fromStdString(reason));
    }

    void ModemSilent(const std::string &text) override { Fail(QString::fromStdString(text)); }

    void ScanFinished(const OperatorScanResult &result) override
    {
        if (m_done)
            return;
        const QString text = QString::fromStdString(
            ScanOutcomeText(result, static_cast<int>(ModemSession::kScanTimeout.count() / 1000)));
        if (result.outcome != ScanOutcome::Done)
            return Fail(text);
        const QByteArray json = QJsonDocument(ScanResultJson(result)).toJson(QJsonDocument::Indented);
        std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
        std::fflush(stdout);
        if (!m_options.quiet)
            m_error(text);
        Finish(kExitOk);
    }

private:
    void Fail(const QString &text)
    {
        if (m_done)
            return;
        m_error(text);
        Finish(kExitFailure);
    }

    void Finish(int code)
    {
        m_done = true;
        m_exitCode = code;
        QCoreApplication::exit(code);
    }

    HeadlessOptions m_options;
    std::string m_port;
    std::function<void(const QString &)> m_error;
    HeadlessSession m_parts;
    bool m_opened = false;
    bool m_done = false;
    std::string m_openReason;
    int m_exitCode = kExitFailure;
};

} // namespace

QJsonArray ScanResultJson(const OperatorScanResult &result)
{
    QJsonArray list;
    for (const ScannedOperator &op : result.operators) {
        const char *technology = RadioTechName(RadioTechOfAccessTechnology(op.accessTechnology));
        list.append(QJsonObject{
            {QStringLiteral("code"), QString::fromStdString(op.code)},
            {QStringLiteral("name"), TextOrNull(op.longName)},
            {QStringLiteral("short_name"), TextOrNull(op.shortName)},
            {QStringLiteral("status"), QString::fromLatin1(OperatorStatusWord(op.status))},
            {QStringLiteral("technology"), technology ? QJsonValue(QString::fromLatin1(technology)) : QJsonValue()},
            {QStringLiteral("act"), op.accessTechnology >= 0 ? QJsonValue(op.accessTechnology) : QJsonValue()},
        });
    }
    return list;
}

int RunOperatorScan(const HeadlessOptions &options, const std::function<void(const QString &)> &error,
                    const std::function<bool(QObject *, std::function<void()>)> &installStop)
{
    ScanView view(options, error);
    if (!installStop(&view, [&view] { view.Cancel(); })) {
        error(QStringLiteral("cannot install the signal handlers"));
        return kExitFailure;
    }
    QTimer::singleShot(0, &view, [&view] { view.Start(); });
    QCoreApplication::exec();
    view.Shutdown();
    return view.ExitCode();
}
