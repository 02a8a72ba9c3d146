#pragma once
// A pseudo-terminal the test itself holds: the master side stays with the
// test, the device (/dev/pts/N) is what a channel opens, here through a link
// in the test's own temporary folder. The link goes before the master is
// closed, so nobody is left with a name for a freed terminal.

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class TestPty {
public:
    // link: the path of the link to make, in the caller's temporary folder.
    explicit TestPty(const QString &link)
        : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        if (const char *name = ::ptsname(m_master))
            m_device = QString::fromLocal8Bit(name);
        if (!m_device.isEmpty() && QFile::link(m_device, link))
            m_link = link;
    }
    ~TestPty() { CloseMaster(); }
    TestPty(const TestPty &) = delete;
    TestPty &operator=(const TestPty &) = delete;

    // True when the terminal and its link were made.
    bool Ready() const { return m_master >= 0 && !m_link.isEmpty(); }
    QString Device() const { return m_device; }
    // The master side: what the test reads is what the channel wrote.
    int Master() const { return m_master; }
    QString Link() const { return m_link; }

    // The terminal's settings as the channel left them (both sides of a
    // pseudo-terminal share them).
    termios Settings() const
    {
        termios settings{};
        ::tcgetattr(m_master, &settings);
        return settings;
    }

    // Removes the link, then hangs the terminal up as an unplugged modem.
    void CloseMaster()
    {
        if (!m_link.isEmpty())
            QFile::remove(m_link);
        m_link.clear();
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_device;
    QString m_link;
};
