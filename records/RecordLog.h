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
    bool Open(const QString &path);
    // Writes to standard output instead, which always starts with the
    // format's header. False when the header cannot be written.
    bool OpenStandardOutput(RecordFormat format);
    void Close();
    bool IsOpen() const { return m_file.isOpen(); }
    QString Path() const { return m_file.fileName(); }
    RecordFormat Format() const { return m_format; }

    // Writes one record line and flushes it. False when nothing is open or
    // the write failed (disk full, file gone, reader gone); ErrorText() says
    // why.
    bool Append(const CycleRecord &record);

    // Why the last Open or Append failed; empty after a success.
    QString ErrorText() const { return m_errorText; }

private:
    // Writes the header when the output is a new one; closes it on failure.
    bool Begin(bool newOutput);
    bool WriteLine(const QByteArray &line);

    QFile m_file;
    RecordFormat m_format = RecordFormat::Json;
    bool m_standardOutput = false;
    bool m_checkEnd = false; // the file may end in part of a line
    QString m_errorText;
};
