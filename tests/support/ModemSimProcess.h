#pragma once
// One run of palvex-modemsim (a modem on a pseudo-terminal), ended by this
// handle: stdin closed (the program exits by itself), then stopped if it
// still runs. It also exits by itself after a minute, so a crashed test
// never leaves it behind.

#include "ChildProcess.h"

#include <QElapsedTimer>

class ModemSimProcess : public ChildProcess {
public:
    ModemSimProcess(const QString &program, QStringList arguments, int exitAfterSeconds = 60)
        : ChildProcess(program, arguments << "--exit-after" << QString::number(exitAfterSeconds))
    {
    }

    // The next line of standard output, or empty after the wait.
    QString NextLine(int waitMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < waitMs)
            m_process.waitForReadyRead(100);
        return m_process.canReadLine() ? QString::fromLocal8Bit(m_process.readLine()).trimmed() : QString();
    }
};
