#pragma once
// Writes cycle records, one line each, to a record log file or to standard
// output, flushed to the operating system after every record, so a crash of
// the program loses nothing already written. A record is written whole or
// not at all (a full disk leaves no part of one), and a log that does not
// end in a newline gets one before the next record. Used by the headless monitor
// and by the window's record log alike. Needs Qt Core only.

#include "CycleRecord.h"

#include <QFile>
#include <QString>

#include <cstdint>

// What Open does when the log cannot be written now.
enum class RecordLogFailures : std::uint8_t {
    Refuse,     // Open fails, Append fails until the log is opened again
    KeepTrying, // see Open
};

class RecordLog {
public:
    RecordLog() = default;
    ~RecordLog();
    RecordLog(const RecordLog &) = delete;
    RecordLog &operator=(const RecordLog &) = delete;

    // Opens path for appending, creating it (but not its folder), in the
    // format its name asks for (RecordFormatOfFile). A CSV log that starts
    // empty gets the header line first. A log already open is closed first.
    // False, with ErrorText() naming the file and the reason, when the file
    // cannot be opened, already holds records of the other format, or the
    // header cannot be written; nothing is open then.
    //
    // With KeepTrying, only a log that cannot be opened at all (a folder, a
    // missing folder, no permission, records of the other format) fails:
    // a FIFO without a reader and a header refused by a full disk leave
    // the log waiting, ErrorText() saying why, and every Append tries again
    // (opening the FIFO anew after its reader went away).
    bool Open(const QString &path, RecordLogFailures failures = RecordLogFailures::Refuse);
    // Writes to standard output instead, which always starts with the
    // format's header. False when the header cannot be written.
    bool OpenStandardOutput(RecordFormat format);
    void Close();
    // Closes the log and opens its file again by name, as Open did (a log
    // renamed by logrotate keeps what it has; a new file begins, with the CSV
    // header). Standard output stays as it is.
    bool Reopen();
    bool IsOpen() const { return m_file.isOpen(); }
    // Standard output that goes to /dev/null, as a service unit has it:
    // nobody reads it, so nothing need be written to it (Append and
    // AppendLine still may).
    bool Discarded() const { return m_discarded; }
    QString Path() const { return m_path; }
    RecordFormat Format() const { return m_format; }

    // Writes one record line and flushes it; a CSV log found empty (emptied
    // by copytruncate, say) gets its header first. False when nothing is
    // open or the write failed (disk full, file gone, reader gone);
    // ErrorText() says why.
    bool Append(const CycleRecord &record);
    // The same for a line already written in Format() (RecordLines), newline
    // included.
    bool AppendLine(QByteArray line);

    // Why the last Open or Append failed; empty after a success.
    QString ErrorText() const { return m_errorText; }

private:
    // Writes the header when the output is a new one; closes it on failure.
    bool Begin(bool newOutput);
    bool OpenFile();
    bool WriteLine(const QByteArray &line);

    QFile m_file;
    QString m_path;
    bool m_keepTrying = false;
    RecordLogFailures m_failures = RecordLogFailures::Refuse; // as Open was given
    bool m_headerDue = false; // a FIFO opened anew: its reader gets the header
    RecordFormat m_format = RecordFormat::Json;
    bool m_standardOutput = false;
    bool m_discarded = false;
    bool m_checkEnd = false; // the file may end in part of a line
    QString m_errorText;
};
