#pragma once
// Reading back the files a test made: one entry per line, no line ends, no
// empty entry for the final line end. A file that cannot be read gives none.

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
