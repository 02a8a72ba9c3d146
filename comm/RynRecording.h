#pragma once
// A session recording: everything that passed on a port, one JSON object per
// line (doc/recording.md). The first line names the recording, the program,
// the port and its settings; each further line is a chunk of bytes in one
// direction or a marker (open, failed open, close, loss, ring line,
// identification, size limit), with its time in milliseconds since the
// recording began.
//
// Bytes are written as a JSON string whose characters U+0000 to U+00FF stand
// for one byte each (printable ASCII as itself, CR, LF and TAB as \r \n \t,
// every other byte as \u00XX), so NUL, invalid UTF-8 and a lone CR come back
// exactly. A hand-written character beyond U+00FF stands for its UTF-8 bytes.

#include <QFile>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TRynRecordedEvent {
    enum class Kind : std::uint8_t {
        Sent,       // bytes from the program to the modem ("tx")
        Received,   // bytes from the modem ("rx")
        Open,       // the port opened; on: it reports its ring indicator line
        OpenFailed, // an open failed; text: the reason
        Close,      // closed in an orderly way
        Lost,       // the connection was lost; text: the reason
        Ring,       // the ring line changed; on
        RingLine,   // the port found it cannot (on false) report its ring line
        Identity,   // text: manufacturer, text2: model
        Limit,      // the recording stopped at its size limit
    };
    Kind kind = Kind::Sent;
    std::chrono::milliseconds time{0};
    std::string bytes; // Sent, Received
    std::string text;
    std::string text2;
    bool on = false;
    int line = 0; // in the file, from 1
};

struct TRynRecording {
    std::string program;  // "palvex 0.1.0"
    std::string port;     // as the owner named it
    std::string settings; // the port's settings text
    std::string started;  // UTC, ISO 8601
    std::vector<TRynRecordedEvent> events;
};

// The JSON string (quotes included) that stands for bytes.
std::string RecordingBytesJson(const std::string &bytes);
// The bytes a string read from a recording stands for.
std::string RecordingBytesOf(const QString &text);

// Reads a recording; on failure nullopt and error names the file, the line
// and what is wrong with it ("rec line 7: unknown direction \"up\"").
std::optional<TRynRecording> ParseRecording(const QByteArray &content, const std::string &name, std::string &error);
std::optional<TRynRecording> LoadRecording(const std::string &path, std::string &error);

// A recording made from a terminal log (palvex --terminal, "YYYY-MM-DD
// HH:MM:SS.mmm [out] text" lines): the commands sent, the lines received
// (each as CR LF, line, CR LF: the log keeps no more of their framing), the
// port opened, failed to open and lost, at the log's times. The text of the
// recording, or nullopt with error naming the log's line.
std::optional<std::string> RecordingFromTerminalLog(const QByteArray &log, const std::string &name,
                                                    std::string &error);

// Writes a recording as the session goes. Every line is flushed to the
// system at once, so a crash loses nothing already recorded. At the size
// limit one last line says so and nothing more is written; a failed write
// stops the recording and ErrorText() says why.
class TRynRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kDefaultLimitBytes = 64LL * 1024 * 1024;

    TRynRecorder() = default;
    ~TRynRecorder();
    TRynRecorder(const TRynRecorder &) = delete;
    TRynRecorder &operator=(const TRynRecorder &) = delete;

    // Digits of the answers to +CIMI, +CCID, +CNUM and of +CLIP lines are
    // written as 'x'. Set before Open.
    void SetRedact(bool on) { m_redact = on; }
    void SetLimitBytes(std::int64_t bytes) { m_limitBytes = bytes; }

    // Creates (or empties) path and writes the first line. False with
    // ErrorText() when the file cannot be written.
    bool Open(const QString &path, const std::string &port, const std::string &settings);
    void Close();
    bool IsOpen() const { return m_file.isOpen(); }
    // True from a failed write or the size limit on: nothing more is written.
    bool Stopped() const { return m_stopped; }
    QString ErrorText() const { return m_errorText; }

    void Sent(const std::uint8_t *bytes, std::size_t length);
    void Received(const std::uint8_t *bytes, std::size_t length);
    void Opened(bool ringLine);
    void OpenFailed(const std::string &reason);
    void Closed();
    void Lost(const std::string &reason);
    void Ring(bool on);
    // Whether the port reports its ring line, when that changes after the open.
    void RingLine(bool reports);
    // Written when it differs from the identification written last.
    void Identity(const std::string &manufacturer, const std::string &model);

private:
    std::int64_t Now() const;
    void Chunk(const char *direction, std::string bytes);
    void Marker(const std::string &fields);
    bool WriteLine(const std::string &line);
    std::string Redacted(std::string bytes);

    QFile m_file;
    Clock::time_point m_start;
    std::int64_t m_limitBytes = kDefaultLimitBytes;
    std::int64_t m_written = 0;
    bool m_stopped = false;
    QString m_errorText;
    std::string m_identity;
    bool m_ring = false;
    bool m_ringLine = true;
    // Redaction state: the command line being sent, the last one sent whole,
    // the head of the line being received and whether its digits go.
    bool m_redact = false;
    std::string m_sending;
    std::string m_lastCommand;
    std::string m_lineHead;
    bool m_lineDecided = false;
    bool m_lineSecret = false;
};
