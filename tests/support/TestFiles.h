#pragma once
// Reading back the files a test made: one entry per line, no line ends, no
// empty entry for the final line end. A file that cannot be read gives none.
// And making one with given bytes.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

inline QList<QByteArray> FileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

inline QStringList FileTextLines(const QString &path)
{
    QStringList lines;
    for (const QByteArray &line : FileLines(path))
        lines << QString::fromUtf8(line);
    return lines;
}

// Makes path hold exactly bytes (a log cut short, say); false when it cannot.
inline bool WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}
