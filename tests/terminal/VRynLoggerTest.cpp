// Runs with a QCoreApplication only: the logger must not need widgets.
#include "VRynLogger.h"
#include "SmallFilesystem.h"
#include "TestFiles.h"
#include "VRynTerminalLineType.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <string>
#include <vector>

namespace {


const QDateTime kTime(QDate(2026, 12, 8), QTime(1, 9, 41, 123));

} // namespace

class VRynLoggerTest : public QObject {
    Q_OBJECT
private slots:
    void safeBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain answer") << QByteArray("+CSQ: 17,99") << QString("+CSQ: 17,99");
        QTest::newRow("line ends") << QByteArray("OK\r\n") << QString("OK<CR><LF>");
        QTest::newRow("tab and NUL") << QByteArray("a\tb\0c", 5) << QString("a<TAB>b\\x00c");
        QTest::newRow("escape sequence") << QByteArray("\x1b[31mred") << QString("\\x1B[31mred");
        QTest::newRow("DEL") << QByteArray("x\x7f") << QString("x\\x7F");
        QTest::newRow("valid two-byte") << QByteArray("Telef\xc3\xb3nica") << QString::fromUtf8("Telef\xc3\xb3nica");
        QTest::newRow("valid four-byte") << QByteArray("\xf0\x9f\x93\xb6") << QString::fromUtf8("\xf0\x9f\x93\xb6");
        QTest::newRow("stray bytes") << QByteArray("\xff\xfe" "A") << QString("\\xFF\\xFEA");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QString("\\xC0\\xAF");
        QTest::newRow("overlong three-byte") << QByteArray("\xe0\x80\xaf") << QString("\\xE0\\x80\\xAF");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << QString("\\xED\\xA0\\x80");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QString("\\xF4\\x90\\x80\\x80");
        QTest::newRow("cut short at end") << QByteArray("ab\xe2\x82") << QString("ab\\xE2\\x82");
        QTest::newRow("cut short before ASCII") << QByteArray("\xe2\x82" "OK") << QString("\\xE2\\x82OK");
        QTest::newRow("C1 control") << QByteArray("\xc2\x85") << QString("<U+0085>");
        QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8" "b") << QString("a<U+2028>b");
        QTest::newRow("bidi override") << QByteArray("\xe2\x80\xae" "cba") << QString("<U+202E>cba");
    }

    void safeBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString safe = VRynSafeText(bytes.toStdString());
        QCOMPARE(safe, shown);
        QCOMPARE(VRynSafeText(safe), safe); // safe text passes through unchanged
    }

    void safeDecodedText()
    {
        const QChar lone[] = {QChar(0xD800), QChar('x')};
        QCOMPARE(VRynSafeText(QString(lone, 2)), QString("<U+D800>x"));
        const QString pair = QString::fromUtf8("\xf0\x9f\x93\xb6");
        QCOMPARE(VRynSafeText(pair), pair);
        QCOMPARE(VRynSafeText(QString("AT\r\n\x01")), QString("AT<CR><LF>\\x01"));
    }

    void writesEveryEntryAtOnce()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("terminal.log");
        VRynLogger logger;
        const VRynLoggerResult result = logger.open(path);
        QVERIFY2(result.ok, qPrintable(result.errorText));
        QVERIFY(result.errorText.isEmpty());

        QVERIFY(logger.write(QString("AT+CSQ\r"), VRynTerminal_ltOutText, kTime));
        QVERIFY(logger.write(std::string("+CSQ: 17,99\r\n\xff"), VRynTerminal_ltExtra, kTime.addMSecs(7)));
        QVERIFY(logger.write("machine: OPEN", VRynTerminal_ltExtra, kTime.addSecs(3600)));

        // Read back while the logger still holds the file: nothing may wait in a buffer.
        const QStringList lines = FileTextLines(path);
        QCOMPARE(lines, (QStringList{
                            "2026-12-08 01:09:41.123 [out]   AT+CSQ<CR>",
                            "2026-12-08 01:09:41.130 [extra] +CSQ: 17,99<CR><LF>\\xFF",
                            "2026-12-08 02:09:41.123 [extra] machine: OPEN",
                        }));
    }

    void appendKeepsEarlierEntriesTruncateDoesNot()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("terminal.log");
        VRynLogger logger;
        QVERIFY(logger.open(path).ok);
        QVERIFY(logger.write(QString("first"), VRynTerminal_ltInfo, kTime));
        logger.close();

        QVERIFY(logger.open(path, vrloAppend).ok);
        QVERIFY(logger.write(QString("second"), VRynTerminal_ltInfo, kTime));
        logger.close();
        QCOMPARE(FileTextLines(path).size(), 2);
        QVERIFY(FileTextLines(path).at(0).endsWith("first"));

        QVERIFY(logger.open(path, vrloTruncate).ok);
        QVERIFY(logger.write(QString("third"), VRynTerminal_ltInfo, kTime));
        QCOMPARE(FileTextLines(path).size(), 1);
        QVERIFY(FileTextLines(path).at(0).endsWith("third"));
    }

    // Three entries fit the limit: 14 entries leave 13-14 in the file and
    // three old files of three, the oldest (1-3) dropped; an entry longer
    // than the limit fills a file of its own.
    void rotatesBySizeKeepingThreeOldFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("terminal.log");
        const auto entry = [](int n) { return VRynLogger::FormatEntry(QString("entry %1").arg(n, 2, 10, QChar('0')), VRynTerminal_ltInfo, kTime); };
        VRynLogger logger;
        logger.setRotation(3 * (entry(1).size() + 1), 3);
        QVERIFY(logger.open(path).ok);
        for (int n = 1; n <= 14; ++n)
            QVERIFY2(logger.write(QString("entry %1").arg(n, 2, 10, QChar('0')), VRynTerminal_ltInfo, kTime),
                     qPrintable(logger.errorText()));
        const QList<QPair<QString, QList<int>>> expected = {
            {path, {13, 14}}, {path + ".1", {10, 11, 12}}, {path + ".2", {7, 8, 9}}, {path + ".3", {4, 5, 6}}};
        for (const auto &[file, numbers] : expected) {
            QStringList lines;
            for (int n : numbers)
                lines << entry(n);
            QCOMPARE(FileTextLines(file), lines);
        }
        QVERIFY(!QFileInfo::exists(path + ".4"));

        const QString longText(200, QLatin1Char('x'));
        QVERIFY(logger.write(longText, VRynTerminal_ltInfo, kTime));
        QVERIFY(logger.write(QString("entry 15"), VRynTerminal_ltInfo, kTime));
        QCOMPARE(FileTextLines(path), QStringList{entry(15)});
        QCOMPARE(FileTextLines(path + ".1"), QStringList{VRynLogger::FormatEntry(longText, VRynTerminal_ltInfo, kTime)});
        QCOMPARE(FileTextLines(path + ".2"), QStringList({entry(13), entry(14)}));
    }

    // An old file that cannot be replaced: the entry is refused naming the
    // cause, the file keeps what it had, and writing goes on once it can.
    void aFailedRotationLosesNothingAndNamesTheCause()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("terminal.log");
        QVERIFY(QDir(dir.path()).mkpath("terminal.log.1/full"));
        VRynLogger logger;
        logger.setRotation(1, 1);
        QVERIFY(logger.open(path).ok);
        QVERIFY(logger.write(QString("first"), VRynTerminal_ltInfo, kTime));
        QVERIFY(!logger.write(QString("second"), VRynTerminal_ltInfo, kTime));
        QVERIFY2(logger.errorText().startsWith("Cannot rotate log file"), qPrintable(logger.errorText()));
        QVERIFY2(logger.errorText().contains(QString::fromLocal8Bit(std::strerror(EISDIR))), qPrintable(logger.errorText()));
        QCOMPARE(FileTextLines(path), QStringList{VRynLogger::FormatEntry("first", VRynTerminal_ltInfo, kTime)});
        QVERIFY(QDir(path + ".1").removeRecursively());
        QVERIFY2(logger.write(QString("third"), VRynTerminal_ltInfo, kTime), qPrintable(logger.errorText()));
        QCOMPARE(FileTextLines(path), QStringList{VRynLogger::FormatEntry("third", VRynTerminal_ltInfo, kTime)});
        QCOMPARE(FileTextLines(path + ".1"), QStringList{VRynLogger::FormatEntry("first", VRynTerminal_ltInfo, kTime)});
    }

    void aFileEndingInPartOfALineGetsANewlineFirst()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("terminal.log");
        QVERIFY(WriteWholeFile(path, "2026-12-08 01:09:41.123 [in]    +CS"));
        VRynLogger logger;
        QVERIFY(logger.open(path, vrloAppend).ok);
        QVERIFY(logger.write(QString("next"), VRynTerminal_ltInfo, kTime));
        QVERIFY(logger.write(QString("last"), VRynTerminal_ltInfo, kTime));
        const QStringList lines = FileTextLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QString("2026-12-08 01:09:41.123 [in]    +CS"));
        QCOMPARE(lines.at(1), VRynLogger::FormatEntry("next", VRynTerminal_ltInfo, kTime));
    }

    void fullDiskWritesNoPartOfAnEntryAndNamesTheCause()
    {
        SmallFilesystem disk(64 * 1024);
        if (!disk.IsMounted())
            QSKIP(qPrintable(disk.SkipReason()));
        const QString path = disk.FilePath("terminal.log");
        VRynLogger logger;
        QVERIFY(logger.open(path).ok);
        const QString text(300, QLatin1Char('t'));
        QVERIFY(logger.write(text, VRynTerminal_ltInText, kTime));
        QVERIFY(disk.Fill("filler"));
        qint64 size = QFileInfo(path).size();
        bool failed = false;
        for (int i = 0; i < 40 && !failed; ++i) {
            failed = !logger.write(text, VRynTerminal_ltInText, kTime);
            if (!failed)
                size = QFileInfo(path).size();
        }
        QVERIFY(failed);
        QCOMPARE(QFileInfo(path).size(), size);
        QVERIFY2(logger.errorText().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))),
                 qPrintable(logger.errorText()));
        const QString entry = VRynLogger::FormatEntry(text, VRynTerminal_ltInText, kTime);
        for (const QString &line : FileTextLines(path))
            QCOMPARE(line, entry);
        QVERIFY(QFile::remove(disk.FilePath("filler")));
        QVERIFY2(logger.write(text, VRynTerminal_ltInText, kTime), qPrintable(logger.errorText()));
        QCOMPARE(FileTextLines(path).back(), entry);
    }

    void createsMissingFolders()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a/b/terminal.log");
        VRynLogger logger;
        const VRynLoggerResult result = logger.open(path);
        QVERIFY2(result.ok, qPrintable(result.errorText));
        QVERIFY(logger.write(QString("x"), VRynTerminal_ltInfo, kTime));
        QCOMPARE(FileTextLines(path).size(), 1);
    }

    void unwritablePathIsReported_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("path is a folder") << QString("folder");
        QTest::newRow("folder is a file") << QString("plain.txt/terminal.log");
        QTest::newRow("empty name") << QString();
    }

    void unwritablePathIsReported()
    {
        QFETCH(QString, relative);
        // Made of files and folders, not permissions, so it fails for root too.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QFile plain(dir.filePath("plain.txt"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = relative.isEmpty() ? QString() : dir.filePath(relative);

        VRynLogger logger;
        const VRynLoggerResult result = logger.open(path);
        QVERIFY(!result.ok);
        QVERIFY(!logger.isOpen());
        QCOMPARE(logger.errorText(), result.errorText);
        if (path.isEmpty())
            QCOMPARE(result.errorText, QString("No log file name given"));
        else
            QVERIFY2(result.errorText.startsWith("Cannot open log file \"" + QDir::toNativeSeparators(path) + "\": "),
                     qPrintable(result.errorText));

        QVERIFY(!logger.write(QString("lost"), VRynTerminal_ltInfo, kTime));
        QCOMPARE(logger.errorText(), QString("No log file is open"));
    }

    // The offset is asked once per minute of UTC and each stamp carries it;
    // the stamps match the library's local time.
    void localClockTakesTheOffsetOncePerMinute()
    {
        QList<qint64> asked;
        VRynLocalClock clock([&asked](qint64 utcMs) {
            asked.append(utcMs);
            return asked.size() == 1 ? 3600 : 7200; // daylight saving starts between the minutes
        });
        const qint64 minute = 1'800'000'000'000 / 60000 * 60000;
        QCOMPARE(clock.At(minute + 1000).time(), QTime(0, 0).addMSecs(int((minute + 1000 + 3'600'000) % 86'400'000)));
        QCOMPARE(clock.At(minute + 59'999).offsetFromUtc(), 3600);
        QCOMPARE(asked, QList<qint64>{minute});
        QCOMPARE(clock.At(minute + 60'000).offsetFromUtc(), 7200);
        QCOMPARE(clock.At(minute - 1).offsetFromUtc(), 7200); // back a minute asks again
        QCOMPARE(asked, (QList<qint64>{minute, minute + 60'000, minute - 60'000}));

        VRynLocalClock local;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QDateTime library = QDateTime::fromMSecsSinceEpoch(now);
        QCOMPARE(local.At(now).toString("yyyy-MM-dd hh:mm:ss.zzz"), library.toString("yyyy-MM-dd hh:mm:ss.zzz"));
    }

    // Entries written without QString, as the headless monitor writes them:
    // the same bytes as FormatEntry gives for every kind of text, line type
    // and time (before 1970, leap days, other offsets).
    void entriesWithoutQStringAreTheSame()
    {
        const std::vector<std::string> texts{"", "AT+CSQ\r", "+COPS: 0,0,\"T-Mobile CZ\"", "\x1b[31m\x07\x7f\t",
                                             "Telef\xf3nica \xe2\x82", "\xc2\x85\xe2\x80\xae\xe2\x80\xa8\xf0\x9f\x93\xb6",
                                             "\xed\xa0\x80\xc0\xaf\xff"};
        const std::vector<int> types{VRynTerminal_ltInText, VRynTerminal_ltInHex, VRynTerminal_ltInfo,
                                     VRynTerminal_ltError, VRynTerminal_ltWarning, VRynTerminal_ltOutText,
                                     VRynTerminal_ltExtra, 42, -1, 1234567};
        std::vector<qint64> times{0, -1, 1'709'164'800'000 /* 2024-02-29 */, 4'107'542'399'999 /* 2100-02-28 */,
                                  -2'208'988'800'000 /* 1900 */, 253'402'300'799'999 /* 9999-12-31 */};
        for (qint64 t = -3'000'000'000'000; t < 7'000'000'000'000; t += 987'654'321'987)
            times.push_back(t);
        for (const int offset : {0, 3600, -34200, 50400}) {
            for (const qint64 utc : times) {
                const QDateTime time = QDateTime::fromMSecsSinceEpoch(utc, Qt::OffsetFromUTC, offset);
                for (std::size_t i = 0; i < texts.size(); ++i) {
                    const int type = types[(i + std::size_t(utc % 7 + 7)) % types.size()];
                    std::string entry;
                    VRynLogger::AppendEntry(entry, texts[i], type, utc + offset * 1000LL);
                    const QByteArray expected = VRynLogger::FormatEntry(VRynSafeText(texts[i]), type, time).toUtf8() + '\n';
                    QCOMPARE(QByteArray::fromStdString(entry), expected);
                }
                std::string iso;
                VRynAppendTimeText(iso, utc, true);
                QCOMPARE(QString::fromStdString(iso), time.toUTC().toString(Qt::ISODateWithMs));
            }
        }
    }

    // Entries added and flushed together land in the same files as entries
    // written one by one: rotation still falls between two entries.
    void addedEntriesRotateAsWrittenOnes()
    {
        QTemporaryDir dir;
        const qint64 localMs = kTime.toMSecsSinceEpoch() + kTime.offsetFromUtc() * 1000LL;
        const auto text = [](int n) { return "entry " + std::string(std::size_t(n % 5 * 9), 'x') + std::to_string(n); };
        VRynLogger single;
        VRynLogger batched;
        for (VRynLogger *logger : {&single, &batched})
            logger->setRotation(150, 3);
        QVERIFY(single.open(dir.filePath("single.log")).ok);
        QVERIFY(batched.open(dir.filePath("batched.log")).ok);
        for (int n = 1; n <= 25; ++n) {
            QVERIFY(single.write(text(n), VRynTerminal_ltInText, kTime));
            batched.add(text(n), VRynTerminal_ltInText, localMs);
            if (n % 7 == 0)
                QVERIFY2(batched.flush(), qPrintable(batched.errorText()));
        }
        batched.close(); // writes what waits
        QCOMPARE(batched.waitingBytes(), std::size_t(0));
        for (const QString suffix : {"", ".1", ".2", ".3"})
            QCOMPARE(FileTextLines(dir.filePath("batched.log" + suffix)), FileTextLines(dir.filePath("single.log" + suffix)));
        QVERIFY(!QFileInfo::exists(dir.filePath("batched.log.4")));

        // Nothing open: what waits is dropped, and the reason given.
        batched.add("lost", VRynTerminal_ltInfo, localMs);
        QVERIFY(!batched.flush());
        QCOMPARE(batched.errorText(), QString("No log file is open"));
        QCOMPARE(batched.waitingBytes(), std::size_t(0));
    }

    void failedReopenLeavesNothingOpen()
    {
        QTemporaryDir dir;
        VRynLogger logger;
        QVERIFY(logger.open(dir.filePath("good.log")).ok);
        QVERIFY(!logger.open(dir.path()).ok); // a folder
        QVERIFY(!logger.isOpen());
        QVERIFY(!logger.write(QString("lost"), VRynTerminal_ltInfo, kTime));
    }
};

QTEST_GUILESS_MAIN(VRynLoggerTest)
#include "VRynLoggerTest.moc"
