#include "RecordLog.h"

#include "VRynLogger.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const char *FormatName(RecordFormat format) { return format == RecordFormat::Csv ? "CSV" : "JSON"; }

// The format the lines of a record log already hold, judged by its first
// line: JSON records start with a brace, a CSV log with its header.
std::optional<RecordFormat> FormatOfContent(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray first = file.readLine(4096).trimmed();
    if (first.isEmpty())
        return std::nullopt;
    return first.startsWith('{') ? RecordFormat::Json : RecordFormat::Csv;
}

} // namespace

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
    const std::optional<RecordFormat> content = FormatOfContent(path);
    if (content && *content != m_format) {
        m_errorText = QStringLiteral("record log \"%1\" holds %2 records, not %3; give another file name")
                          .arg(path, FormatName(*content), FormatName(m_format));
        return false;
    }
    m_file.setFileName(path);
    // Unbuffered: a failed write reports the system's reason.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_errorText = QStringLiteral("cannot open record log \"%1\": %2").arg(path, m_file.errorString());
        return false;
    }
    m_checkEnd = true;
    return Begin(m_file.size() == 0);
}

bool RecordLog::OpenStandardOutput(RecordFormat format)
{
    Close();
    m_errorText.clear();
    m_format = format;
    m_standardOutput = true;
    m_checkEnd = false;
    if (!m_file.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
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
    QString reason;
    if (!VRynAppendWhole(m_file, line, m_checkEnd, reason)) {
        m_errorText = m_standardOutput ? QStringLiteral("cannot write to standard output: %1").arg(reason)
                                       : QStringLiteral("cannot write record log \"%1\": %2")
                                             .arg(m_file.fileName(), reason);
        return false;
    }
    return true;
}
