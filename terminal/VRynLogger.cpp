#include "VRynLogger.h"

#include "VRynTerminalLineType.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True for code points that would break a line or reorder what is shown
// around them, although they are valid text.
bool isUnsafeCodePoint(char32_t cp)
{
    if (cp < 0x20 || cp == 0x7F)
        return true;
    if (cp >= 0x80 && cp <= 0x9F) // C1 controls
        return true;
    if (cp == 0x2028 || cp == 0x2029) // line and paragraph separators
        return true;
    if (cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))
        return true; // bidirectional marks, embeddings, overrides, isolates
    if (cp >= 0xD800 && cp <= 0xDFFF) // unpaired surrogate (only reachable from QString)
        return true;
    return false;
}

void appendHexByte(QString &out, unsigned byte)
{
    out += QStringLiteral("\\x");
    out += QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

void appendCodePoint(QString &out, char32_t cp)
{
    if (!isUnsafeCodePoint(cp)) {
        out += QString::fromUcs4(&cp, 1);
        return;
    }
    switch (cp) {
    case '\r': out += QStringLiteral("<CR>"); return;
    case '\n': out += QStringLiteral("<LF>"); return;
    case '\t': out += QStringLiteral("<TAB>"); return;
    default: break;
    }
    if (cp < 0x80) {
        appendHexByte(out, unsigned(cp));
        return;
    }
    out += QStringLiteral("<U+%1>").arg(unsigned(cp), 4, 16, QLatin1Char('0')).toUpper();
}

// Length of the valid UTF-8 sequence starting at s[i] and its code point, or 0
// when the byte there does not start one. Strict: no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t &cp)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

namespace {

// Walks bytes as UTF-8: each code point goes to decoded, each byte that
// starts no valid sequence to invalid.
template <class Decoded, class Invalid>
QString DecodeBytes(const std::string &bytes, Decoded decoded, Invalid invalid)
{
    QString out;
    out.reserve(qsizetype(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = decodeUtf8(bytes, i, cp);
        if (length == 0)
            invalid(out, static_cast<unsigned char>(bytes[i]));
        else
            decoded(out, cp);
        i += length ? length : 1;
    }
    return out;
}

} // namespace

QString VRynSafeText(const std::string &bytes)
{
    return DecodeBytes(bytes, appendCodePoint, appendHexByte);
}

QString VRynTextOfBytes(const std::string &bytes)
{
    // A byte that is not UTF-8 is read as Latin-1: its value is its code point.
    const auto asCodePoint = [](QString &out, char32_t cp) { out += QString::fromUcs4(&cp, 1); };
    return DecodeBytes(bytes, asCodePoint, [&](QString &out, unsigned char b) { asCodePoint(out, b); });
}

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// appendHexByte and appendCodePoint for UTF-8 text.
void AppendHexByte(std::string &out, unsigned byte)
{
    out += "\\x";
    out += kHexDigits[(byte >> 4) & 0xF];
    out += kHexDigits[byte & 0xF];
}

void AppendSafeCodePoint(std::string &out, char32_t cp, std::string_view bytes)
{
    if (!isUnsafeCodePoint(cp)) {
        out += bytes;
        return;
    }
    switch (cp) {
    case '\r': out += "<CR>"; return;
    case '\n': out += "<LF>"; return;
    case '\t': out += "<TAB>"; return;
    default: break;
    }
    if (cp < 0x80)
        return AppendHexByte(out, unsigned(cp));
    char digits[8];
    int n = 0;
    for (char32_t rest = cp; rest != 0 || n < 4; rest >>= 4)
        digits[n++] = kHexDigits[rest & 0xF];
    out += "<U+";
    while (n > 0)
        out += digits[--n];
    out += '>';
}

void AppendTwoDigits(std::string &out, unsigned value)
{
    out += char('0' + value / 10 % 10);
    out += char('0' + value % 10);
}

} // namespace

namespace {

// Walks bytes as UTF-8 into out, for at most maxCharacters code points: a
// run of bytes that plain accepts goes as it is, every other valid code
// point to decoded (with its bytes), every byte that starts no valid
// sequence to invalid.
template <class Plain, class Decoded, class Invalid>
void WalkUtf8(std::string &out, std::string_view bytes, std::size_t maxCharacters, Plain plain, Decoded decoded,
              Invalid invalid)
{
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < bytes.size() && characters < maxCharacters) {
        std::size_t run = i;
        while (run < bytes.size() && characters < maxCharacters && plain(static_cast<unsigned char>(bytes[run])))
            ++run, ++characters;
        out.append(bytes.substr(i, run - i));
        i = run;
        if (i == bytes.size() || characters == maxCharacters)
            return;
        char32_t cp = 0;
        const std::size_t length = decodeUtf8(bytes, i, cp);
        if (length == 0)
            invalid(out, static_cast<unsigned char>(bytes[i]));
        else
            decoded(out, cp, bytes.substr(i, length));
        i += length ? length : 1;
        ++characters;
    }
}

} // namespace

void VRynAppendTextOfBytes(std::string &out, std::string_view bytes, std::size_t maxCharacters)
{
    WalkUtf8(
        out, bytes, maxCharacters, [](unsigned char byte) { return byte < 0x80; },
        [](std::string &text, char32_t, std::string_view sequence) { text.append(sequence); },
        [](std::string &text, unsigned char byte) { AppendUtf8(text, byte); }); // Latin-1
}

void VRynAppendSafeText(std::string &out, std::string_view bytes)
{
    WalkUtf8(
        out, bytes, std::numeric_limits<std::size_t>::max(),
        [](unsigned char byte) { return byte >= 0x20 && byte < 0x7F; }, AppendSafeCodePoint,
        [](std::string &text, unsigned char byte) { AppendHexByte(text, byte); });
}

void VRynAppendTimeText(std::string &out, qint64 ms, bool isoUtc)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day date(day);
    const int year = int(date.year());
    if (year < 1 || year > 9999) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        out += (isoUtc ? time.toString(Qt::ISODateWithMs) : time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                   .toStdString();
        return;
    }
    const qint64 ofDay = ms - qint64(day.time_since_epoch().count()) * 86400000;
    AppendTwoDigits(out, unsigned(year / 100));
    AppendTwoDigits(out, unsigned(year % 100));
    out += '-';
    AppendTwoDigits(out, unsigned(date.month()));
    out += '-';
    AppendTwoDigits(out, unsigned(date.day()));
    out += isoUtc ? 'T' : ' ';
    AppendTwoDigits(out, unsigned(ofDay / 3600000));
    out += ':';
    AppendTwoDigits(out, unsigned(ofDay / 60000 % 60));
    out += ':';
    AppendTwoDigits(out, unsigned(ofDay / 1000 % 60));
    out += '.';
    out += char('0' + ofDay % 1000 / 100);
    AppendTwoDigits(out, unsigned(ofDay % 100));
    if (isoUtc)
        out += 'Z';
}

QString VRynSafeText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t cp = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        }
        appendCodePoint(out, cp);
    }
    return out;
}

namespace {

// VRynLineTypeTag in brackets, padded so the texts of all types start in
// one column.
std::string_view PaddedTag(int lineType, std::string &other)
{
    switch (lineType) {
    case VRynTerminal_ltInText: return "[in]    ";
    case VRynTerminal_ltInHex: return "[hex]   ";
    case VRynTerminal_ltInfo: return "[info]  ";
    case VRynTerminal_ltError: return "[error] ";
    case VRynTerminal_ltWarning: return "[warn]  ";
    case VRynTerminal_ltOutText: return "[out]   ";
    case VRynTerminal_ltExtra: return "[extra] ";
    default: break;
    }
    other = '[' + std::to_string(lineType) + ']';
    if (other.size() < 8)
        other.resize(8, ' ');
    return other;
}

} // namespace

QString VRynLineTypeTag(int lineType)
{
    switch (lineType) {
    case VRynTerminal_ltInText: return QStringLiteral("in");
    case VRynTerminal_ltInHex: return QStringLiteral("hex");
    case VRynTerminal_ltInfo: return QStringLiteral("info");
    case VRynTerminal_ltError: return QStringLiteral("error");
    case VRynTerminal_ltWarning: return QStringLiteral("warn");
    case VRynTerminal_ltOutText: return QStringLiteral("out");
    case VRynTerminal_ltExtra: return QStringLiteral("extra");
    default: return QString::number(lineType);
    }
}

VRynLogger::~VRynLogger()
{
    close();
}

VRynLoggerResult VRynLogger::open(const QString &path, std::uint32_t flags)
{
    close();
    m_errorText.clear();
    if (path.isEmpty()) {
        m_errorText = QStringLiteral("No log file name given");
        return {false, m_errorText};
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        m_errorText = QStringLiteral("Cannot open log file \"%1\": the folder \"%2\" cannot be created")
                          .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(info.absolutePath()));
        return {false, m_errorText};
    }
    m_path = path;
    QString reason;
    if (!VRynOpenForWriting(m_file, path, (flags & vrloAppend) ? QIODevice::Append : QIODevice::Truncate, reason)) {
        m_errorText = QStringLiteral("Cannot open log file \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
        return {false, m_errorText};
    }
    m_checkEnd = true;
    return {true, QString()};
}

void VRynLogger::close()
{
    if (m_file.isOpen()) {
        flush();
        m_file.close();
    }
}

QString VRynLogger::FormatEntry(const QString &text, int lineType, const QDateTime &time)
{
    // The tag is padded so the texts of all types start in one column.
    const QString tag = QLatin1Char('[') + VRynLineTypeTag(lineType) + QLatin1Char(']');
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + QLatin1Char(' ')
        + tag.leftJustified(8) + VRynSafeText(text);
}

bool VRynLogger::write(const QString &text, int lineType, const QDateTime &time)
{
    return writeEntry(FormatEntry(text, lineType, time));
}

bool VRynLogger::write(const std::string &bytes, int lineType, const QDateTime &time)
{
    if (!time.isValid())
        return writeEntry(FormatEntry(VRynSafeText(bytes), lineType, time));
    std::string entry;
    AppendEntry(entry, bytes, lineType, time.toMSecsSinceEpoch() + qint64(time.offsetFromUtc()) * 1000);
    return writeData(QByteArray::fromRawData(entry.data(), qsizetype(entry.size())));
}

void VRynLogger::AppendEntry(std::string &out, std::string_view bytes, int lineType, qint64 localMs)
{
    VRynAppendTimeText(out, localMs);
    out += ' ';
    std::string other;
    out += PaddedTag(lineType, other);
    VRynAppendSafeText(out, bytes);
    out += '\n';
}

void VRynLogger::add(std::string_view bytes, int lineType, qint64 localMs)
{
    AppendEntry(m_waiting, bytes, lineType, localMs);
    m_ends.push_back(m_waiting.size());
}

void VRynLogger::discard()
{
    m_waiting.clear();
    m_ends.clear();
}

bool VRynLogger::flush()
{
    if (m_waiting.empty())
        return true;
    if (!m_file.isOpen()) {
        discard();
        m_errorText = QStringLiteral("No log file is open");
        return false;
    }
    // The entries go out in runs that end where write() would rotate.
    const auto run = [this](std::size_t begin, std::size_t end) {
        return QByteArray::fromRawData(m_waiting.data() + begin, qsizetype(end - begin));
    };
    bool ok = true;
    qint64 size = m_file.size();
    std::size_t begin = 0;
    std::size_t end = 0;
    for (const std::size_t next : m_ends) {
        const qint64 pending = qint64(end - begin);
        if (m_rotateBytes > 0 && size + pending > 0 && size + pending + qint64(next - end) > m_rotateBytes) {
            if (end > begin && !(ok = writeData(run(begin, end), false)))
                break;
            begin = end;
            if (!(ok = rotate()))
                break;
            size = 0;
        }
        end = next;
    }
    if (ok && end > begin)
        ok = writeData(run(begin, end), false);
    discard();
    return ok;
}

void VRynLogger::setRotation(qint64 maxBytes, int keptFiles)
{
    m_rotateBytes = std::max<qint64>(maxBytes, 0);
    m_keptFiles = std::max(keptFiles, 0);
}

bool VRynLogger::rotate()
{
    const QString path = m_path;
    m_file.close();
    const auto name = [&path](int n) { return (n == 0 ? path : path + QLatin1Char('.') + QString::number(n)).toStdString(); };
    // From the oldest down; rename replaces the file it moves onto, so the
    // oldest kept one is dropped, and with no old files kept FILE is only
    // emptied.
    std::error_code error;
    for (int n = m_keptFiles; n >= 1 && !error; --n) {
        std::error_code unknown;
        if (std::filesystem::exists(name(n - 1), unknown))
            std::filesystem::rename(name(n - 1), name(n), error);
    }
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (error) {
        // Goes on where it was, so nothing is lost; the caller hears why.
        m_file.open(mode | QIODevice::Append);
        m_errorText = QStringLiteral("Cannot rotate log file \"%1\": %2")
                          .arg(QDir::toNativeSeparators(path), QString::fromStdString(error.message()));
        return false;
    }
    if (!m_file.open(mode | QIODevice::Truncate)) {
        m_errorText = QStringLiteral("Cannot open log file \"%1\": %2")
                          .arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    m_checkEnd = false;
    return true;
}

bool VRynLogger::writeEntry(const QString &entry)
{
    return writeData(entry.toUtf8() + '\n');
}

bool VRynLogger::writeData(const QByteArray &data, bool mayRotate)
{
    if (!m_file.isOpen()) {
        m_errorText = QStringLiteral("No log file is open");
        return false;
    }
    if (mayRotate) {
        const qint64 size = m_file.size();
        if (m_rotateBytes > 0 && size > 0 && size + data.size() > m_rotateBytes && !rotate())
            return false;
    }
    QString reason;
    if (!VRynAppendWhole(m_file, data, m_checkEnd, reason)) {
        m_errorText = QStringLiteral("Cannot write log file \"%1\": %2")
                          .arg(QDir::toNativeSeparators(m_path), reason);
        return false;
    }
    m_errorText.clear();
    return true;
}

bool VRynOpenForWriting(QFile &file, const QString &path, QIODevice::OpenMode how, QString &reason)
{
    // Unbuffered: a failed write reports the system's reason (a buffered
    // flush that writes part of its data reports none).
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered | how;
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
        file.setFileName(path);
        if (file.open(mode))
            return true;
        reason = file.errorString();
        return false;
    }
    // A FIFO: opening it for writing would wait for a reader, and a write
    // would wait while the reader does not read. Neither may hold the
    // program up: without a reader the open fails, a full pipe fails the
    // write.
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = errno == ENXIO ? QStringLiteral("the FIFO has no reader") : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        reason = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

namespace {

// A write to a pipe or FIFO whose reader is gone raises SIGPIPE, which ends
// the program. While one of these lives, SIGPIPE is blocked on this thread
// and one the write raised is taken back, so the write fails with EPIPE.
class SigPipeBlock {
public:
    SigPipeBlock()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        m_wasPending = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigPipeBlock()
    {
        if (!m_wasPending) {
            const timespec none{};
            while (::sigtimedwait(&m_pipe, nullptr, &none) > 0) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigPipeBlock(const SigPipeBlock &) = delete;
    SigPipeBlock &operator=(const SigPipeBlock &) = delete;

private:
    sigset_t m_pipe{};
    sigset_t m_old{};
    bool m_wasPending = false;
};

} // namespace

bool VRynAppendWhole(QFile &file, const QByteArray &data, bool &checkEnd, QString &reason)
{
    const bool seekable = !file.isSequential();
    std::optional<SigPipeBlock> pipeSafe;
    if (!seekable)
        pipeSafe.emplace();
    const qint64 sizeBefore = seekable ? file.size() : 0;
    QByteArray out = data;
    if (checkEnd && seekable && sizeBefore > 0) {
        QFile reader(file.fileName());
        if (reader.open(QIODevice::ReadOnly) && reader.seek(sizeBefore - 1) && reader.read(1) != "\n")
            out.prepend('\n');
    }
    // A short write is retried, so the write that fails gives the reason.
    qint64 written = 0;
    while (written < out.size()) {
        const qint64 n = file.write(out.constData() + written, out.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written == out.size() && file.flush()) {
        checkEnd = false;
        return true;
    }
    reason = file.errorString();
    if (seekable)
        file.resize(sizeBefore);
    checkEnd = true;
    return false;
}

VRynLocalClock::VRynLocalClock(OffsetOf offsetOf)
    : m_offsetOf(std::move(offsetOf))
{
    if (!m_offsetOf)
        m_offsetOf = [](qint64 utcMs) { return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc(); };
}

QDateTime VRynLocalClock::Now()
{
    return At(QDateTime::currentMSecsSinceEpoch());
}

QDateTime VRynLocalClock::At(qint64 utcMs)
{
    const qint64 localMs = LocalMs(utcMs);
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, int((localMs - utcMs) / 1000));
}

qint64 VRynLocalClock::LocalMs(qint64 utcMs)
{
    const qint64 minute = utcMs >= 0 ? utcMs / 60000 : (utcMs - 59999) / 60000;
    if (minute != m_minute) {
        m_minute = minute;
        m_offset = m_offsetOf(minute * 60000);
    }
    return utcMs + qint64(m_offset) * 1000;
}
