#pragma once
// A process a test starts and ends by its own id: on destruction standard
// input is closed (a program that reads it exits by itself), then, if it
// still runs, SIGTERM and at last SIGKILL. SIGTERM before SIGKILL, so a
// wrapper such as timeout(1) passes the stop on to the program it runs.

#include <QProcess>
#include <QString>
#include <QStringList>

class ChildProcess {
public:
    ChildProcess(const QString &program, const QStringList &arguments)
    {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~ChildProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (m_process.waitForFinished(2000))
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    QProcess &Process() { return m_process; }

protected:
    QProcess m_process;
};
