// The main window and its terminal as a user meets them: one terminal-log
// state behind both controls, warnings and errors in the status bar for a
// few seconds, and an operator table from an older installation read in its
// code page. Offscreen, on the built-in simulated modem, with a temporary
// home and fresh settings per test.
#include "MainWindow.h"
#include "WindowTestHome.h"

#include "TestFiles.h"
#include "VRynAppInfo.h"
#include "VRynTerminal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString DataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Palvex");
}

void WriteTable(const QByteArray &content)
{
    QDir().mkpath(DataFolder());
    QFile file(DataFolder() + QStringLiteral("/mccmnc.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QString TerminalText(TfrmMain &w)
{
    w.termMain->Flush();
    return w.termMain->findChild<QPlainTextEdit *>(QStringLiteral("view"))->toPlainText();
}

QAction *TerminalLogButton(TfrmMain &w)
{
    return w.termMain->findChild<QAction *>(QStringLiteral("logAction"));
}

std::unique_ptr<TfrmMain> SimWindow()
{
    auto w = std::make_unique<TfrmMain>();
    w->SetCommandLinePort(QStringLiteral("SIM"));
    return w;
}

} // namespace

class WindowTerminalTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QSettings(QStringLiteral("RYN s.r.o."), QStringLiteral("Palvex")).clear();
        QDir(DataFolder()).removeRecursively();
    }
    void cleanup() { QApplication::processEvents(); }

    void terminalLoggingIsOneState_data()
    {
        QTest::addColumn<bool>("startInMenu");
        QTest::addColumn<bool>("stopInMenu");
        QTest::newRow("menu, menu") << true << true;
        QTest::newRow("menu, terminal") << true << false;
        QTest::newRow("terminal, menu") << false << true;
        QTest::newRow("terminal, terminal") << false << false;
    }

    void terminalLoggingIsOneState()
    {
        QFETCH(bool, startInMenu);
        QFETCH(bool, stopInMenu);
        auto w = SimWindow();
        QAction *menu = w->Logterminaltofile1;
        QAction *button = TerminalLogButton(*w);
        QVERIFY(button);
        const QString file = w->termMain->LogFile();

        (startInMenu ? menu : button)->trigger();
        QVERIFY(w->termMain->IsLogging());
        QVERIFY(menu->isChecked());
        QVERIFY(button->isChecked());
        w->termMain->AddLine("a line for the log", VRynTerminal_ltExtra);

        (stopInMenu ? menu : button)->trigger();
        QVERIFY(!w->termMain->IsLogging());
        QVERIFY(!menu->isChecked());
        QVERIFY(!button->isChecked());
        const QStringList lines = FileTextLines(file);
        QVERIFY(lines.join('\n').contains(QStringLiteral("a line for the log")));
        QVERIFY2(lines.constLast().endsWith(QStringLiteral(" stopped")), qPrintable(lines.constLast()));
        QFile::remove(file);
    }

    // The open fails: both controls stay unchecked and the reason shows in
    // the status bar until the notice time is over, then the panels are back.
    // The notice time is waited for: the message must go by itself.
    void refusedTerminalLogReachesTheStatusBarForAFewSeconds()
    {
        auto w = SimWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTemporaryDir folder;
        w->termMain->SetLogFile(folder.path());
        w->Logterminaltofile1->trigger();
        QVERIFY(!w->termMain->IsLogging());
        QVERIFY(!w->Logterminaltofile1->isChecked());
        QVERIFY(!TerminalLogButton(*w)->isChecked());
        QVERIFY2(w->StatusBar1->currentMessage().startsWith(QStringLiteral("Cannot open log file")),
                 qPrintable(w->StatusBar1->currentMessage()));
        QVERIFY(!w->StatusPanels[0]->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w->StatusBar1->currentMessage().isEmpty(),
                                 int(TfrmMain::kNoticeTime.count()) + 5000);
        QVERIFY(w->StatusPanels[0]->isVisible());

        // The same failure again does not cover the panels again; another one does.
        w->Logterminaltofile1->trigger();
        QVERIFY(w->StatusBar1->currentMessage().isEmpty());
        w->termMain->AddLine("another warning", VRynTerminal_ltWarning);
        QCOMPARE(w->StatusBar1->currentMessage(), QStringLiteral("another warning"));
    }

    void refusedOperatorCodeReachesTheStatusBar()
    {
        WriteTable("[General]\n230\"01=Quoted\n");
        auto w = SimWindow();
        w->show();
        QVERIFY(QTest::qWaitFor([&] { return w->Session().CompletedCycles() >= 1; }, 10000));
        w->rgpOperatorsClick(1);
        const QString refused = QStringLiteral("operator code refused");
        QTRY_VERIFY_WITH_TIMEOUT(w->StatusBar1->currentMessage().contains(refused), 10000);
        QVERIFY(TerminalText(*w).contains(refused));
        QVERIFY(w->rgpOperators->isEnabled());
    }

    // Read twice, said once; the names come out right (the decoding itself
    // is tested with the table).
    void windows1250TableIsReadAndSaidOnce()
    {
        WriteTable("[General]\n23099=\x8A\x9D" "astn\xFD \xC8" "esk\xFD\n");
        auto w = SimWindow();
        w->LoadOperators();
        w->LoadOperators();
        const QList<QRadioButton *> items = w->rgpOperators->findChildren<QRadioButton *>();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1]->text(), QStringLiteral(u"\u0160\u0165astn\u00FD \u010Cesk\u00FD (23099)"));
        const QString note = QStringLiteral("is not UTF-8; read as Windows-1250");
        QCOMPARE(TerminalText(*w).count(note), 1);
        QVERIFY(w->StatusBar1->currentMessage().contains(note));
    }
};

int main(int argc, char **argv)
{
    return RunWindowTest<WindowTerminalTest>(argc, argv);
}

#include "WindowTerminalTest.moc"
