#include "OperatorTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringTokenizer>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString OperatorTablePath(const QString &appName)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base + QLatin1Char('/') + appName + QStringLiteral("/mccmnc.ini");
}

const QStringList &DefaultOperatorTableLines()
{
    static const QStringList lines{
        QStringLiteral(";Definition of available operators"),
        QStringLiteral(";One line per operator, its MCC and MNC digits = the name shown: 26201=Telekom.de"),
        QStringLiteral(";Settings > Scan for operators adds the networks the modem finds."),
        QStringLiteral("[General]"),
    };
    return lines;
}

namespace {

// An operator table holds a few hundred lines at most.
constexpr qint64 kMaxOperatorTableBytes = 1024 * 1024;

bool CreateFolderOf(const QString &path, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir().mkpath(folder))
        return true;
    *error = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
    return false;
}

} // namespace

OperatorTableResult WriteDefaultOperatorTable(const QString &path)
{
    OperatorTableResult result;
    if (!CreateFolderOf(path, &result.error))
        return result;
    // QSaveFile: a failed write leaves no half-written table behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        result.error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString &line : DefaultOperatorTableLines())
        out << line << '\n';
    out.flush();
    if (!file.commit()) {
        result.error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    result.ok = true;
    return result;
}

std::optional<OperatorTableText> DecodeOperatorTableBytes(const QByteArray &bytes)
{
    // Stateless: a sequence cut off at the end of the file counts as invalid.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return OperatorTableText{std::move(text), false};
    QStringDecoder windows1250("windows-1250", QStringConverter::Flag::Stateless);
    if (!windows1250.isValid())
        return std::nullopt;
    return OperatorTableText{windows1250.decode(bytes), true};
}

QString Windows1250Note(const QString &path)
{
    return QStringLiteral("Operator table %1 is not UTF-8; read as Windows-1250").arg(QDir::toNativeSeparators(path));
}

std::optional<QStringList> ReadIniSectionLines(const QString &path, const QString &section, QString *error,
                                               bool *windows1250)
{
    QFile file(path);
    const auto fail = [&](const QString &reason) -> std::optional<QStringList> {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), reason);
        return std::nullopt;
    };
    // Opened without waiting (a FIFO with no writer would hold the window
    // at start) and read only when it is a regular file of a sane size (a
    // link to /dev/zero would never end).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file")
                                        : QStringLiteral("it is not a regular file (a FIFO, socket or device)"));
    }
    if (st.st_size > kMaxOperatorTableBytes) {
        ::close(fd);
        return fail(QStringLiteral("it is larger than %1 KiB, too large for an operator table")
                        .arg(kMaxOperatorTableBytes / 1024));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) { // line ends are split below
        ::close(fd);
        return fail(file.errorString());
    }
    const QByteArray bytes = file.read(kMaxOperatorTableBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.size() > kMaxOperatorTableBytes)
        return fail(QStringLiteral("it grew beyond %1 KiB while it was read").arg(kMaxOperatorTableBytes / 1024));
    const std::optional<OperatorTableText> decoded = DecodeOperatorTableBytes(bytes);
    if (!decoded)
        return fail(QStringLiteral("it is not UTF-8 and this Qt cannot decode Windows-1250"));
    if (windows1250)
        *windows1250 = decoded->windows1250;

    // A line ends at LF, CR LF or a lone CR; the empty lines that makes are skipped.
    const QString text = QString(decoded->text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    bool inSection = false;
    for (QStringView raw : QStringTokenizer(text, QLatin1Char('\n'))) {
        const QString line = raw.trimmed().toString();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection = line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection)
            lines << line;
    }
    return lines;
}

std::vector<OperatorEntry> ParseOperatorLines(const QStringList &lines)
{
    std::vector<OperatorEntry> entries;
    for (const QString &line : lines) {
        const qsizetype p = line.indexOf(QLatin1Char('='));
        if (p < 0)
            continue;
        entries.push_back({line.left(p).trimmed(), line.mid(p + 1).trimmed()});
    }
    return entries;
}

OperatorTableResult LoadOperatorTable(const QString &path)
{
    OperatorTableResult result;
    if (!CreateFolderOf(path, &result.error))
        return result;
    if (!QFileInfo::exists(path)) {
        result = WriteDefaultOperatorTable(path);
        if (!result.ok)
            return result;
    }
    const std::optional<QStringList> lines =
        ReadIniSectionLines(path, QStringLiteral("General"), &result.error, &result.readAsWindows1250);
    if (!lines) {
        result.ok = false;
        return result;
    }
    result.entries = ParseOperatorLines(*lines);
    result.ok = true;
    result.error.clear();
    return result;
}

QString OperatorItemText(const OperatorEntry &entry, const QString &marks)
{
    const QString shownMarks = marks.isEmpty() ? QString() : QStringLiteral(" [") + marks + QLatin1Char(']');
    return entry.name + shownMarks + QStringLiteral(" (") + entry.code + QLatin1Char(')');
}

std::map<QString, QString> ScanMarksOf(const std::vector<ScannedOperator> &scanned)
{
    // The states by weight: what the user most needs to know wins.
    const auto weight = [](int status) { return status == 2 ? 3 : status == 3 ? 2 : status == 1 ? 1 : 0; };
    struct Seen {
        QStringList technologies;
        int status = 0;
    };
    std::map<QString, Seen> seen;
    for (const ScannedOperator &op : scanned) {
        Seen &s = seen[QString::fromStdString(op.code)];
        if (const char *tech = RadioTechName(RadioTechOfAccessTechnology(op.accessTechnology)))
            if (!s.technologies.contains(QLatin1String(tech)))
                s.technologies << QString::fromLatin1(tech);
        if (weight(op.status) > weight(s.status))
            s.status = op.status;
    }
    std::map<QString, QString> marks;
    for (const auto &[code, s] : seen) {
        const QString status = QString::fromLatin1(OperatorStatusWord(s.status));
        marks[code] = s.technologies.isEmpty() ? status : s.technologies.join(QLatin1Char('/')) + QStringLiteral(", ") + status;
    }
    return marks;
}

OperatorEntry ScannedOperatorEntry(const ScannedOperator &op)
{
    const std::string &name = !op.longName.empty() ? op.longName : !op.shortName.empty() ? op.shortName : op.code;
    QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    const QString code = QString::fromStdString(op.code);
    return {code, text.trimmed().isEmpty() ? code : text.trimmed()};
}

OperatorTableResult AddScannedOperators(const QString &path, const std::vector<ScannedOperator> &scanned)
{
    OperatorTableResult result = LoadOperatorTable(path);
    if (!result.ok)
        return result;
    std::vector<OperatorEntry> added;
    for (const ScannedOperator &op : scanned) {
        const QString code = QString::fromStdString(op.code);
        const auto has = [&code](const OperatorEntry &e) { return e.code == code; };
        if (std::none_of(result.entries.begin(), result.entries.end(), has) &&
            std::none_of(added.begin(), added.end(), has))
            added.push_back(ScannedOperatorEntry(op));
    }
    if (added.empty())
        return result;
    if (result.readAsWindows1250) {
        result.ok = false;
        result.error = QStringLiteral("%1 is not UTF-8: the networks found are shown but not written to it")
                           .arg(QDir::toNativeSeparators(path));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.ok = false;
        result.error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    QString text = QString::fromUtf8(file.read(kMaxOperatorTableBytes));
    file.close();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1Char('\r')))
        text += QLatin1Char('\n');
    // The new lines go into a "General" section at the end of the file.
    QString lastSection;
    for (QStringView raw : QStringTokenizer(text, QLatin1Char('\n'))) {
        const QStringView line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            lastSection = line.mid(1, line.size() - 2).trimmed().toString();
    }
    if (lastSection.compare(QStringLiteral("General"), Qt::CaseInsensitive) != 0)
        text += QStringLiteral("[General]\n");
    for (const OperatorEntry &entry : added)
        text += entry.code + QLatin1Char('=') + entry.name + QLatin1Char('\n');
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit()) {
        result.ok = false;
        result.error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), out.errorString());
        return result;
    }
    result.entries.insert(result.entries.end(), added.begin(), added.end());
    return result;
}

QStringList OperatorItemTexts(const std::vector<OperatorEntry> &entries)
{
    QStringList texts{kAutoSelectText};
    for (const OperatorEntry &entry : entries)
        texts << OperatorItemText(entry);
    return texts;
}

std::optional<QString> OperatorCodeOfItem(int index, const QString &text)
{
    if (index == 0)
        return kAutoOperatorCode;
    // The item ends with " (code)", so the last "(" opens the code and the
    // final ")" closes it: a name such as "Net (CZ)" keeps its own
    // parentheses out of it, and a code with a ")" inside stays whole (and
    // is refused as a code later) rather than cut to a shorter one.
    if (!text.endsWith(QLatin1Char(')')))
        return std::nullopt;
    const qsizetype open = text.lastIndexOf(QLatin1Char('('), text.size() - 2);
    if (open < 0)
        return std::nullopt;
    return text.mid(open + 1, text.size() - open - 2);
}
