// The main window's network scan: Settings -> "Scan for operators...", a
// progress dialog that cancels it, and the networks found joining the
// operator switch.
#include "MainWindow.h"

#include "VRynAppInfo.h"
#include "VRynTerminal.h"
#include "VRynTerminalLineType.h"

#include <QDateTime>
#include <QPushButton>
#include <QTimer>

namespace {

int Seconds(std::chrono::milliseconds ms)
{
    return static_cast<int>(ms.count() / 1000);
}

} // namespace

void TfrmMain::Scanoperators1Click()
{
    if (!m_scanDialog) {
        m_scanDialog = new QProgressDialog(this);
        m_scanDialog->setObjectName(QStringLiteral("dlgScan"));
        m_scanDialog->setWindowTitle(QStringLiteral("Scan for operators"));
        m_scanDialog->setAutoClose(false);
        m_scanDialog->setAutoReset(false);
        m_scanDialog->setMinimumDuration(0);
        m_scanClock = new QTimer(this);
        m_scanClock->setInterval(1000);
        connect(m_scanClock, &QTimer::timeout, this, [this] {
            const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - m_scanStartedMs;
            m_scanDialog->setValue(static_cast<int>(std::min<qint64>(elapsed / 1000, m_scanDialog->maximum())));
        });
        // Cancel (or Esc, or closing it) while the scan runs; Close once it
        // has ended.
        const auto cancel = [this] {
            m_scanClock->stop();
            if (m_session->ScanPending())
                m_session->CancelScan();
            m_scanDialog->hide();
        };
        connect(m_scanDialog, &QProgressDialog::canceled, this, cancel);
        connect(m_scanDialog, &QDialog::rejected, this, cancel);
    }
    if (m_session->ScanPending()) {
        // The scan asked for before goes on; its dialog comes back.
        m_scanDialog->show();
        return;
    }
    m_scanDialog->setCancelButtonText(QStringLiteral("Cancel"));
    m_scanDialog->setLabelText(QStringLiteral("Waiting for the modem: the scan starts between two poll cycles."));
    m_scanDialog->setRange(0, 0);
    m_scanDialog->setValue(0);
    m_scanDialog->show();
    m_session->RequestScan();
}

void TfrmMain::ScanStarted(std::chrono::milliseconds timeout)
{
    m_scanTimeout = timeout;
    m_scanStartedMs = QDateTime::currentMSecsSinceEpoch();
    if (!m_scanDialog)
        return;
    m_scanDialog->setLabelText(QStringLiteral("The modem searches for networks (up to %1 minutes); polling pauses.")
                                   .arg(Seconds(timeout) / 60));
    m_scanDialog->setRange(0, Seconds(timeout));
    m_scanDialog->setValue(0);
    m_scanClock->start();
}

void TfrmMain::ScanFinished(const OperatorScanResult &result)
{
    const QString text = QString::fromStdString(ScanOutcomeText(result, Seconds(m_scanTimeout)));
    if (m_scanClock)
        m_scanClock->stop();
    if (result.outcome == ScanOutcome::Cancelled) {
        if (m_scanDialog)
            m_scanDialog->hide();
        return;
    }
    if (result.outcome != ScanOutcome::Done) {
        // Said where the user looks, until closed.
        termMain->AddLine(QStringLiteral("Scan for operators: ") + text, VRynTerminal_ltWarning);
        if (m_scanDialog) {
            m_scanDialog->setRange(0, 1);
            m_scanDialog->setValue(0);
            m_scanDialog->setLabelText(text.left(1).toUpper() + text.mid(1) + QLatin1Char('.'));
            m_scanDialog->setCancelButtonText(QStringLiteral("Close"));
            m_scanDialog->show();
        }
        return;
    }
    m_scanMarks = ScanMarksOf(result.operators);
    const QString path = OperatorTablePath(VRynAppInfo1->AppName());
    const OperatorTableResult table = AddScannedOperators(path, result.operators);
    m_scanOnly.clear();
    if (!table.ok) {
        termMain->AddLine(QStringLiteral("Operator table: ") + table.error, VRynTerminal_ltWarning);
        for (const ScannedOperator &op : result.operators)
            m_scanOnly.push_back(ScannedOperatorEntry(op));
    }
    LoadOperators();
    termMain->AddLine(QStringLiteral("Scan for operators: ") + text, VRynTerminal_ltExtra);
    if (m_scanDialog)
        m_scanDialog->hide();
}
