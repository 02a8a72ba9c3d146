// The main window's session recording and replay: File/Record session…,
// File/Open recording…, and the title while a recording plays.
#include "MainWindow.h"

#include "VRSComm32.h"
#include "VRynAppInfo.h"
#include "VRynTerminal.h"
#include "VRynTerminalLineType.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

const QString kRecordSessionTip = QStringLiteral("Record everything that passes on the port, to replay it later");

// Where the dialogs start: the program's data folder, made when missing.
QString RecordingFolder(const QString &appName)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + appName;
    QDir().mkpath(folder);
    return folder;
}

} // namespace

void TfrmMain::BuildRecordingMenuItems(QMenu *file)
{
    Recordsession1 = file->addAction(QStringLiteral("Record session…"));
    Recordsession1->setObjectName(QStringLiteral("Recordsession1"));
    Recordsession1->setCheckable(true);
    Recordsession1->setStatusTip(kRecordSessionTip);
    connect(Recordsession1, &QAction::triggered, this,
            [this] { RunGuarded("session recording", [this] { Recordsession1Click(); }); });
    Openrecording1 = file->addAction(QStringLiteral("Open recording…"));
    Openrecording1->setObjectName(QStringLiteral("Openrecording1"));
    Openrecording1->setStatusTip(QStringLiteral("Play a session recording as the modem"));
    connect(Openrecording1, &QAction::triggered, this,
            [this] { RunGuarded("open recording", [this] { Openrecording1Click(); }); });
}

bool TfrmMain::StartSessionRecording(const QString &path)
{
    StopSessionRecording();
    const std::string port = PortText();
    const std::string settings =
        TVRSComm32::IsSimulatedPort(port) || TVRSComm32::IsReplayPort(port) ? std::string() : VRSComm321->GetConfigAsString();
    const bool ok = m_sessionRecorder.Open(path, port, settings);
    if (ok) {
        // A port already open is marked open first, so the replay has a
        // connection to answer in.
        if (VRSComm321->Active())
            m_sessionRecorder.Opened(VRSComm321->ReportsRingIndicator());
        VRSComm321->SetRecorder(&m_sessionRecorder);
        termMain->AddLine(QStringLiteral("Session recording: writing the port dialogue to ") +
                              QDir::toNativeSeparators(path),
                          VRynTerminal_ltExtra);
    } else {
        termMain->AddLine(QStringLiteral("Session recording: ") + m_sessionRecorder.ErrorText(), VRynTerminal_ltError);
    }
    Recordsession1->setChecked(ok);
    Recordsession1->setStatusTip(ok ? QStringLiteral("Recording the session to ") + QDir::toNativeSeparators(path)
                                    : kRecordSessionTip);
    return ok;
}

void TfrmMain::StopSessionRecording()
{
    VRSComm321->SetRecorder(nullptr);
    if (m_sessionRecorder.IsOpen()) {
        // The replay ends here, as at a close of the port.
        if (VRSComm321->Active())
            m_sessionRecorder.Closed();
        termMain->AddLine(QStringLiteral("Session recording closed"), VRynTerminal_ltExtra);
    }
    m_sessionRecorder.Close();
    Recordsession1->setChecked(false);
    Recordsession1->setStatusTip(kRecordSessionTip);
}

void TfrmMain::Recordsession1Click()
{
    if (m_sessionRecorder.IsOpen()) {
        StopSessionRecording();
        return;
    }
    Recordsession1->setChecked(false);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Record session"),
                                                      RecordingFolder(VRynAppInfo1->AppName()) +
                                                          QStringLiteral("/session.rec"),
                                                      QStringLiteral("Session recordings (*.rec);;All files (*)"));
    if (path.isEmpty())
        return;
    if (!StartSessionRecording(path))
        QMessageBox::warning(this, QStringLiteral("Record session"), m_sessionRecorder.ErrorText());
}

void TfrmMain::RecordIdentity()
{
    if (!m_sessionRecorder.IsOpen())
        return;
    m_sessionRecorder.Identity(m_session->Manufacturer(), m_session->Model());
    if (!m_sessionRecorder.ErrorText().isEmpty()) {
        // One report, then the recording stops: a full disk must not flood the terminal.
        termMain->AddLine(QStringLiteral("Session recording stopped: ") + m_sessionRecorder.ErrorText(),
                          VRynTerminal_ltError);
        StopSessionRecording();
    }
}

void TfrmMain::OpenRecording(const QString &path)
{
    const QString port = QStringLiteral("replay:") + path;
    cmbPort->setEditText(port);
    m_appliedPort = port;
    ShowPortEditState();
    m_session->SetState(ModemSession::State::Init);
}

void TfrmMain::Openrecording1Click()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open recording"),
                                                      RecordingFolder(VRynAppInfo1->AppName()),
                                                      QStringLiteral("Session recordings (*.rec);;All files (*)"));
    if (!path.isEmpty())
        OpenRecording(path);
}

void TfrmMain::ShowPlayingRecording(const std::string &port)
{
    const QString title = QStringLiteral("Palvex, version ") + VRynAppInfo::VersionText();
    if (!TVRSComm32::IsReplayPort(port)) {
        setWindowTitle(title);
        return;
    }
    const QString name = QString::fromStdString(port.substr(port.find(':') + 1));
    setWindowTitle(title + QStringLiteral(" \u2013 playing the recording ") +
                   QDir::toNativeSeparators(name.section(QLatin1Char(','), 0, 0)));
}
