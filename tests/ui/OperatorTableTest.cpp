// The operator table: default file, the "General" lines in file order, the
// item texts, the code a click asks for, and failures that are reported
// instead of crashing.
#include "OperatorTable.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <utility>

#include <sys/stat.h>

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList Codes(const std::vector<OperatorEntry> &entries)
{
    QStringList codes;
    for (const auto &e : entries)
        codes << e.code;
    return codes;
}

class OperatorTableFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Palvex/mccmnc.ini")); }
};

TEST_F(OperatorTableFile, MissingFileIsCreatedWithTheDefaultLinesAndFolder)
{
    ASSERT_TRUE(dir.isValid());
    const OperatorTableResult result = LoadOperatorTable(path());
    ASSERT_TRUE(result.ok) << result.error.toStdString();

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines, DefaultOperatorTableLines());
    // No operator of one country is offered everywhere: automatic selection alone.
    EXPECT_EQ(OperatorItemTexts(result.entries), (QStringList{"Auto select"}));
}

TEST_F(OperatorTableFile, ScannedNetworksJoinTheTableOnceAndKeepTheUsersNames)
{
    const std::vector<ScannedOperator> scanned{
        {2, "T-Mobile CZ", "TMO CZ", "23001", 7}, {1, "T-Mobile CZ", "TMO CZ", "23001", 0},
        {3, "", "VF DE", "26202", 7},             {1, "", "", "23003", -1},
        {1, "Bad\nName", "", "23099", 2},
    };
    const struct {
        const char *name;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {"user's line kept, new ones appended", "[General]\n23001=My T-Mobile\n",
         "[General]\n23001=My T-Mobile\n26202=VF DE\n23003=23003\n23099=BadName\n"},
        {"another section last: a General one added", "[General]\n23001=A\n[Other]\nx=y",
         "[General]\n23001=A\n[Other]\nx=y\n[General]\n26202=VF DE\n23003=23003\n23099=BadName\n"},
        {"nothing new: the file unchanged", "[General]\n23001=A\n26202=B\n23003=C\n23099=D\n",
         "[General]\n23001=A\n26202=B\n23003=C\n23099=D\n"},
    };
    for (const auto &c : cases) {
        WriteFile(path(), c.before);
        const OperatorTableResult result = AddScannedOperators(path(), scanned);
        ASSERT_TRUE(result.ok) << c.name << ": " << result.error.toStdString();
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.after) << c.name;
        EXPECT_EQ(Codes(result.entries), Codes(LoadOperatorTable(path()).entries)) << c.name;
    }
    const std::map<QString, QString> marks = ScanMarksOf(scanned);
    EXPECT_EQ(marks.at("23001"), "LTE/GSM, current");
    EXPECT_EQ(marks.at("26202"), "LTE, forbidden");
    EXPECT_EQ(marks.at("23003"), "available");
    EXPECT_EQ(OperatorItemText({"26202", "VF DE"}, marks.at("26202")), "VF DE [LTE, forbidden] (26202)");
    EXPECT_EQ(OperatorCodeOfItem(1, OperatorItemText({"26202", "VF DE"}, marks.at("26202"))), QString("26202"));
}

TEST_F(OperatorTableFile, AWindows1250TableIsNotRewrittenByAScan)
{
    const QByteArray table = "[General]\n23002=\x8Aumava\n";
    WriteFile(path(), table);
    const OperatorTableResult result = AddScannedOperators(path(), {{1, "Vodafone CZ", "", "23003", 7}});
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("not UTF-8")) << result.error.toStdString();
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), table);
}

TEST_F(OperatorTableFile, AnExistingFileIsNotReplaced)
{
    WriteFile(path(), "[General]\n26201=Telekom.de\n");
    const OperatorTableResult result = LoadOperatorTable(path());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(Codes(result.entries), QStringList{"26201"});
}

struct SectionCase {
    const char *name;
    QByteArray content;
    QStringList codes;
};

class GeneralSection : public OperatorTableFile, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(GeneralSection, LinesInFileOrder)
{
    WriteFile(path(), GetParam().content);
    const OperatorTableResult result = LoadOperatorTable(path());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(Codes(result.entries), GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    OperatorTable, GeneralSection,
    ::testing::Values(
        // Codes out of sorted order stay in file order (QSettings would sort them).
        SectionCase{"UnsortedCodesKeepFileOrder", "[General]\n29999=Z\n10000=A\n23001=M\n", {"29999", "10000", "23001"}},
        SectionCase{"EmptySection", "[General]\n[Other]\n23001=X\n", {}},
        SectionCase{"NoSectionAtAll", "23001=X\n", {}},
        SectionCase{"OtherSectionsAroundIt", "[A]\n1=a\n[General]\n2=b\n[B]\n3=c\n", {"2"}},
        SectionCase{"SectionNameAnyCase", "[general]\n23001=X\n", {"23001"}},
        SectionCase{"LinesWithoutEqualsAndCommentsLeftOut", "[General]\n;23009=Old\nnonsense\n\n23002=O2\n", {"23002"}},
        SectionCase{"WindowsLineEndsAndBom", "\xEF\xBB\xBF[General]\r\n23001=T\r\n23003=V\r\n", {"23001", "23003"}},
        SectionCase{"OldMacLineEnds", "[General]\r23001=T\r23003=V\r", {"23001", "23003"}},
        SectionCase{"BlanksAroundCodeAndName", "[General]\n  23001 = Net  \n", {"23001"}},
        SectionCase{"TwoGeneralSectionsBothCount", "[General]\n1=a\n[X]\n2=b\n[General]\n3=c\n", {"1", "3"}}),
    [](const ::testing::TestParamInfo<SectionCase> &info) { return std::string(info.param.name); });

// A table is UTF-8, or else Windows-1250 as older installations wrote it;
// the names come out the same either way.
const QString kCzechName = QStringLiteral(u"\u0160\u0165astn\u00FD \u010Cesk\u00FD");

struct EncodingCase {
    const char *name;
    QByteArray content;
    QStringList names;
    bool windows1250;
};

class TableEncoding : public OperatorTableFile, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(TableEncoding, NamesAndTheEncodingRead)
{
    WriteFile(path(), GetParam().content);
    const OperatorTableResult result = LoadOperatorTable(path());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    QStringList names;
    for (const auto &e : result.entries)
        names << e.name;
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(result.readAsWindows1250, GetParam().windows1250);
}

INSTANTIATE_TEST_SUITE_P(
    OperatorTable, TableEncoding,
    ::testing::Values(
        EncodingCase{"Ascii", "[General]\n23001=T-Mobile\n", {"T-Mobile"}, false},
        EncodingCase{"Utf8Czech", "[General]\n23099=\xC5\xA0\xC5\xA5" "astn\xC3\xBD \xC4\x8C" "esk\xC3\xBD\n",
                     {kCzechName}, false},
        EncodingCase{"Windows1250Czech", "[General]\n23099=\x8A\x9D" "astn\xFD \xC8" "esk\xFD\n23001=O2\n",
                     {kCzechName, "O2"}, true},
        // 0xE8 is "c with caron" in Windows-1250, not "e grave" as in Latin-1.
        EncodingCase{"Windows1250NotLatin1", "[General]\n23002=\xE8\n", {QStringLiteral(u"\u010D")}, true},
        // A UTF-8 sequence cut off at the end of the file is not UTF-8.
        EncodingCase{"CutUtf8AtTheEnd", "[General]\n23003=a\xC5", {QStringLiteral(u"a\u0139")}, true}),
    [](const ::testing::TestParamInfo<EncodingCase> &info) { return std::string(info.param.name); });

TEST(OperatorItems, NameWithParenthesesKeepsItsCode)
{
    const auto entries = ParseOperatorLines({"23001=Net (CZ)"});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Net (CZ)");
    const QStringList texts = OperatorItemTexts(entries);
    EXPECT_EQ(texts, (QStringList{"Auto select", "Net (CZ) (23001)"}));
    // The click asks for the code the item was built with, not "CZ".
    EXPECT_EQ(OperatorCodeOfItem(1, texts[1]), QString("23001"));
}

TEST(OperatorItems, EqualsInTheNameSplitsAtTheFirstOne)
{
    const auto entries = ParseOperatorLines({"23001=a=b"});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].code, "23001");
    EXPECT_EQ(entries[0].name, "a=b");
}

struct ClickCase {
    const char *name;
    int index;
    QString text;
    std::optional<QString> code;
};

class ItemClick : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ItemClick, CodeOfTheItem)
{
    EXPECT_EQ(OperatorCodeOfItem(GetParam().index, GetParam().text), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    OperatorTable, ItemClick,
    ::testing::Values(ClickCase{"AutoSelect", 0, "Auto select", QString("AUTO")},
                      ClickCase{"Plain", 2, "O2 (23002)", QString("23002")},
                      ClickCase{"NameWithParentheses", 1, "Net (CZ) (23001)", QString("23001")},
                      ClickCase{"NoParentheses", 1, "Broken", std::nullopt},
                      ClickCase{"OpenWithoutClose", 1, "Broken (23001", std::nullopt},
                      ClickCase{"CloseBeforeOpen", 1, "Broken ) 23001 (", std::nullopt},
                      ClickCase{"EmptyCode", 1, "Nothing ()", QString("")}),
    [](const ::testing::TestParamInfo<ClickCase> &info) { return std::string(info.param.name); });

TEST(OperatorItems, ACodeWithAParenthesisComesBackWhole)
{
    for (const QString &code : {QString("230)01"), QString("23)001"), QString("23001)")}) {
        SCOPED_TRACE(code.toStdString());
        const QString text = OperatorItemText({code, QString("Net (CZ)")});
        EXPECT_EQ(OperatorCodeOfItem(1, text), code);
    }
}

TEST(OperatorTableFailure, FolderThatCannotBeCreatedIsReported)
{
    QTemporaryDir dir;
    // A file where the folder should be: the folder cannot be made (even as root).
    const QString blocker = dir.filePath(QStringLiteral("Palvex"));
    WriteFile(blocker, "not a folder");
    const OperatorTableResult result = LoadOperatorTable(blocker + QStringLiteral("/mccmnc.ini"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("cannot create the folder"))) << result.error.toStdString();
    EXPECT_TRUE(result.entries.empty());
}

TEST(OperatorTableFailure, TableThatIsAFolderIsReported)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Palvex/mccmnc.ini"));
    ASSERT_TRUE(QDir().mkpath(path)); // a folder in place of the file
    const OperatorTableResult result = LoadOperatorTable(path);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("cannot read"))) << result.error.toStdString();
}

// What is not a file is not read: a FIFO without a writer would hold the
// window at start, a link to /dev/zero fill its memory.
TEST(OperatorTableFailure, AFifoOrADeviceIsRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath(QStringLiteral("zero.ini"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString large = dir.filePath(QStringLiteral("large.ini"));
    WriteFile(large, "[General]\n" + QByteArray(2 * 1024 * 1024, ';'));
    for (const auto &[path, reason] : {std::pair{fifo, "not a regular file"}, std::pair{zero, "not a regular file"},
                                       std::pair{large, "larger than"}}) {
        SCOPED_TRACE(path.toStdString());
        QElapsedTimer timer;
        timer.start();
        const OperatorTableResult result = LoadOperatorTable(path);
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.error.contains(QStringLiteral("cannot read")) && result.error.contains(QLatin1String(reason)))
            << result.error.toStdString();
        EXPECT_TRUE(result.entries.empty());
    }
}

TEST(OperatorTablePath, LocalDataFolderAndAppName)
{
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    EXPECT_EQ(OperatorTablePath(QStringLiteral("Palvex")), dir.path() + QStringLiteral("/Palvex/mccmnc.ini"));
}

} // namespace
