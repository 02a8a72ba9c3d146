#include "VRynTerminal.h"
#include "TestFiles.h"

#include "RynColor.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include <memory>
#include <stdexcept>

Q_DECLARE_METATYPE(VRynTerminalCloseAction)

namespace {

QStringList shownLines(const QPlainTextEdit *view)
{
    QStringList lines;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

QColor colourOfBlock(const QTextBlock &block)
{
    const QTextBlock::iterator it = block.begin();
    return it.atEnd() ? QColor() : it.fragment().charFormat().foreground().color();
}


} // namespace

class VRynTerminalTest : public QObject {
    Q_OBJECT

    std::unique_ptr<VRynTerminal> term;
    QPlainTextEdit *view = nullptr;
    QLineEdit *command = nullptr;
    QByteArray sent;
    int sendCalls = 0;

    void type(const QString &text)
    {
        // QTest types only ASCII key by key; other text goes in as if pasted.
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            QTest::keyClicks(command, text);
        else
            command->insert(text);
        QTest::keyClick(command, Qt::Key_Return);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        term = std::make_unique<VRynTerminal>();
        view = term->findChild<QPlainTextEdit *>("view");
        command = term->findChild<QLineEdit *>("command");
        QVERIFY(view && command);
        sent.clear();
        sendCalls = 0;
        term->SetOnTermSendData([this](VRynTerminal *sender, const std::uint8_t *data, std::size_t count) {
            QCOMPARE(sender, term.get());
            sent.append(reinterpret_cast<const char *>(data), qsizetype(count));
            ++sendCalls;
        });
    }

    void cleanup() { term.reset(); }

    void linesTakeTheColourOfTheirType_data()
    {
        QTest::addColumn<int>("lineType");
        QTest::newRow("received text") << int(VRynTerminal_ltInText);
        QTest::newRow("received hex") << int(VRynTerminal_ltInHex);
        QTest::newRow("info") << int(VRynTerminal_ltInfo);
        QTest::newRow("error") << int(VRynTerminal_ltError);
        QTest::newRow("warning") << int(VRynTerminal_ltWarning);
        QTest::newRow("sent command") << int(VRynTerminal_ltOutText);
        QTest::newRow("session text") << int(VRynTerminal_ltExtra);
    }

    void linesTakeTheColourOfTheirType()
    {
        QFETCH(int, lineType);
        term->SetShowOptions({});
        // A neighbour of another type first, so a format leaking from the
        // previous block would show.
        const int other = lineType == VRynTerminal_ltError ? VRynTerminal_ltOutText : VRynTerminal_ltError;
        term->AddLine(QString("before"), other);
        term->AddLine(QString("the line"), lineType);
        term->Flush();
        const QTextBlock block = view->document()->lastBlock();
        QCOMPARE(block.text(), QString("the line"));
        QCOMPARE(colourOfBlock(block), RynToQColor(term->LineColor(lineType)));
        QVERIFY(colourOfBlock(block) != colourOfBlock(block.previous()));
    }

    void typesHaveDistinctColoursAndUnknownTypesAreShown()
    {
        QSet<std::uint32_t> colours;
        for (int t = VRynTerminal_ltInText; t <= VRynTerminal_ltExtra; ++t)
            colours.insert(term->LineColor(t));
        QCOMPARE(colours.size(), 7);

        term->SetLineColor(VRynTerminal_ltExtra, 0x00123456);
        term->AddLine(QString("custom"), VRynTerminal_ltExtra);
        term->AddLine(QString("odd type"), 42);
        term->AddLine(QString("negative type"), -1);
        term->Flush();
        QCOMPARE(colourOfBlock(view->document()->findBlockByNumber(0)), RynToQColor(0x00123456));
        QCOMPARE(colourOfBlock(view->document()->lastBlock()), RynToQColor(term->LineColor(VRynTerminal_ltInText)));
        QCOMPARE(view->document()->blockCount(), 3);
    }

    void timesShownOnlyWithTheOption()
    {
        term->AddLine("machine: INIT", VRynTerminal_ltExtra);
        term->SetShowOptions({});
        term->AddLine(QString("machine: OPEN"), VRynTerminal_ltExtra);
        term->Flush();
        const QStringList lines = shownLines(view);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  machine: INIT$").match(lines[0]).hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(lines[1], QString("machine: OPEN"));
    }

    void linesArriveBatchedOnTheTimer()
    {
        term->SetShowOptions({});
        term->show();
        QVERIFY(QTest::qWaitForWindowExposed(term.get()));
        term->AddLine(QString("one"), VRynTerminal_ltExtra);
        term->AddLine(std::string("two"), VRynTerminal_ltExtra);
        QVERIFY(view->document()->isEmpty()); // not per line
        QTRY_COMPARE(shownLines(view), (QStringList{"one", "two"}));
    }

    void hiddenTerminalCollectsUntilShown()
    {
        term->SetShowOptions({});
        term->SetMaxLines(3);
        for (const char *line : {"one", "two", "three", "four"})
            term->AddLine(QString(line), VRynTerminal_ltExtra);
        QTest::qWait(3 * int(kTerminalFlushInterval.count()));
        QVERIFY(view->document()->isEmpty());
        term->show();
        QCOMPARE(shownLines(view), (QStringList{"two", "three", "four"}));
    }

    void controlAndInvalidBytesShownSafely()
    {
        term->SetShowOptions({});
        term->AddLine(std::string("+CSQ: 17,99\r\n\xff\x01"), VRynTerminal_ltExtra);
        term->AddLine(QString("a\nb"), VRynTerminal_ltExtra);
        term->Flush();
        QCOMPARE(shownLines(view), (QStringList{"+CSQ: 17,99<CR><LF>\\xFF\\x01", "a<LF>b"}));
    }

    void overlongLineIsCut()
    {
        term->SetShowOptions({});
        term->AddLine(std::string(kTerminalMaxShownLineLength + 500, 'x'), VRynTerminal_ltExtra);
        term->Flush();
        const QString line = shownLines(view).at(0);
        QVERIFY(line.startsWith(QString(kTerminalMaxShownLineLength, 'x') + " ... (500 more characters)"));
        QCOMPARE(line.size(), kTerminalMaxShownLineLength + QString(" ... (500 more characters)").size());
    }

    void enterSendsTextWithCr_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("AT+CSQ") << QString("AT+CSQ") << QByteArray("AT+CSQ\r");
        QTest::newRow("quoted operator") << QString("AT+COPS=1,2,\"23001\"") << QByteArray("AT+COPS=1,2,\"23001\"\r");
        QTest::newRow("non-ASCII as UTF-8") << QString::fromUtf8("AT\xc3\xa4") << QByteArray("AT\xc3\xa4\r");
        QTest::newRow("empty line") << QString() << QByteArray("\r");
    }

    void enterSendsTextWithCr()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, bytes);
        type(typed);
        QCOMPARE(sendCalls, 1);
        QCOMPARE(sent, bytes);
        QVERIFY(command->text().isEmpty());
    }

    void failingReceiverIsShownNotThrown()
    {
        term->SetShowOptions({});
        term->SetOnTermSendData([](VRynTerminal *, const std::uint8_t *, std::size_t) {
            throw std::runtime_error("port closed");
        });
        type("ATI");
        term->SetOnTermSendData({});
        type("ATI2");
        term->Flush();
        QCOMPARE(shownLines(view), (QStringList{"Sending failed: port closed", "Not sent, nothing is connected: ATI2"}));
        QCOMPARE(colourOfBlock(view->document()->firstBlock()), RynToQColor(term->LineColor(VRynTerminal_ltError)));
    }

    void arrowsRecallHistory()
    {
        type("AT+CSQ");
        type("AT+COPS?");
        type("AT+COPS?"); // a repeat is kept once
        type("ATI");
        QCOMPARE(term->History(), (QStringList{"AT+CSQ", "AT+COPS?", "ATI"}));

        QTest::keyClicks(command, "AT+C"); // a draft survives browsing
        const auto press = [&](Qt::Key key) {
            QTest::keyClick(command, key);
            return command->text();
        };
        QCOMPARE(press(Qt::Key_Up), QString("ATI"));
        QCOMPARE(press(Qt::Key_Up), QString("AT+COPS?"));
        QCOMPARE(press(Qt::Key_Up), QString("AT+CSQ"));
        QCOMPARE(press(Qt::Key_Up), QString("AT+CSQ")); // oldest stays
        QCOMPARE(press(Qt::Key_Down), QString("AT+COPS?"));
        QCOMPARE(press(Qt::Key_Down), QString("ATI"));
        QCOMPARE(press(Qt::Key_Down), QString("AT+C"));
        QCOMPARE(press(Qt::Key_Down), QString("AT+C"));

        QCOMPARE(press(Qt::Key_Up), QString("ATI"));
        sent.clear();
        QTest::keyClick(command, Qt::Key_Return); // a recalled command is sent again
        QCOMPARE(sent, QByteArray("ATI\r"));
        QCOMPARE(press(Qt::Key_Up), QString("ATI"));
    }

    void historyIsBounded()
    {
        for (int i = 0; i < kTerminalMaxHistory + 30; ++i)
            type(QString("AT%1").arg(i));
        QCOMPARE(term->History().size(), kTerminalMaxHistory);
        QCOMPARE(term->History().constFirst(), QString("AT30"));
        for (int i = 0; i < kTerminalMaxHistory + 5; ++i)
            QTest::keyClick(command, Qt::Key_Up);
        QCOMPARE(command->text(), QString("AT30"));
    }

    void closeFollowsCloseAction_data()
    {
        QTest::addColumn<VRynTerminalCloseAction>("action");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("alive");
        QTest::newRow("hide") << trmcaHide << false << true;
        QTest::newRow("none") << trmcaNone << true << true;
        QTest::newRow("free") << trmcaFree << false << false;
    }

    void closeFollowsCloseAction()
    {
        QFETCH(VRynTerminalCloseAction, action);
        QFETCH(bool, visible);
        QFETCH(bool, alive);
        // Owned by a parent as the main window owns it.
        QWidget owner;
        QPointer<VRynTerminal> window = new VRynTerminal(&owner);
        QVERIFY(window->isWindow());
        QCOMPARE(window->CloseAction(), trmcaHide);
        window->SetCloseAction(action);
        window->AddLine(QString("kept"), VRynTerminal_ltExtra);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(!window.isNull(), alive);
        if (alive) {
            QCOMPARE(window->isVisible(), visible);
            window->Flush();
            QVERIFY(window->findChild<QPlainTextEdit *>("view")->toPlainText().endsWith("kept"));
        }
    }

    void scrollbackKeepsTheNewestLines_data()
    {
        QTest::addColumn<int>("batch");
        QTest::newRow("one batch") << 1000;
        QTest::newRow("batches of 7") << 7;
    }

    void scrollbackKeepsTheNewestLines()
    {
        QFETCH(int, batch);
        term->SetShowOptions({});
        term->SetMaxLines(100);
        for (int i = 0; i < 250; ++i) {
            term->AddLine(QString("line %1").arg(i), VRynTerminal_ltExtra);
            if (i % batch == batch - 1)
                term->Flush();
        }
        term->Flush();
        const QStringList lines = shownLines(view);
        QCOMPARE(lines.size(), 100);
        QCOMPARE(lines.constFirst(), QString("line 150"));
        QCOMPARE(lines.constLast(), QString("line 249"));

        term->SetMaxLines(10); // shrinking drops at once
        QCOMPARE(shownLines(view).constFirst(), QString("line 240"));
        QCOMPARE(term->MaxLines(), 10);
        term->SetMaxLines(0);
        QCOMPARE(term->MaxLines(), 1);
    }

    void clearEmptiesTheScreen()
    {
        term->SetShowOptions({});
        term->AddLine(QString("old"), VRynTerminal_ltExtra);
        term->Flush();
        term->AddLine(QString("pending"), VRynTerminal_ltExtra);
        term->Clear();
        term->AddLine(QString("new"), VRynTerminal_ltExtra);
        term->Flush();
        QCOMPARE(shownLines(view), QStringList{"new"});
    }

    void scrolledUpViewStaysAndSelectionIsKept()
    {
        term->SetShowOptions({});
        term->SetMaxLines(300);
        term->resize(400, 200);
        term->show();
        QVERIFY(QTest::qWaitForWindowExposed(term.get()));
        for (int i = 0; i < 200; ++i)
            term->AddLine(QString("line %1").arg(i), VRynTerminal_ltExtra);
        term->Flush();
        QScrollBar *bar = view->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum()); // followed the output

        // The user scrolls up and selects "line 120".
        bar->setValue(115);
        QTextCursor selection(view->document()->findBlockByNumber(120));
        selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        view->setTextCursor(selection);
        bar->setValue(115);

        for (int i = 200; i < 350; ++i) // 50 lines beyond the cap
            term->AddLine(QString("line %1").arg(i), VRynTerminal_ltExtra);
        term->Flush();
        QCOMPARE(view->textCursor().selectedText(), QString("line 120"));
        QCOMPARE(view->document()->findBlockByNumber(bar->value()).text(), QString("line 115"));

        // Back at the bottom, output is followed again.
        bar->setValue(bar->maximum());
        term->AddLine(QString("last"), VRynTerminal_ltExtra);
        term->Flush();
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(view->textCursor().selectedText(), QString("line 120"));
    }

    void pauseFreezesTheViewAndCatchesUp_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("a few lines") << 3 << QStringList{"before", "line 0", "line 1", "line 2"};
        // More than MaxLines (10): the newest are kept, a note stands for the rest.
        QStringList newest{"16 lines received during the pause are not shown"};
        for (int i = 16; i < 25; ++i)
            newest << QString("line %1").arg(i);
        QTest::newRow("more than the screen keeps") << 25 << newest;
    }

    void pauseFreezesTheViewAndCatchesUp()
    {
        QFETCH(int, count);
        QFETCH(QStringList, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath("paused.log");
        term->SetShowOptions({});
        term->SetMaxLines(10);
        term->SetLogFile(path);
        term->SetLogging(true);
        term->Clear(); // the screen starts without the "Logging to" line
        term->AddLine(QString("before"), VRynTerminal_ltExtra);
        term->Flush();

        QAction *pause = term->findChild<QAction *>("pauseAction");
        QVERIFY(pause);
        pause->trigger();
        QVERIFY(term->IsPaused());
        QCOMPARE(pause->text(), QString("Paused"));
        for (int i = 0; i < count; ++i)
            term->AddLine(QString("line %1").arg(i), VRynTerminal_ltExtra);
        term->Flush();
        QTest::qWait(3 * int(kTerminalFlushInterval.count()));
        QCOMPARE(shownLines(view), QStringList{"before"});
        QCOMPARE(FileTextLines(path).size(), 2 + count); // "Logging to", "before", the lines
        QVERIFY(FileTextLines(path).constLast().endsWith(QString("line %1").arg(count - 1)));
        QCOMPARE(term->SkippedWhilePaused(), std::size_t(std::max(0, count - 10)));

        pause->trigger();
        QVERIFY(!term->IsPaused());
        QCOMPARE(pause->text(), QString("Pause"));
        QCOMPARE(shownLines(view), shown);
        term->AddLine(QString("after"), VRynTerminal_ltExtra);
        term->Flush();
        QCOMPARE(shownLines(view).constLast(), QString("after"));
    }

    void loggingWritesEveryLineAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("logs/terminal.log");
        term->SetLogFile(path);
        term->SetLogging(true);
        QVERIFY(term->IsLogging());
        QVERIFY(term->findChild<QAction *>("logAction")->isChecked());
        term->AddLine(std::string("AT+CSQ\r"), VRynTerminal_ltOutText);
        term->AddLine(std::string("+CSQ: 17,99"), VRynTerminal_ltExtra);

        // In the file before the screen shows them.
        const QStringList lines = FileTextLines(path);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith("[info]  Logging to " + QDir::toNativeSeparators(path)));
        QVERIFY(lines[1].endsWith("[out]   AT+CSQ<CR>"));
        QVERIFY(lines[2].endsWith("[extra] +CSQ: 17,99"));

        term->SetLogging(false);
        term->AddLine(std::string("not logged"), VRynTerminal_ltExtra);
        QCOMPARE(FileTextLines(path).size(), 4); // the "stopped" line only
        QVERIFY(!term->findChild<QAction *>("logAction")->isChecked());
    }

    void logActionSwitchesLoggingAndNamesTheFile()
    {
        QVERIFY(term->LogFile().endsWith("/Palvex/terminal.log"));
        QVERIFY(!term->IsLogging());
        QTemporaryDir dir;
        const QString path = dir.filePath("t.log");
        term->SetLogFile(path);
        QAction *action = term->findChild<QAction *>("logAction");
        QVERIFY(action->toolTip().contains(QDir::toNativeSeparators(path)));
        action->trigger();
        QVERIFY(term->IsLogging());
        QCOMPARE(term->Logger().path(), path);

        // Another file while logging: the new one takes over.
        const QString other = dir.filePath("u.log");
        term->SetLogFile(other);
        QVERIFY(term->IsLogging());
        term->AddLine(QString("to u"), VRynTerminal_ltExtra);
        QVERIFY(FileTextLines(other).constLast().endsWith("to u"));
        QVERIFY(!FileTextLines(path).join('\n').contains("to u"));

        action->trigger();
        QVERIFY(!term->IsLogging());
    }

    void unwritableLogFileShowsAnError()
    {
        QTemporaryDir dir;
        term->SetShowOptions({});
        term->SetLogFile(dir.path()); // a folder, not a file
        term->SetLogging(true);
        QVERIFY(!term->IsLogging());
        QVERIFY(!term->findChild<QAction *>("logAction")->isChecked());
        term->Flush();
        const QTextBlock block = view->document()->lastBlock();
        QVERIFY2(block.text().startsWith("Cannot open log file \"" + QDir::toNativeSeparators(dir.path()) + "\""),
                 qPrintable(block.text()));
        QCOMPARE(colourOfBlock(block), RynToQColor(term->LineColor(VRynTerminal_ltError)));
    }
};

QTEST_MAIN(VRynTerminalTest)
#include "VRynTerminalTest.moc"
