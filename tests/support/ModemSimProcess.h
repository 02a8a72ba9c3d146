#pragma once
// One run of palvex-modemsim (a modem on a pseudo-terminal), ended by this
// handle: stdin closed (the program exits by itself), then killed if it
// still runs. It also exits by itself after a minute, so a crashed test
// never leaves it behind.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

class ModemSimProcess {
public:
    ModemSimProcess(const QString &program, QStringList arguments, int exitAfterSeconds = 60)
    {
        arguments << "--exit-after" << QString::number(exitAfterSeconds);
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~ModemSimProcess()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(2000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    ModemSimProcess(const ModemSimProcess &) = delete;
    ModemSimProcess &operator=(const ModemSimProcess &) = delete;

    // The next line of standard output, or empty after the wait.
    QString NextLine(int waitMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < waitMs)
            m_process.waitForReadyRead(100);
        return m_process.canReadLine() ? QString::fromLocal8Bit(m_process.readLine()).trimmed() : QString();
    }
    QProcess &Process() { return m_process; }

private:
    QProcess m_process;
};
