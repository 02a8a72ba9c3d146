#include "RynRecording.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cctype>
#include <cstdio>

#ifndef PALVEX_VERSION_TEXT
#define PALVEX_VERSION_TEXT "0.0.0"
#endif

namespace {

constexpr int kFormat = 1;

// A plain text (reason, name) as a JSON string, quotes included: Qt escapes
// what it must.
std::string JsonText(const std::string &utf8)
{
    const QByteArray quoted =
        QJsonDocument(QJsonArray{QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))}).toJson(QJsonDocument::Compact);
    return quoted.mid(1, quoted.size() - 2).toStdString();
}

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWith(const std::string &s, const char *head) { return s.rfind(head, 0) == 0; }

using Kind = TRynRecordedEvent::Kind;

struct MarkerName {
    const char *name;
    Kind kind;
};
constexpr MarkerName kMarkers[] = {{"open", Kind::Open},         {"open_failed", Kind::OpenFailed},
                                   {"close", Kind::Close},       {"lost", Kind::Lost},
                                   {"ring", Kind::Ring},         {"ring_line", Kind::RingLine},
                                   {"identity", Kind::Identity},
                                   {"limit", Kind::Limit}};

} // namespace

std::string RecordingBytesJson(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += ch;
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            }
        }
    }
    out += '"';
    return out;
}

std::string RecordingBytesOf(const QString &text)
{
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c <= 0xFF) {
            bytes += static_cast<char>(c);
            continue;
        }
        // Beyond a byte: the character's UTF-8 bytes (a surrogate pair whole).
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bytes += text.mid(i, n).toUtf8().toStdString();
        i += n - 1;
    }
    return bytes;
}

std::optional<TRynRecording> ParseRecording(const QByteArray &content, const std::string &name, std::string &error)
{
    const auto fail = [&](int line, const std::string &why) {
        error = name + " line " + std::to_string(line) + ": " + why;
        return std::nullopt;
    };
    if (content.trimmed().isEmpty()) {
        error = name + " is empty, not a recording";
        return std::nullopt;
    }
    TRynRecording recording;
    bool header = false;
    std::int64_t lastTime = 0;
    qsizetype start = 0;
    int lineNumber = 0;
    while (start < content.size()) {
        ++lineNumber;
        qsizetype end = content.indexOf('\n', start);
        const bool lastWithoutEnd = end < 0;
        if (end < 0)
            end = content.size();
        const QByteArray line = content.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            if (lastWithoutEnd)
                return fail(lineNumber, "cut short: the file ends inside this line");
            return fail(lineNumber, "not a chunk or marker (one JSON object per line): " +
                                        (parseError.error != QJsonParseError::NoError
                                             ? parseError.errorString().toStdString() + " at column " +
                                                   std::to_string(parseError.offset + 1)
                                             : std::string("not an object")));
        }
        const QJsonObject o = doc.object();
        if (!header) {
            if (o.value("recording").toString() != "palvex")
                return fail(lineNumber, "not a palvex recording (its first line must be {\"recording\":\"palvex\",...})");
            const int format = o.value("format").toInt(0);
            if (format < 1)
                return fail(lineNumber, "no recording format number");
            if (format > kFormat)
                return fail(lineNumber, "recording format " + std::to_string(format) +
                                            " is newer than this program reads (" + std::to_string(kFormat) + ")");
            recording.program = o.value("program").toString().toStdString();
            recording.port = o.value("port").toString().toStdString();
            recording.settings = o.value("settings").toString().toStdString();
            recording.started = o.value("started").toString().toStdString();
            header = true;
            continue;
        }
        TRynRecordedEvent event;
        event.line = lineNumber;
        const QJsonValue t = o.value("t");
        if (!t.isDouble() || t.toDouble() < 0 || t.toDouble() != double(qint64(t.toDouble())))
            return fail(lineNumber, "no time \"t\" in whole milliseconds");
        const auto time = qint64(t.toDouble());
        if (time < lastTime)
            return fail(lineNumber, "time " + std::to_string(time) + " comes before the time of the line before (" +
                                        std::to_string(lastTime) + ")");
        lastTime = time;
        event.time = std::chrono::milliseconds(time);
        if (o.contains("dir")) {
            const QString dir = o.value("dir").toString();
            if (dir == "tx")
                event.kind = Kind::Sent;
            else if (dir == "rx")
                event.kind = Kind::Received;
            else
                return fail(lineNumber, "unknown direction " + JsonText(o.value("dir").toVariant().toString().toStdString()) +
                                            " (expected \"tx\" or \"rx\")");
            if (!o.value("data").isString())
                return fail(lineNumber, "a chunk without its \"data\" string");
            event.bytes = RecordingBytesOf(o.value("data").toString());
        } else if (o.contains("event")) {
            const std::string marker = o.value("event").toString().toStdString();
            const auto *found = std::find_if(std::begin(kMarkers), std::end(kMarkers),
                                             [&](const MarkerName &m) { return marker == m.name; });
            if (found == std::end(kMarkers))
                return fail(lineNumber, "unknown event \"" + marker + "\"");
            event.kind = found->kind;
            event.text = o.value(event.kind == Kind::Identity ? "manufacturer" : "reason").toString().toStdString();
            event.text2 = o.value("model").toString().toStdString();
            event.on = o.value(event.kind == Kind::Open ? "ring_line" : "on").toBool(event.kind != Kind::Ring);
        } else {
            return fail(lineNumber, "neither a chunk (\"dir\") nor a marker (\"event\")");
        }
        recording.events.push_back(std::move(event));
    }
    if (!header) {
        error = name + " holds no recording";
        return std::nullopt;
    }
    return recording;
}

std::optional<TRynRecording> LoadRecording(const std::string &path, std::string &error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot open recording " + path + ": " + file.errorString().toStdString();
        return std::nullopt;
    }
    // Read whole: a file far beyond what the recorder writes is refused
    // rather than filling the memory.
    constexpr qint64 kLargestRecording = 4 * TRynRecorder::kDefaultLimitBytes;
    if (file.size() > kLargestRecording) {
        error = "recording " + path + " is larger than " + std::to_string(kLargestRecording / (1024 * 1024)) + " MB";
        return std::nullopt;
    }
    return ParseRecording(file.readAll(), path, error);
}

// ---------------------------------------------------------------- terminal log

namespace {

// The bytes a terminal line shows: its escapes (<CR>, <LF>, <TAB>, \xHH,
// <U+XXXX>) undone.
bool Hex(QStringView digits, unsigned &value)
{
    bool ok = false;
    value = digits.toUInt(&ok, 16);
    return ok && !digits.isEmpty();
}

std::string TerminalLineBytes(const QString &text)
{
    std::string out;
    unsigned value = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QStringView rest = QStringView(text).mid(i);
        if (rest.startsWith(u"<CR>")) {
            out += '\r';
            i += 4;
        } else if (rest.startsWith(u"<LF>")) {
            out += '\n';
            i += 4;
        } else if (rest.startsWith(u"<TAB>")) {
            out += '\t';
            i += 5;
        } else if (rest.startsWith(u"\\x") && rest.size() >= 4 && Hex(rest.mid(2, 2), value)) {
            out += static_cast<char>(value);
            i += 4;
        } else if (const qsizetype close = rest.indexOf(u'>');
                   rest.startsWith(u"<U+") && close > 3 && close <= 9 && Hex(rest.mid(3, close - 3), value)) {
            const auto cp = static_cast<char32_t>(value);
            out += QString::fromUcs4(&cp, 1).toUtf8().toStdString();
            i += close + 1;
        } else {
            const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            out += text.mid(i, n).toUtf8().toStdString();
            i += n;
        }
    }
    return out;
}

} // namespace

std::optional<std::string> RecordingFromTerminalLog(const QByteArray &log, const std::string &name,
                                                    std::string &error)
{
    std::string out = "{\"recording\":\"palvex\",\"format\":" + std::to_string(kFormat) +
                      ",\"program\":\"palvex " PALVEX_VERSION_TEXT " from a terminal log\",\"port\":";
    std::string body;
    std::optional<qint64> first;
    qint64 last = 0;
    std::string port;
    std::string received; // lines of one moment, sent as one chunk
    qint64 receivedAt = 0;
    bool openFailed = false; // the reason may follow on the next line
    bool open = false;
    int lines = 0;
    const auto flush = [&] {
        if (!received.empty())
            body += "{\"t\":" + std::to_string(receivedAt) + ",\"dir\":\"rx\",\"data\":" +
                    RecordingBytesJson(received) + "}\n";
        received.clear();
    };
    const auto marker = [&](qint64 t, const std::string &fields) {
        flush();
        body += "{\"t\":" + std::to_string(t) + ",\"event\":" + fields + "}\n";
    };
    const QList<QByteArray> rows = log.split('\n');
    for (qsizetype n = 0; n < rows.size(); ++n) {
        const QString row = QString::fromUtf8(rows[n]).remove(QLatin1Char('\r'));
        if (row.trimmed().isEmpty())
            continue;
        const int lineNumber = int(n + 1);
        const qsizetype tagEnd = row.indexOf(QLatin1Char(']'), 24);
        const QDateTime when = QDateTime::fromString(row.left(23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        if (!when.isValid() || row.size() < 26 || row[23] != QLatin1Char(' ') || row[24] != QLatin1Char('[') ||
            tagEnd < 0) {
            error = name + " line " + std::to_string(lineNumber) +
                    ": not a terminal log line (YYYY-MM-DD HH:MM:SS.mmm [type] text)";
            return std::nullopt;
        }
        ++lines;
        if (!first)
            first = when.toMSecsSinceEpoch();
        // A clock set back (or summer time ending) must not make time run backwards.
        const qint64 t = std::max(last, when.toMSecsSinceEpoch() - *first);
        last = t;
        const QString tag = row.mid(25, tagEnd - 25);
        const QString text = row.mid(tagEnd + 2);
        const std::string bytes = TerminalLineBytes(text);
        if (tag == QLatin1String("out")) {
            flush();
            // The terminal indents a command by two blanks.
            const std::string command = bytes.rfind("  ", 0) == 0 ? bytes.substr(2) : bytes;
            body += "{\"t\":" + std::to_string(t) + ",\"dir\":\"tx\",\"data\":" + RecordingBytesJson(command) + "}\n";
            continue;
        }
        if (tag != QLatin1String("extra") && tag != QLatin1String("in"))
            continue;
        if (bytes.rfind("  ", 0) == 0 || bytes.rfind("machine: ", 0) == 0) {
            // The session's own texts: the port's open, failure and loss.
            const bool reason = openFailed && bytes.rfind("  ", 0) == 0 && bytes.rfind("  Opening port", 0) != 0;
            const bool wasFailed = openFailed;
            openFailed = false;
            if (bytes.rfind("  Opening port \"", 0) == 0 && port.empty())
                port = bytes.substr(16, bytes.rfind('"') > 16 ? bytes.rfind('"') - 16 : 0);
            if (bytes.rfind("  Success. Port ", 0) == 0) {
                marker(t, "\"open\",\"ring_line\":false");
                open = true;
            } else if (bytes.rfind("  Error while opening ", 0) == 0) {
                openFailed = true;
            } else if (reason) {
                marker(t, "\"open_failed\",\"reason\":" + JsonText(bytes.substr(2)));
            } else if (const std::size_t lost = bytes.find(": connection lost: "); lost != std::string::npos && open) {
                marker(t, "\"lost\",\"reason\":" + JsonText(bytes.substr(lost + 2)));
                open = false;
            }
            if (wasFailed && !reason)
                marker(t, "\"open_failed\",\"reason\":\"\"");
            continue;
        }
        if (!received.empty() && t != receivedAt)
            flush();
        receivedAt = t;
        received += "\r\n" + bytes + "\r\n";
    }
    flush();
    if (lines == 0) {
        error = name + " holds no terminal log lines";
        return std::nullopt;
    }
    out += JsonText(port) + ",\"settings\":\"\",\"started\":\"\"}\n" + body;
    return out;
}

// ---------------------------------------------------------------- recorder

TRynRecorder::~TRynRecorder() { Close(); }

bool TRynRecorder::Open(const QString &path, const std::string &port, const std::string &settings)
{
    Close();
    m_file.setFileName(path);
    m_errorText.clear();
    m_stopped = false;
    m_written = 0;
    m_identity.clear();
    m_ring = false;
    m_sending.clear();
    m_lastCommand.clear();
    m_lineHead.clear();
    m_lineDecided = false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_errorText = QStringLiteral("cannot write the recording %1: %2").arg(path, m_file.errorString());
        m_stopped = true;
        return false;
    }
    m_start = Clock::now();
    const std::string started =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    if (!WriteLine("{\"recording\":\"palvex\",\"format\":" + std::to_string(kFormat) + ",\"program\":\"palvex " +
                   PALVEX_VERSION_TEXT + "\",\"port\":" + JsonText(port) + ",\"settings\":" +
                   JsonText(settings) + ",\"started\":\"" +
                   started + "\"}")) {
        m_file.close();
        return false;
    }
    return true;
}

void TRynRecorder::Close()
{
    if (m_file.isOpen())
        m_file.close();
}

std::int64_t TRynRecorder::Now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
}

void TRynRecorder::Sent(const std::uint8_t *bytes, std::size_t length)
{
    std::string data(reinterpret_cast<const char *>(bytes), length);
    if (m_redact) {
        for (const char c : data) {
            if (c == '\r') {
                m_lastCommand = Upper(m_sending);
                m_sending.clear();
            } else if (m_sending.size() < 64) {
                m_sending += c;
            }
        }
    }
    Chunk("tx", std::move(data));
}

void TRynRecorder::Received(const std::uint8_t *bytes, std::size_t length)
{
    std::string data(reinterpret_cast<const char *>(bytes), length);
    if (m_redact)
        data = Redacted(std::move(data));
    Chunk("rx", std::move(data));
}

std::string TRynRecorder::Redacted(std::string bytes)
{
    // Line by line across chunks: a line's digits go when its head is one of
    // the identity answers, or when it starts with a digit right after a
    // command that asks for one (the IMSI comes bare).
    static constexpr const char *kSecretHeads[] = {"+CIMI:", "+CCID:", "+ICCID:", "^ICCID:", "+QCCID:",
                                                   "+CNUM:", "+CLIP:"};
    const bool identityAsked = m_lastCommand.find("+CIMI") != std::string::npos ||
                               m_lastCommand.find("CCID") != std::string::npos ||
                               m_lastCommand.find("+CNUM") != std::string::npos;
    for (char &c : bytes) {
        if (c == '\r' || c == '\n') {
            m_lineHead.clear();
            m_lineDecided = false;
            continue;
        }
        const bool digit = c >= '0' && c <= '9';
        if (!m_lineDecided && (digit || m_lineHead.size() >= 12)) {
            const std::string head = Upper(m_lineHead);
            m_lineSecret = (head.empty() && identityAsked) ||
                           std::any_of(std::begin(kSecretHeads), std::end(kSecretHeads),
                                       [&](const char *h) { return StartsWith(head, h); });
            m_lineDecided = true;
        }
        if (m_lineDecided) {
            if (m_lineSecret && digit)
                c = 'x';
        } else if (c != ' ' || !m_lineHead.empty()) {
            m_lineHead += c;
        }
    }
    return bytes;
}

void TRynRecorder::Chunk(const char *direction, std::string bytes)
{
    if (bytes.empty())
        return;
    WriteLine("{\"t\":" + std::to_string(Now()) + ",\"dir\":\"" + direction + "\",\"data\":" +
              RecordingBytesJson(bytes) + "}");
}

void TRynRecorder::Marker(const std::string &fields)
{
    WriteLine("{\"t\":" + std::to_string(Now()) + ",\"event\":" + fields + "}");
}

void TRynRecorder::Opened(bool ringLine)
{
    m_ring = false;
    m_ringLine = ringLine;
    Marker(std::string("\"open\",\"ring_line\":") + (ringLine ? "true" : "false"));
}
void TRynRecorder::OpenFailed(const std::string &reason) { Marker("\"open_failed\",\"reason\":" + JsonText(reason)); }
void TRynRecorder::Closed() { Marker("\"close\""); }
void TRynRecorder::Lost(const std::string &reason) { Marker("\"lost\",\"reason\":" + JsonText(reason)); }

void TRynRecorder::Ring(bool on)
{
    if (on == m_ring)
        return;
    m_ring = on;
    Marker(std::string("\"ring\",\"on\":") + (on ? "true" : "false"));
}

void TRynRecorder::RingLine(bool reports)
{
    if (reports == m_ringLine)
        return;
    m_ringLine = reports;
    Marker(std::string("\"ring_line\",\"on\":") + (reports ? "true" : "false"));
}

void TRynRecorder::Identity(const std::string &manufacturer, const std::string &model)
{
    const std::string identity = manufacturer + '\n' + model;
    if (identity == m_identity)
        return;
    m_identity = identity;
    Marker("\"identity\",\"manufacturer\":" + JsonText(manufacturer) + ",\"model\":" + JsonText(model));
}

bool TRynRecorder::WriteLine(const std::string &line)
{
    if (m_stopped || !m_file.isOpen())
        return false;
    std::string out = line + '\n';
    if (m_written + std::int64_t(out.size()) > m_limitBytes && m_written > 0) {
        // The limit line itself is allowed beyond the limit: a reader sees why
        // the recording ends here.
        out = "{\"t\":" + std::to_string(Now()) + ",\"event\":\"limit\",\"bytes\":" + std::to_string(m_limitBytes) +
              "}\n";
        m_stopped = true;
    }
    if (m_file.write(out.data(), qint64(out.size())) != qint64(out.size()) || !m_file.flush()) {
        m_errorText = QStringLiteral("cannot write the recording %1: %2").arg(m_file.fileName(), m_file.errorString());
        m_stopped = true;
        m_file.close();
        return false;
    }
    m_written += std::int64_t(out.size());
    return !m_stopped;
}
