#pragma once
// The operator table mccmnc.ini: where it lives, its default content, the
// lines of its "General" section in file order, and the texts and codes of
// the radio items built from them.
//
// The section is read with a small line reader rather than QSettings, which
// sorts keys: the order of the lines is the order of the items. A file that
// is not valid UTF-8 is read as Windows-1250, the code page tables from older
// installations were written in (Czech operator names); new files are UTF-8.

#include "modems/OperatorScan.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

struct OperatorEntry {
    QString code; // MCC and MNC digits, as AT+COPS=1,2,"..." expects
    QString name; // the text shown
};

// Result of reading or writing the table: ok, or why not (shown to the user).
struct OperatorTableResult {
    bool ok = false;
    QString error;
    std::vector<OperatorEntry> entries;
    bool readAsWindows1250 = false; // the file was not valid UTF-8
};

// The text of a table file's bytes: UTF-8 (a byte order mark skipped), or
// Windows-1250 when the bytes are not valid UTF-8. nullopt when this Qt
// cannot decode Windows-1250.
struct OperatorTableText {
    QString text;
    bool windows1250 = false;
};
std::optional<OperatorTableText> DecodeOperatorTableBytes(const QByteArray &bytes);

// What the terminal says once about a table read as Windows-1250.
QString Windows1250Note(const QString &path);

// <generic data folder>/<appName>/mccmnc.ini, the local application data
// folder on Windows.
QString OperatorTablePath(const QString &appName);

// The default lines: comments that say how a line reads and where the
// networks come from, then "[General]" with no operator. Operators are
// local: a table shipped for one country is wrong everywhere else, so the
// user's own lines and the networks a scan finds fill it.
const QStringList &DefaultOperatorTableLines();

// Creates the folder with all missing parents and writes the default lines,
// UTF-8 with the system's line ends, replacing any file there.
OperatorTableResult WriteDefaultOperatorTable(const QString &path);

// Writes the default file when none exists, then reads the table.
OperatorTableResult LoadOperatorTable(const QString &path);

// The lines of section (compared without regard to case) in file order,
// trimmed, without blank and comment (";") lines. Every section of that name
// counts, in order. nullopt with error set when the file cannot be read.
// windows1250, when given, tells whether the file was read as Windows-1250.
std::optional<QStringList> ReadIniSectionLines(const QString &path, const QString &section, QString *error = nullptr,
                                               bool *windows1250 = nullptr);

// code=name pairs of lines: the text before the first "=" is the code, the
// text after it the name; lines without "=" are left out.
std::vector<OperatorEntry> ParseOperatorLines(const QStringList &lines);

inline const QString kAutoSelectText = QStringLiteral("Auto select");
inline const QString kAutoOperatorCode = QStringLiteral("AUTO");

// name + " (" + code + ")"; with marks, name + " [" + marks + "] (" + code + ")".
QString OperatorItemText(const OperatorEntry &entry, const QString &marks = {});

// What a scan found of each code, for its item: the technologies it was
// seen on and its state, "LTE, current", "GSM/LTE, forbidden" (a code seen
// with several states takes current, then forbidden, then available).
std::map<QString, QString> ScanMarksOf(const std::vector<ScannedOperator> &scanned);

// A network a scan found as a table line: its code, and the modem's long
// name, else its short name, else the code, on one line without control
// characters.
OperatorEntry ScannedOperatorEntry(const ScannedOperator &op);

// Appends to the table at path the networks of a scan it does not hold
// yet, one code=name line each (the modem's long name, else its short
// name, else the code), to its "General" section; lines already there stay
// as the user wrote them. A table read as Windows-1250 is not rewritten
// (error says so). entries are the table's lines after the change.
OperatorTableResult AddScannedOperators(const QString &path, const std::vector<ScannedOperator> &scanned);

// "Auto select" followed by one text per entry.
QStringList OperatorItemTexts(const std::vector<OperatorEntry> &entries);

// The code a click on item index (0 = "Auto select") with text asks for:
// "AUTO" for item 0, otherwise the text between the last "(" and the ")"
// that ends the item (the code the item was built with, whole, even when the
// name or the code holds parentheses itself); nullopt when the text does
// not end in such a pair.
std::optional<QString> OperatorCodeOfItem(int index, const QString &text);
