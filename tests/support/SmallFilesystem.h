#pragma once
// A size-limited tmpfs mounted on a temporary folder of its own, for tests
// of a full disk. Mounting needs root and the right to mount; SkipReason()
// says why there is none. Unmounted (and its folder removed) when it goes.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

class SmallFilesystem {
public:
    explicit SmallFilesystem(std::size_t bytes)
    {
        if (!m_dir.isValid()) {
            m_skipReason = QStringLiteral("no temporary folder to mount on");
            return;
        }
        if (::geteuid() != 0) {
            m_skipReason = QStringLiteral("a small filesystem needs root to mount, and the test does not run as root");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(qulonglong(bytes));
        if (::mount("tmpfs", m_dir.path().toLocal8Bit().constData(), "tmpfs", 0, options.constData()) != 0) {
            m_skipReason = QStringLiteral("cannot mount a small tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    ~SmallFilesystem()
    {
        if (m_mounted)
            ::umount2(m_dir.path().toLocal8Bit().constData(), MNT_DETACH);
    }
    SmallFilesystem(const SmallFilesystem &) = delete;
    SmallFilesystem &operator=(const SmallFilesystem &) = delete;

    bool IsMounted() const { return m_mounted; }
    QString SkipReason() const { return m_skipReason; }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes a file of name until the filesystem is full; true when it is.
    bool Fill(const QString &name) const
    {
        QFile filler(FilePath(name));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(512, 'x');
        for (int i = 0; i < 1 << 20; ++i) {
            if (filler.write(block) != block.size())
                return true;
        }
        return false;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skipReason;
};
