#include "RecordLog.h"

#include <cstdio>

RecordLog::~RecordLog() { Close(); }

bool RecordLog::Open(const QString &path)
{
    Close();
    m_errorText.clear();
    m_format = RecordFormatOfFile(path);
    m_standardOutput = false;
    if (path.isEmpty()) {
        m_errorText = QStringLiteral("no record log file given");
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_errorText = QStringLiteral("cannot open record log \"%1\": %2").arg(path, m_file.errorString());
        return false;
    }
    return Begin(m_file.size() == 0);
}

bool RecordLog::OpenStandardOutput(RecordFormat format)
{
    Close();
    m_errorText.clear();
    m_format = format;
    m_standardOutput = true;
    if (!m_file.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        m_errorText = QStringLiteral("cannot write to standard output");
        return false;
    }
    return Begin(true);
}

bool RecordLog::Begin(bool newOutput)
{
    const QByteArray header = RecordHeaderLine(m_format);
    if (!newOutput || header.isEmpty() || WriteLine(header))
        return true;
    const QString reason = m_errorText;
    Close();
    m_errorText = reason;
    return false;
}

void RecordLog::Close()
{
    if (m_file.isOpen()) {
        m_file.flush();
        m_file.close();
    }
}

bool RecordLog::Append(const CycleRecord &record)
{
    if (!m_file.isOpen()) {
        m_errorText = QStringLiteral("no record log is open");
        return false;
    }
    if (!WriteLine(CycleRecordLine(record, m_format)))
        return false;
    m_errorText.clear();
    return true;
}

bool RecordLog::WriteLine(const QByteArray &line)
{
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        m_errorText = m_standardOutput ? QStringLiteral("cannot write to standard output")
                                       : QStringLiteral("cannot write record log \"%1\": %2")
                                             .arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    return true;
}
