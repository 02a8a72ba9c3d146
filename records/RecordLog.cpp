#include "RecordLog.h"

#include "VRynLogger.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

#include <sys/stat.h>

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

bool IsFifo(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// True when fd is /dev/null itself.
bool IsDevNull(int fd)
{
    struct stat st {};
    struct stat null {};
    return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 &&
           st.st_rdev == null.st_rdev;
}

} // namespace

RecordLog::~RecordLog() { Close(); }

bool RecordLog::Open(const QString &path, RecordLogFailures failures)
{
    Close();
    m_errorText.clear();
    m_path = path;
    m_format = RecordFormatOfFile(path);
    m_standardOutput = false;
    m_discarded = false;
    m_keepTrying = false;
    m_failures = failures;
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
    const bool retry = failures == RecordLogFailures::KeepTrying;
    if (!OpenFile()) {
        // A FIFO gets a reader later; a folder, a missing folder or a
        // file without permission stay as they are.
        if (!retry || !IsFifo(path))
            return false;
        m_keepTrying = true;
        return true;
    }
    m_keepTrying = retry;
    if (!m_file.isSequential() && m_file.size() > 0)
        return true;
    // A new log starts with the CSV header; when the disk is full, the
    // header comes with the first record that fits.
    if (Begin(true))
        return true;
    if (!retry)
        return false;
    const QString reason = m_errorText;
    if (!OpenFile())
        m_errorText = reason;
    return true;
}

bool RecordLog::Reopen()
{
    if (m_standardOutput || m_path.isEmpty())
        return true;
    const QString path = m_path;
    return Open(path, m_failures);
}

bool RecordLog::OpenFile()
{
    QString reason;
    if (!VRynOpenForWriting(m_file, m_path, QIODevice::Append, reason)) {
        m_errorText = QStringLiteral("cannot open record log \"%1\": %2").arg(m_path, reason);
        return false;
    }
    m_checkEnd = true;
    m_headerDue = m_file.isSequential(); // a new reader of a FIFO
    return true;
}

bool RecordLog::OpenStandardOutput(RecordFormat format)
{
    Close();
    m_errorText.clear();
    m_format = format;
    m_standardOutput = true;
    m_discarded = IsDevNull(fileno(stdout));
    m_keepTrying = false;
    m_checkEnd = false;
    m_headerDue = false;
    m_path.clear();
    if (!m_file.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        m_errorText = QStringLiteral("cannot write to standard output");
        return false;
    }
    return Begin(true);
}

bool RecordLog::Begin(bool newOutput)
{
    const QByteArray header = RecordHeaderLine(m_format);
    if (!newOutput || header.isEmpty() || WriteLine(header)) {
        m_headerDue = false;
        return true;
    }
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
    return AppendLine(CycleRecordLine(record, m_format));
}

bool RecordLog::AppendLine(QByteArray line)
{
    if (!m_file.isOpen() && !(m_keepTrying && OpenFile())) {
        if (!m_keepTrying)
            m_errorText = QStringLiteral("no record log is open");
        return false;
    }
    // A CSV log that is empty (new, its header refused by a full disk, or
    // emptied by copytruncate) or a FIFO's new reader gets the header first.
    const bool empty = !m_standardOutput && !m_file.isSequential() && m_file.size() == 0;
    const bool header = m_format == RecordFormat::Csv && (empty || m_headerDue);
    if (header)
        line.prepend(RecordHeaderLine(m_format));
    if (!WriteLine(line)) {
        // A FIFO whose reader went away is opened anew for the next one.
        if (m_keepTrying && m_file.isSequential())
            Close();
        return false;
    }
    m_headerDue = false;
    m_errorText.clear();
    return true;
}

bool RecordLog::WriteLine(const QByteArray &line)
{
    QString reason;
    if (!VRynAppendWhole(m_file, line, m_checkEnd, reason)) {
        m_errorText = m_standardOutput ? QStringLiteral("cannot write to standard output: %1").arg(reason)
                                       : QStringLiteral("cannot write record log \"%1\": %2").arg(m_path, reason);
        return false;
    }
    return true;
}
