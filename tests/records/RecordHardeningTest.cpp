// Record texts from a modem that does not send UTF-8, long names, a full
// disk under the record log, a log of the other format, a FIFO and a log
// emptied under the writer.
#include "CycleRecord.h"
#include "RecordLog.h"
#include "SmallFilesystem.h"
#include "TestFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CycleRecord RecordWithOperator(const std::string &name)
{
    CycleRecord r;
    r.cycle = 3;
    r.time = QDateTime::fromString("2026-12-08T10:15:02.123Z", Qt::ISODateWithMs);
    r.port = "/dev/ttyUSB0";
    r.state.operatorName = name, r.state.operatorNameValid = true;
    r.state.operatorCode = "21407", r.state.operatorCodeValid = true;
    return r;
}

bool IsValidUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toStdString() == text;
}

} // namespace

TEST(RecordText, BytesThatAreNotUtf8AreReadAsLatin1)
{
    EXPECT_EQ(RecordText("Telef\xf3nica", 64), "Telef\xc3\xb3nica");
    // Valid UTF-8 stays; a sequence cut short is read byte by byte.
    EXPECT_EQ(RecordText("Telef\xc3\xb3nica \xe2\x82", 64), "Telef\xc3\xb3nica \xc3\xa2\xc2\x82");
    EXPECT_EQ(RecordText("", 64), "");
}

TEST(RecordText, CutsAfterCharactersNotBytes)
{
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "\xc3\xb3"; // 100 times "ó", 200 bytes
    const std::string cut = RecordText(name, 64);
    EXPECT_EQ(cut.size(), 128u);
    EXPECT_TRUE(IsValidUtf8(cut));
    EXPECT_EQ(RecordText(name, 100), name);
}

TEST(CycleRecordJson, Latin1OperatorNameIsValidUtf8)
{
    const QByteArray line = CycleRecordJson(RecordWithOperator("Telef\xf3nica"));
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    EXPECT_EQ(o["operator_name"].toString(), QString::fromUtf8("Telef\xc3\xb3nica"));
    EXPECT_TRUE(IsValidUtf8(CycleRecordCsv(RecordWithOperator("Telef\xf3nica")).toStdString()));
}

TEST(CycleRecordJson, LongOperatorNameIsKeptUpTo256Characters)
{
    const std::string name(300, 'n');
    const QJsonObject o = QJsonDocument::fromJson(CycleRecordJson(RecordWithOperator(name))).object();
    EXPECT_EQ(o["operator_name"].toString().toStdString(), std::string(kRecordTextCharacters, 'n'));
    EXPECT_TRUE(CycleRecordCsv(RecordWithOperator(name)).contains(QByteArray(256, 'n') + ','));
    EXPECT_FALSE(CycleRecordCsv(RecordWithOperator(name)).contains(QByteArray(257, 'n')));
}

TEST(RecordLog, AFileEndingInPartOfALineGetsANewlineFirst)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("records.jsonl");
    ASSERT_TRUE(WriteWholeFile(path, "{\"cycle\":1,\"ti"));
    RecordLog log;
    ASSERT_TRUE(log.Open(path)) << log.ErrorText().toStdString();
    ASSERT_TRUE(log.Append(RecordWithOperator("A")));
    ASSERT_TRUE(log.Append(RecordWithOperator("B")));
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "{\"cycle\":1,\"ti");
    EXPECT_EQ(lines[1], CycleRecordJson(RecordWithOperator("A")));
    EXPECT_EQ(lines[2], CycleRecordJson(RecordWithOperator("B")));
}

TEST(RecordLog, FullDiskWritesNoPartOfARecordAndNamesTheCause)
{
    SmallFilesystem disk(64 * 1024);
    if (!disk.IsMounted())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    const QString path = disk.FilePath("records.csv");
    RecordLog log;
    ASSERT_TRUE(log.Open(path)) << log.ErrorText().toStdString();
    const CycleRecord record = RecordWithOperator(std::string(200, 'o'));
    ASSERT_TRUE(log.Append(record));
    ASSERT_TRUE(disk.Fill("filler"));
    // Records of about 400 bytes: the first that does not fit fails, and
    // the file keeps the size it had after the last whole one.
    qint64 size = QFileInfo(path).size();
    bool failed = false;
    for (int i = 0; i < 40 && !failed; ++i) {
        failed = !log.Append(record);
        if (!failed)
            size = QFileInfo(path).size();
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(QFileInfo(path).size(), size);
    EXPECT_TRUE(log.ErrorText().contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << log.ErrorText().toStdString();
    EXPECT_TRUE(log.ErrorText().contains(path)) << log.ErrorText().toStdString();
    const QList<QByteArray> full = FileLines(path);
    ASSERT_GE(full.size(), 2);
    for (qsizetype i = 1; i < full.size(); ++i)
        EXPECT_EQ(full[i], CycleRecordCsv(record)) << "line " << i;
    // Space again: the next record follows on a line of its own.
    ASSERT_TRUE(QFile::remove(disk.FilePath("filler")));
    ASSERT_TRUE(log.Append(record)) << log.ErrorText().toStdString();
    const QList<QByteArray> after = FileLines(path);
    EXPECT_EQ(after.size(), full.size() + 1);
    EXPECT_EQ(after.back(), CycleRecordCsv(record));
}

TEST(RecordLog, ALogOfTheOtherFormatIsRefused)
{
    QTemporaryDir dir;
    const QString json = dir.filePath("records.csv");
    const QString csv = dir.filePath("records.jsonl");
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(CycleRecordLine(RecordWithOperator("A"), RecordFormat::Json));
    file.close();
    QFile other(csv);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(RecordHeaderLine(RecordFormat::Csv));
    other.close();
    for (const QString &path : {json, csv}) {
        SCOPED_TRACE(path.toStdString());
        const qint64 size = QFileInfo(path).size();
        RecordLog log;
        EXPECT_FALSE(log.Open(path));
        EXPECT_FALSE(log.IsOpen());
        EXPECT_TRUE(log.ErrorText().contains(path) && log.ErrorText().contains("records, not"))
            << log.ErrorText().toStdString();
        EXPECT_EQ(QFileInfo(path).size(), size);
    }
}

// A log kept trying: a full disk refuses the header and the records, and
// once there is room the header comes first; the header comes again after
// copytruncate emptied the file.
TEST(RecordLog, KeepTryingWaitsOutAFullDiskAndAnEmptiedFile)
{
    SmallFilesystem disk(64 * 1024);
    if (!disk.IsMounted())
        GTEST_SKIP() << disk.SkipReason().toStdString();
    ASSERT_TRUE(disk.Fill("filler"));
    const QString path = disk.FilePath("records.csv");
    RecordLog refused;
    EXPECT_FALSE(refused.Open(path));
    RecordLog log;
    ASSERT_TRUE(log.Open(path, RecordLogFailures::KeepTrying));
    EXPECT_TRUE(log.ErrorText().contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << log.ErrorText().toStdString();
    const CycleRecord record = RecordWithOperator("A");
    EXPECT_FALSE(log.Append(record));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    ASSERT_TRUE(QFile::remove(disk.FilePath("filler")));
    ASSERT_TRUE(log.Append(record)) << log.ErrorText().toStdString();
    EXPECT_EQ(FileLines(path), (QList<QByteArray>{RecordHeaderLine(RecordFormat::Csv).trimmed(), CycleRecordCsv(record)}));
    ASSERT_TRUE(QFile::resize(path, 0)); // copytruncate
    ASSERT_TRUE(log.Append(record));
    EXPECT_EQ(FileLines(path), (QList<QByteArray>{RecordHeaderLine(RecordFormat::Csv).trimmed(), CycleRecordCsv(record)}));
}

// A FIFO without a reader: refused at once, or waited for; a reader that
// comes gets the header first.
TEST(RecordLog, AFifoWithoutReaderNeverBlocks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("records.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    RecordLog refused;
    EXPECT_FALSE(refused.Open(path));
    EXPECT_TRUE(refused.ErrorText().contains("the FIFO has no reader")) << refused.ErrorText().toStdString();
    RecordLog log;
    ASSERT_TRUE(log.Open(path, RecordLogFailures::KeepTrying));
    const CycleRecord record = RecordWithOperator("B");
    EXPECT_FALSE(log.Append(record));
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(log.Append(record)) << log.ErrorText().toStdString();
    QByteArray bytes(4096, '\0');
    const ssize_t n = ::read(reader, bytes.data(), bytes.size());
    ::close(reader);
    ASSERT_GT(n, 0);
    bytes.truncate(n);
    EXPECT_EQ(bytes, RecordHeaderLine(RecordFormat::Csv) + CycleRecordLine(record, RecordFormat::Csv));
    // The reader went away: the next record fails, quickly, and the log
    // waits for a new reader.
    EXPECT_FALSE(log.Append(record));
}
