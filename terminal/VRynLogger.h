#pragma once
// Log-file writer of the debug terminal. Needs Qt Core only, so a headless run
// without any window (or without any application object) can write the
// terminal's lines with their times too.
//
// Each entry is one line of UTF-8 text:
//   2026-12-08 01:09:41.123 [out]   AT+CSQ<CR>
// Control characters and bytes that are not valid UTF-8 are escaped (see
// VRynSafeText), so whatever a modem sends can never split or corrupt an entry.
// Every entry is flushed to the operating system as soon as it is written: a
// crash of the program loses nothing that was written. An entry is written
// whole or not at all (a full disk leaves no part of one), and a file that
// does not end in a newline gets one before the next entry. With a size
// limit set, the file is rotated before an entry would take it past the
// limit: FILE becomes FILE.1, FILE.1 becomes FILE.2 and so on, the oldest
// kept file is dropped, and FILE starts empty.

#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>


// Flags of VRynLogger::open.
enum VRynLoggerOpenFlag : std::uint32_t {
    vrloTruncate = 0,           // start the file empty
    vrloAppend = 0x80000000u,   // keep what the file holds and append to it
};

struct VRynLoggerResult {
    bool ok = false;
    QString errorText; // empty when ok; a sentence naming the file otherwise
};

class VRynLogger {
public:
    VRynLogger() = default;
    ~VRynLogger();
    VRynLogger(const VRynLogger &) = delete;
    VRynLogger &operator=(const VRynLogger &) = delete;

    // Opens (creating the folder when needed) the file for writing; a file
    // already open is closed first. On failure nothing is open.
    VRynLoggerResult open(const QString &path, std::uint32_t flags = vrloAppend);
    // Writes what waits (see add) and closes the file.
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    // Appends one entry and flushes it. False when no file is open or the write
    // failed (disk full, file gone); errorText() then says why.
    bool write(const QString &text, int lineType, const QDateTime &time);
    // The same for bytes, taken as UTF-8.
    bool write(const std::string &bytes, int lineType, const QDateTime &time);
    // A literal, UTF-8 (so write("...", ...) is not ambiguous).
    bool write(const char *text, int lineType, const QDateTime &time)
    {
        return write(std::string(text ? text : ""), lineType, time);
    }

    // Adds an entry, stamped with localMs (milliseconds since the epoch in
    // local time, VRynLocalClock::LocalMs), to those that wait for flush():
    // a program that logs a burst of lines at a time writes the burst with
    // one system call. The owner flushes, at the latest when waitingBytes()
    // grows large.
    void add(std::string_view bytes, int lineType, qint64 localMs);
    // Writes the waiting entries and flushes them, each whole, rotating
    // between two entries where write() would; what cannot be written is
    // dropped. True when nothing waits; false as write() otherwise.
    bool flush();
    std::size_t waitingBytes() const { return m_waiting.size(); }
    // Drops the waiting entries unwritten.
    void discard();

    // Rotates the file before an entry would take it past maxBytes, keeping
    // that many old files; maxBytes 0 (the default) never rotates. An entry
    // larger than the limit goes whole into a file of its own.
    void setRotation(qint64 maxBytes, int keptFiles);

    // Why the last open or write failed; empty after a success.
    QString errorText() const { return m_errorText; }

    // The entry exactly as write() puts it in the file, without the newline.
    static QString FormatEntry(const QString &text, int lineType, const QDateTime &time);

    // The entry as write() puts it in the file, with its newline, appended to
    // out: the bytes made safe, the time taken as local.
    static void AppendEntry(std::string &out, std::string_view bytes, int lineType, qint64 localMs);

private:
    bool writeEntry(const QString &entry);
    // Writes data whole; rotates first when it would take the file past
    // the limit and mayRotate.
    bool writeData(const QByteArray &data, bool mayRotate = true);
    // Shifts the old files up by one and starts the file empty; false with
    // m_errorText set when a file cannot be renamed or the new one opened.
    bool rotate();

    QFile m_file;
    QString m_path; // of the file opened last
    QString m_errorText;
    bool m_checkEnd = false; // the file may end in part of a line
    qint64 m_rotateBytes = 0;
    int m_keptFiles = 0;
    std::string m_waiting;            // entries for flush(), one after the other
    std::vector<std::size_t> m_ends;  // where each waiting entry ends
};

// Opens path for writing, unbuffered, with how (Append or Truncate),
// creating it when missing. A FIFO is opened without waiting for a reader
// and written without blocking: with no reader the open fails ("the FIFO
// has no reader"), and a write fails while the pipe is full. False with
// reason set otherwise.
bool VRynOpenForWriting(QFile &file, const QString &path, QIODevice::OpenMode how, QString &reason);

// Appends data to file (opened unbuffered for appending) whole or not at
// all: after a short write, as on a full disk, the file is cut back to the
// size it had. When checkEnd is set and the file does not end in a newline,
// one is written first; checkEnd is cleared once the data is written and
// set again after a failure. False with reason set to the system's error
// text otherwise.
bool VRynAppendWhole(QFile &file, const QByteArray &data, bool &checkEnd, QString &reason);

// Makes text safe to show on one line and to write to a line-oriented file.
// Valid UTF-8 stays as it is, except:
//   CR, LF, TAB               -> <CR>, <LF>, <TAB>
//   other C0 controls and DEL -> \xNN
//   C1 controls, line and paragraph separators, bidirectional overrides
//                             -> <U+XXXX>
//   a byte that is not part of a valid UTF-8 sequence (overlong, surrogate,
//   beyond U+10FFFF, cut short) -> \xNN, byte by byte
// The result contains no control characters, so applying it twice changes
// nothing.
QString VRynSafeText(const std::string &bytes);
// The same for text already decoded; an unpaired surrogate -> <U+XXXX>.
QString VRynSafeText(const QString &text);

// bytes as text: valid UTF-8 as it is, every byte that is not part of a
// valid UTF-8 sequence read as Latin-1 (as an old modem sends "\xf3").
QString VRynTextOfBytes(const std::string &bytes);

// The same without a QString, for text written many times a second:
// VRynTextOfBytes(bytes) cut after maxCharacters code points, as UTF-8,
// appended to out.
void VRynAppendTextOfBytes(std::string &out, std::string_view bytes,
                           std::size_t maxCharacters = std::numeric_limits<std::size_t>::max());
// VRynSafeText(bytes) as UTF-8, appended to out.
void VRynAppendSafeText(std::string &out, std::string_view bytes);
// A time as "yyyy-MM-dd hh:mm:ss.zzz" (ms since the epoch in the time's own
// zone), appended to out; with isoUtc as Qt::ISODateWithMs writes a UTC time,
// "yyyy-MM-ddThh:mm:ss.zzzZ".
void VRynAppendTimeText(std::string &out, qint64 ms, bool isoUtc = false);

// Short tag of a line type as the log shows it ("in", "out", "error", ...).
QString VRynLineTypeTag(int lineType);

// Local time for the stamps of lines that come a few hundred a second.
// Asking the C library for local time checks the zone file on every call;
// this takes the offset from UTC once per minute of UTC instead. Zone
// changes, daylight saving among them, fall on whole minutes, so the
// stamps are the same as the library's.
class VRynLocalClock {
public:
    // The local offset from UTC in seconds at a UTC time in milliseconds.
    using OffsetOf = std::function<int(qint64 utcMs)>;
    explicit VRynLocalClock(OffsetOf offsetOf = {});

    QDateTime Now();
    QDateTime At(qint64 utcMs);
    // The local time as milliseconds since the epoch, for VRynLogger::add.
    qint64 LocalMs(qint64 utcMs);
    qint64 LocalMsNow() { return LocalMs(QDateTime::currentMSecsSinceEpoch()); }

private:
    OffsetOf m_offsetOf;
    qint64 m_minute = std::numeric_limits<qint64>::min();
    int m_offset = 0;
};
