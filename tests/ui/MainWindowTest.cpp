// The main window under the offscreen platform, on the built-in simulated
// modem. HOME, the data and the config folders point into a temporary
// folder before QApplication exists, so no test touches the user's settings
// or operator table.
#include "MainWindow.h"
#include "WindowTestHome.h"

#include "AboutBox.h"

#include "NetState.h"
#include "RynSimModem.h"
#include "VRSComm32.h"
#include "VRynAppInfo.h"
#include "VRynTerminal.h"
#include "zefXPGraph.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#ifdef PALVEX_MODEMSIM_PATH
#include "ModemSimProcess.h"
#endif

#ifndef PALVEX_PATH
#error "PALVEX_PATH must name the palvex executable"
#endif

namespace {

QTemporaryDir *g_home = nullptr;

QString DataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Palvex");
}

QString TablePath()
{
    return DataFolder() + QStringLiteral("/mccmnc.ini");
}

void WriteTable(const QByteArray &content)
{
    QDir().mkpath(DataFolder());
    QFile file(TablePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QSettings Settings()
{
    return QSettings(QStringLiteral("RYN s.r.o."), QStringLiteral("Palvex"));
}

QStringList RowTexts(const QTableWidget *grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid->columnCount(); ++c)
        texts << grid->item(row, c)->text();
    return texts;
}

QStringList RadioTexts(const TfrmMain &w)
{
    QStringList texts;
    for (QRadioButton *b : w.rgpOperators->findChildren<QRadioButton *>())
        texts << b->text();
    return texts;
}

QString Pad(int value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char(' '));
}

// The grid row the display must show for one cell the simulator reported.
QStringList ExpectedRow(const TRynSimCell &c)
{
    const QString band = c.channel >= 1 && c.channel <= 124 ? QStringLiteral("900") : QStringLiteral("1800");
    return {Pad(c.channel, 4),
            band,
            Pad(int(c.rssi / 64.0 * 100.0), 4) + QLatin1Char('%'),
            Pad(c.dbm, 4),
            Pad(c.c1, 3),
            QString::number(c.mcc).rightJustified(3, QLatin1Char('0')) + QLatin1Char(' ') +
                QString::number(c.mnc).rightJustified(2, QLatin1Char('0'))};
}

QString RegistrationText(int stat)
{
    switch (stat) {
    case 0: return QStringLiteral(", not registered, not searching");
    case 1: return QStringLiteral(", registered, home network");
    case 2: return QStringLiteral(", not registered, searching");
    case 3: return QStringLiteral(", registration denied");
    case 5: return QStringLiteral(", registered, roaming");
    default: return QStringLiteral(", registration state unknown");
    }
}

// Counts the session's opens.
class CountingWindow : public TfrmMain {
public:
    int opens = 0;
    void PortOpening(const std::string &port) override
    {
        ++opens;
        TfrmMain::PortOpening(port);
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pollIntervalIsRemembered();

    void startTextsBeforeShow();
    void everyRowIsDashBeforeTheFirstCycle();
    void servingCellExample();
    void lteGridShowsTheServingCellFirst();
    void fullScaleMarkOnServingCellChange();
    void liveValuesFromTheSimulator();
    void showWritesTitleHeaderAndDefaultTable();
    void operatorTableKeepsFileOrderAndParentheses();
    void refusedOperatorSwitchPutsTheRadioBackAndSaysWhy();
    void networkScanFillsTheOperatorSwitch();
    void cancelledNetworkScanLetsThePollGoOn();
    void graphKeepsItsValueThroughAnOperatorSwitch();
    void withoutAPortPickedNothingIsOpened();
    void settingsAreRememberedAndTheTerminalKeysWork();
    void emptySectionGivesAutoSelectAlone();
    void unreadableTableIsShownInTheGroup();
    void updateSpeedMenu_data();
    void updateSpeedMenu();
    void portChangeRestartsTheSessionAndStoresThePort();
    void pickingTheOpenPortKeepsTheSession();
    void leavingThePortBoxKeepsTheSession();
    void dropDownRefillsTheListAndKeepsTypedText();
    void commandLinePortOverridesTheStoredOne();
    void storedPortIsUsedAtStart();
    void windowStateSavedOnCloseRestoredOnFirstShow();
    void terminalSitsBesideTheWindowAndRowHeightFollowsTheFont();
    void debugTerminalSwitch();
    void logTerminalToFile();
    void helpPageIsFound();
    void aboutBoxShowsNameAndClosesWithOk();
    void recordLogWritesOneLinePerCycle_data();
    void recordLogWritesOneLinePerCycle();
    void recordLogThatCannotBeOpenedIsReported();

    // The window as a user meets it.
    void unpluggedModemShowsUnknownValuesAndAutoSelect();
    void silentPortForgetsThePreviousModem();
    void geometryThatDoesNotFitIsReplaced_data();
    void geometryThatDoesNotFitIsReplaced();
    void operatorsScrollInsideTheGroup_data();
    void operatorsScrollInsideTheGroup();
    void terminalPlace_data();
    void terminalPlace();
    void typedPortIsPendingUntilEnter();
    void longOperatorTextElidesWithTooltip();

private:
    std::unique_ptr<CountingWindow> MakeWindow(const QString &port = QStringLiteral("SIM"));
    static bool ShowAndWaitCycles(TfrmMain &w, std::uint64_t cycles, int timeoutMs = 10000);
};

std::unique_ptr<CountingWindow> MainWindowTest::MakeWindow(const QString &port)
{
    auto w = std::make_unique<CountingWindow>();
    if (!port.isEmpty())
        w->SetCommandLinePort(port);
    return w;
}

bool MainWindowTest::ShowAndWaitCycles(TfrmMain &w, std::uint64_t cycles, int timeoutMs)
{
    if (!w.isVisible())
        w.show();
    return QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= cycles; }, timeoutMs);
}

void MainWindowTest::init()
{
    Settings().clear();
    QFile::remove(TablePath());
    QDir(DataFolder()).removeRecursively();
}

void MainWindowTest::cleanup()
{
    QApplication::processEvents();
}

void MainWindowTest::startTextsBeforeShow()
{
    auto w = MakeWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("Palvex"));
    QCOMPARE(w->size(), QSize(555, 437));
    QCOMPARE(w->StatusPanels[0]->text(), QStringLiteral("COM?"));
    QCOMPARE(w->StatusPanels[1]->text(), QStringLiteral("Device: ?"));
    QCOMPARE(w->StatusPanels[2]->text(), QStringLiteral("Operator: ?"));
    QCOMPARE(w->StatusPanels[0]->minimumWidth(), 50);
    QCOMPARE(w->StatusPanels[1]->minimumWidth(), 200);
    QCOMPARE(w->StatusBar1->toolTip(), QStringLiteral("COM port can is the first parameter in command line!"));
    QCOMPARE(w->lblConnection->text(), QStringLiteral("?"));
    QCOMPARE(w->lblSpeed->text(), QStringLiteral("= 3 seconds"));
    QCOMPARE(w->sgrResult->rowCount(), 8);
    QCOMPARE(w->sgrResult->columnCount(), 6);
    QVERIFY(!w->rgpOperators->isEnabled());
    QCOMPARE(w->rgpOperators->title(), QStringLiteral(" Switch to operator "));
    QCOMPARE(w->Timer1->interval(), 50);
    QVERIFY(w->Timer1->isActive());
}

void MainWindowTest::everyRowIsDashBeforeTheFirstCycle()
{
    auto w = MakeWindow();
    w->tmrShowTimer();
    for (int row = 1; row <= 7; ++row)
        QCOMPARE(RowTexts(w->sgrResult, row), QStringList(6, QStringLiteral("-")));
    QCOMPARE(w->StatusPanels[2]->text(), QStringLiteral("?, registration state unknown"));
    QCOMPARE(w->zefXPGraph1->UsageValue(), 0);
    QCOMPARE(w->lblConnection->text(), QString());
}

void MainWindowTest::servingCellExample()
{
    auto w = MakeWindow();
    TNetState r;
    r.MarkAllInvalid();
    r.cells[0] = TCellRow{true, 62, 40, -73, 25, 230, 1};
    r.operatorName = "T-Mobile CZ";
    r.operatorNameValid = true;
    r.operatorCode = "23001";
    r.operatorCodeValid = true;
    r.registration = 5;
    r.registrationValid = true;
    r.activity = 4;
    r.activityValid = true;
    w->ShowRecord(r);
    QCOMPARE(RowTexts(w->sgrResult, 1), (QStringList{"  62", "900", "  62%", " -73", " 25", "230 01"}));
    QCOMPARE(RowTexts(w->sgrResult, 2), QStringList(6, QStringLiteral("-")));
    QCOMPARE(w->StatusPanels[2]->text(), QStringLiteral("T-Mobile CZ (23001), registered, roaming"));
    QCOMPARE(w->lblConnection->text(), QStringLiteral("Call in progress"));
}

// An LTE modem with an NR leg: the grid of that technology, serving cell
// first; the technology in the status bar; back to the GSM grid unchanged.
void MainWindowTest::lteGridShowsTheServingCellFirst()
{
    auto w = MakeWindow();
    TNetState r;
    r.MarkAllInvalid();
    r.operatorName = "T-Mobile CZ", r.operatorNameValid = true;
    r.registration = 1, r.registrationValid = true;
    r.rat = TRadioTech::Nr5gNsa;
    TRadioCell lte;
    lte.rat = TRadioTech::Lte, lte.mcc = 230, lte.mnc = 1, lte.pci = 311, lte.channel = 1300, lte.band = "B3";
    lte.area = 0x1A2B, lte.cellId = 0xC3D4E;
    lte.rsrp = -95, lte.rsrq = -10.5, lte.sinr = 13.4;
    r.serving = lte;
    TRadioCell nr;
    nr.rat = TRadioTech::Nr5gNsa, nr.pci = 57, nr.channel = 627264, nr.band = "n78", nr.rsrp = -88;
    r.secondary = nr;
    r.neighbours = {{TRadioTech::Lte, 1300, 120, std::nullopt, -101, -13.5, std::nullopt, std::nullopt}};
    w->ShowRecord(r);
    QCOMPARE(RowTexts(w->sgrResult, 0),
             (QStringList{"RAT", "channel", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC", "TAC", "cell id"}));
    QCOMPARE(RowTexts(w->sgrResult, 1),
             (QStringList{"LTE", "  1300", "B3", "311", " -95", "-10.5", " 13.4", "230 01", "6699", "802126"}));
    // The NR leg of EN-DC in a row of its own, named as NR.
    QCOMPARE(RowTexts(w->sgrResult, 2), (QStringList{"NR", "627264", "n78", " 57", " -88", "-", "-", "-", "-", "-"}));
    // A neighbour's band follows from its EARFCN.
    QCOMPARE(RowTexts(w->sgrResult, 3), (QStringList{"LTE", "  1300", "B3", "120", "-101", "-13.5", "-", "-", "-", "-"}));
    QCOMPARE(RowTexts(w->sgrResult, 4), QStringList(10, QStringLiteral("-")));
    QCOMPARE(w->StatusPanels[2]->text(), QStringLiteral("T-Mobile CZ, registered, home network, NR5G-NSA"));
    QVERIFY(w->sgrResult->width() > 7 * 60);

    TNetState gsm;
    gsm.MarkAllInvalid();
    gsm.cells[0] = TCellRow{true, 62, 40, -73, 25, 230, 1};
    w->ShowRecord(gsm);
    QCOMPARE(w->sgrResult->columnCount(), 6);
    QCOMPARE(RowTexts(w->sgrResult, 0), (QStringList{"channel", "band", "rssi", "dBm", "C1", "MCC MNC"}));
    QCOMPARE(RowTexts(w->sgrResult, 1), (QStringList{"  62", "900", "  62%", " -73", " 25", "230 01"}));
}

void MainWindowTest::fullScaleMarkOnServingCellChange()
{
    auto w = MakeWindow();
    TNetState r;
    r.MarkAllInvalid();
    r.signal = 40;
    r.signalValid = true;
    r.cells[0] = TCellRow{true, 62, 40, -73, 25, 230, 1};
    const std::vector<std::pair<int, int>> steps{{62, 100}, {62, 40}, {62, 40}, {700, 100}, {700, 40}};
    for (const auto &[channel, graph] : steps) {
        r.cells[0].channel = channel;
        w->ShowRecord(r);
        QCOMPARE(w->zefXPGraph1->UsageValue(), graph);
    }
    QCOMPARE(w->LastServingChannel(), 700);
}

void MainWindowTest::liveValuesFromTheSimulator()
{
    auto w = MakeWindow();
    // A call rings in the second poll: the label must show it too.
    w->VRSComm321->Simulator().Engine().SetCallAfterPolls(2);
    struct Seen {
        TRynSimTruth truth;
        QList<QStringList> rows;
        QString panel2;
        QString label;
        int graph = 0;
        std::int32_t previousChannel = -1;
    };
    std::vector<Seen> seen;
    std::int32_t previous = -1;
    w->SetOnCycleCompleted([&](const TNetState &) {
        Seen s;
        s.truth = w->VRSComm321->Simulator().Engine().Truth();
        s.previousChannel = previous;
        w->tmrShowTimer();
        for (int row = 1; row <= 7; ++row)
            s.rows << RowTexts(w->sgrResult, row);
        s.panel2 = w->StatusPanels[2]->text();
        s.label = w->lblConnection->text();
        s.graph = w->zefXPGraph1->UsageValue();
        previous = s.truth.cells[0].channel;
        seen.push_back(s);
    });
    QVERIFY(ShowAndWaitCycles(*w, 6));
    w->SetOnCycleCompleted({});

    QCOMPARE(w->StatusPanels[0]->text(), QStringLiteral("SIM"));
    QCOMPARE(w->StatusPanels[1]->text(), QStringLiteral("Device: ") + TRynSimModemEngine::kManufacturer +
                                             QStringLiteral(" ") + TRynSimModemEngine::kDefaultModel);
    bool sawRinging = false;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const Seen &s = seen[i];
        const QByteArray where = QByteArray("cycle ") + QByteArray::number(qulonglong(i + 1));
        for (int row = 0; row < 7; ++row) {
            const QStringList expected = row < s.truth.cellCount ? ExpectedRow(s.truth.cells[size_t(row)])
                                                                 : QStringList(6, QStringLiteral("-"));
            QVERIFY2(s.rows[row] == expected, (where + " row " + QByteArray::number(row + 1) + ": " +
                                               s.rows[row].join('|').toUtf8() + " != " + expected.join('|').toUtf8())
                                                  .constData());
        }
        QCOMPARE(s.panel2, QString::fromStdString(s.truth.operatorName + " (" + s.truth.operatorCode + ")") +
                               RegistrationText(s.truth.registration));
        const QString label = s.truth.activity == 3   ? QStringLiteral("Ring, ring")
                              : s.truth.activity == 4 ? QStringLiteral("Call in progress")
                                                      : QString();
        QVERIFY2(s.label == label, where.constData());
        sawRinging = sawRinging || !label.isEmpty();
        const int signal = s.truth.rssi <= 31 ? s.truth.rssi * 100 / 32 : 0;
        const int graph = s.truth.cells[0].channel != s.previousChannel ? 100 : signal;
        QVERIFY2(s.graph == graph, where.constData());
    }
    QVERIFY2(sawRinging, "the simulated call never reached the label");
    QVERIFY(w->rgpOperators->isEnabled());
}

void MainWindowTest::showWritesTitleHeaderAndDefaultTable()
{
    auto w = MakeWindow();
    QVERIFY(!QFile::exists(TablePath()));
    w->show();
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("Palvex, version ") + VRynAppInfo::VersionText());
    QCOMPARE(RowTexts(w->sgrResult, 0), (QStringList{"channel", "band", "rssi", "dBm", "C1", "MCC MNC"}));
    QVERIFY(QFile::exists(TablePath()));
    QCOMPARE(RadioTexts(*w), (QStringList{"Auto select"}));
    QVERIFY(w->rgpOperators->isEnabled());
    QCOMPARE(w->tmrShow->interval(), 250);
    QVERIFY(w->UpdateSpeedItems[1]->isChecked());
    // The port list was filled, SIM last, and the command line chose SIM.
    QVERIFY(w->cmbPort->count() >= 1);
    QVERIFY(w->cmbPort->findText(QStringLiteral("SIM")) >= 0);
    QVERIFY(w->cmbPort->itemText(w->cmbPort->count() - 1).startsWith(QStringLiteral("SIM:")));
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("SIM"));
}

void MainWindowTest::operatorTableKeepsFileOrderAndParentheses()
{
    WriteTable("[General]\n29999=Zed\n23001=Net (CZ)\n10000=AT&T\n");
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QCOMPARE(RadioTexts(*w), (QStringList{"Auto select", "Zed (29999)", "Net (CZ) (23001)", "AT&&T (10000)"}));

    const auto buttons = w->rgpOperators->findChildren<QRadioButton *>();
    buttons[2]->click();
    QCOMPARE(w->Session().RequestedOperator(), std::string("23001"));
    QVERIFY(!w->rgpOperators->isEnabled());
    // The switch is sent in a later cycle and the group comes back.
    QTRY_VERIFY_WITH_TIMEOUT(w->rgpOperators->isEnabled(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(w->VRSComm321->Simulator().Engine().Truth().operatorCode, std::string("23001"), 10000);
    QVERIFY(w->Session().RequestedOperator().empty());

    buttons[0]->click();
    QCOMPARE(w->Session().RequestedOperator(), std::string("AUTO"));
    // A second choice while one is pending replaces it.
    w->rgpOperatorsClick(3);
    QCOMPARE(w->Session().RequestedOperator(), std::string("10000"));
}

void MainWindowTest::networkScanFillsTheOperatorSwitch()
{
    WriteTable("[General]\n23002=My O2\n");
    auto w = MakeWindow(QStringLiteral("SIM:EC25,delay=COPS=?:1500"));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    w->Scanoperators1->trigger();
    QVERIFY(w->ScanDialog()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(w->Session().ScanPending(), 5000);
    // Polling pauses while the modem searches.
    const std::uint64_t cycles = w->Session().CompletedCycles();
    QTest::qWait(1000);
    QCOMPARE(w->Session().CompletedCycles(), cycles);
    QTRY_VERIFY_WITH_TIMEOUT(!w->ScanDialog()->isVisible(), 10000);
    // The user's name stays; the networks found are added and marked.
    QCOMPARE(RadioTexts(*w), (QStringList{"Auto select", "My O2 [LTE, available] (23002)",
                                          "T-Mobile CZ [LTE, current] (23001)", "Vodafone CZ [LTE, available] (23003)",
                                          "Vodafone.de [LTE, forbidden] (26202)"}));
    QFile table(TablePath());
    QVERIFY(table.open(QIODevice::ReadOnly));
    QCOMPARE(table.readAll(), QByteArray("[General]\n23002=My O2\n23001=T-Mobile CZ\n23003=Vodafone CZ\n"
                                         "26202=Vodafone.de\n"));
    QVERIFY(ShowAndWaitCycles(*w, cycles + 1));
}

void MainWindowTest::cancelledNetworkScanLetsThePollGoOn()
{
    auto w = MakeWindow(QStringLiteral("SIM:EC25,delay=COPS=?:60000"));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    w->Scanoperators1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w->Session().ScanPending(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w->ScanDialog()->maximum(), 180, 5000);
    const std::uint64_t cycles = w->Session().CompletedCycles();
    QTest::keyClick(w->ScanDialog(), Qt::Key_Escape);
    QVERIFY(!w->ScanDialog()->isVisible());
    QVERIFY(!w->Session().ScanPending());
    QVERIFY(ShowAndWaitCycles(*w, cycles + 2));
    QCOMPARE(RadioTexts(*w), (QStringList{"Auto select"}));
}

void MainWindowTest::refusedOperatorSwitchPutsTheRadioBackAndSaysWhy()
{
    WriteTable("[General]\n26201=Far away\n");
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QVERIFY(w->OperatorButtons().at(0)->isChecked());
    const std::string before = w->VRSComm321->Simulator().Engine().Truth().operatorCode;
    // Numeric error codes, as typed in the terminal.
    const QByteArray cmee("AT+CMEE=1\r");
    w->Session().TerminalSendData(reinterpret_cast<const std::uint8_t *>(cmee.constData()), std::size_t(cmee.size()));
    w->OperatorButtons().at(1)->click();
    QVERIFY(w->OperatorButtons().at(1)->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusBar1->currentMessage(),
                              QStringLiteral("operator 26201 refused: +CME ERROR: 30"), 10000);
    QVERIFY(w->rgpOperators->isEnabled());
    QVERIFY(w->OperatorButtons().at(0)->isChecked());
    QVERIFY(!w->OperatorButtons().at(1)->isChecked());
    QCOMPARE(w->VRSComm321->Simulator().Engine().Truth().operatorCode, before);
}

// The record is emptied while the modem switches: the graph keeps its
// value instead of dropping to 0 and back.
void MainWindowTest::graphKeepsItsValueThroughAnOperatorSwitch()
{
    WriteTable("[General]\n23001=T-Mobile\n23002=O2\n");
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 2));
    w->tmrShowTimer();
    const int before = w->zefXPGraph1->UsageValue();
    QVERIFY(before > 0);
    std::vector<int> seen;
    QObject::connect(w->tmrShow, &QTimer::timeout, w.get(), [&] { seen.push_back(w->zefXPGraph1->UsageValue()); });
    w->tmrShow->setInterval(20);
    w->OperatorButtons().at(2)->click();
    QTRY_VERIFY_WITH_TIMEOUT(w->rgpOperators->isEnabled(), 10000);
    const std::uint64_t cycles = w->Session().CompletedCycles();
    QVERIFY(ShowAndWaitCycles(*w, cycles + 1));
    QVERIFY(!seen.empty());
    for (int value : seen)
        QVERIFY2(value > 0, qPrintable(QString::number(value)));
}

void MainWindowTest::emptySectionGivesAutoSelectAlone()
{
    WriteTable(";nothing here\n[General]\n");
    auto w = MakeWindow();
    w->LoadOperators();
    QCOMPARE(RadioTexts(*w), QStringList{"Auto select"});
    QVERIFY(w->rgpOperators->isEnabled());
}

void MainWindowTest::unreadableTableIsShownInTheGroup()
{
    // A folder in place of the file: it exists, so no default is written,
    // and it cannot be read.
    QVERIFY(QDir().mkpath(TablePath()));
    auto w = MakeWindow();
    w->LoadOperators();
    const auto buttons = w->rgpOperators->findChildren<QRadioButton *>();
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(buttons[0]->text(), QStringLiteral("Auto select"));
    QVERIFY(buttons[0]->isEnabled());
    QVERIFY(!buttons[1]->isEnabled());
    QVERIFY2(buttons[1]->text().contains(QStringLiteral("cannot read")), qPrintable(buttons[1]->text()));
    // Clicking the reason does nothing.
    w->rgpOperatorsClick(1);
    QVERIFY(w->Session().RequestedOperator().empty());
    QDir(TablePath()).removeRecursively();
}

void MainWindowTest::updateSpeedMenu_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("label");
    QTest::newRow("1 second") << 0 << 83 << "= 1 second";
    QTest::newRow("3 seconds") << 1 << 250 << "= 3 seconds";
    QTest::newRow("5 seconds") << 2 << 417 << "= 5 seconds";
    QTest::newRow("10 seconds") << 3 << 833 << "= 10 seconds";
    QTest::newRow("1 minute") << 4 << 5000 << "= 1 minute";
}

void MainWindowTest::updateSpeedMenu()
{
    QFETCH(int, item);
    QFETCH(int, period);
    QFETCH(QString, label);
    auto w = MakeWindow();
    // Start from another speed so the item has something to change.
    w->UpdateSpeedItems[size_t((item + 2) % 5)]->trigger();
    w->UpdateSpeedItems[size_t(item)]->trigger();
    QCOMPARE(w->tmrShow->interval(), period);
    QVERIFY(w->tmrShow->isActive());
    QCOMPARE(w->lblSpeed->text(), label);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(w->UpdateSpeedItems[size_t(i)]->isChecked(), i == item);
    QCOMPARE(w->UpdateSpeedItems[size_t(item)]->text(), QString(label).remove(QStringLiteral("= ")));
}

void MainWindowTest::portChangeRestartsTheSessionAndStoresThePort()
{
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 2));
    const QString missing = QStringLiteral("/dev/palvex-test-no-such-port");
    w->cmbPort->setFocus();
    w->cmbPort->lineEdit()->selectAll();
    QTest::keyClicks(w->cmbPort->lineEdit(), missing);
    // Typing alone changes nothing.
    QTest::qWait(100);
    QVERIFY(Settings().value(QStringLiteral("Connection/COMPort")).toString().isEmpty());
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(Settings().value(QStringLiteral("Connection/COMPort")).toString(), missing);
    QTRY_COMPARE(w->StatusPanels[0]->text(), missing);
    QCOMPARE(w->Session().CurrentState(), ModemSession::State::Open);

    // Back to the simulator: the session comes up again.
    const std::uint64_t before = w->Session().CompletedCycles();
    w->cmbPort->lineEdit()->selectAll();
    QTest::keyClicks(w->cmbPort->lineEdit(), QStringLiteral("SIM"));
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(Settings().value(QStringLiteral("Connection/COMPort")).toString(), QStringLiteral("SIM"));
    QVERIFY(QTest::qWaitFor([&] { return w->Session().CompletedCycles() > before + 1; }, 10000));
    QCOMPARE(w->StatusPanels[0]->text(), QStringLiteral("SIM"));
}

void MainWindowTest::pickingTheOpenPortKeepsTheSession()
{
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 1));
    const int opens = w->opens;
    // Enter on the open port's text, and a pick of that port from the list:
    // nothing to change, the session goes on.
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    emit w->cmbPort->activated(w->cmbPort->findText(QStringLiteral("SIM")));
    QTest::qWait(50);
    QCOMPARE(w->opens, opens);
    QVERIFY(!Settings().contains(QStringLiteral("Connection/COMPort")));

    // Enter on another port, then a pick of the simulator from the list: each
    // restarts the session exactly once.
    w->cmbPort->lineEdit()->selectAll();
    QTest::keyClicks(w->cmbPort->lineEdit(), QStringLiteral("/dev/palvex-test-no-such-port"));
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(w->opens, opens + 1);
    QTest::qWait(50);
    QCOMPARE(w->opens, opens + 1);
    const int sim = w->cmbPort->findText(QStringLiteral("SIM"));
    w->cmbPort->setCurrentIndex(sim);
    emit w->cmbPort->activated(sim);
    QTRY_COMPARE(w->opens, opens + 2);
    QTest::qWait(50);
    QCOMPARE(w->opens, opens + 2);
    QVERIFY(ShowAndWaitCycles(*w, w->Session().CompletedCycles() + 1));
}

void MainWindowTest::leavingThePortBoxKeepsTheSession()
{
    Settings().setValue(QStringLiteral("Connection/COMPort"), QStringLiteral("/dev/palvex-stored"));
    auto w = MakeWindow(QStringLiteral("SIM"));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    // The box names a listed port that is not its current item, as after a
    // start with a stored or command-line port that is not first in the list.
    w->cmbPort->insertItem(0, QStringLiteral("/dev/palvex-first"));
    w->cmbPort->setCurrentIndex(0);
    w->cmbPort->setEditText(QStringLiteral("SIM"));
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const int opens = w->opens;
    w->cmbPort->setFocus();
    QTRY_VERIFY(w->cmbPort->hasFocus());
    w->btnShowTerm->setFocus();
    QTRY_VERIFY(!w->cmbPort->hasFocus());
    QTest::mouseClick(w->btnShowTerm, Qt::LeftButton);
    QTest::qWait(100);
    QCOMPARE(w->opens, opens);
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("SIM"));
    QCOMPARE(Settings().value(QStringLiteral("Connection/COMPort")).toString(), QStringLiteral("/dev/palvex-stored"));
    w->termMain->hide();
}

void MainWindowTest::dropDownRefillsTheListAndKeepsTypedText()
{
    auto w = MakeWindow();
    w->cmbPort->clear();
    w->cmbPort->addItem(QStringLiteral("stale-port"));
    w->cmbPort->setEditText(QStringLiteral("/dev/typed-not-committed"));
    w->cmbPort->showPopup();
    QCOMPARE(w->cmbPort->findText(QStringLiteral("stale-port")), -1);
    QVERIFY(w->cmbPort->findText(QStringLiteral("SIM")) >= 0);
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("/dev/typed-not-committed"));
    w->cmbPort->hidePopup();
    QTest::qWait(20);
    QCOMPARE(w->opens, 0);
}

// "palvex" with no stored port (after "palvex SIM", which stores nothing)
// opens no port of the system's list until the user picks one.
void MainWindowTest::withoutAPortPickedNothingIsOpened()
{
    auto w = MakeWindow(QString());
    w->show();
    QTest::qWait(300);
    QCOMPARE(w->opens, 0);
    QVERIFY(w->AppliedPort().isEmpty());
    QCOMPARE(w->StatusPanels[0]->FullText(), QStringLiteral("No port"));
    w->cmbPort->setEditText(QStringLiteral("SIM"));
    emit w->cmbPort->activated(w->cmbPort->findText(QStringLiteral("SIM")));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QCOMPARE(w->AppliedPort(), QStringLiteral("SIM"));
}

// Update speed, debug terminal, answering and read-only come back at the
// next start; Esc puts the terminal away.
void MainWindowTest::settingsAreRememberedAndTheTerminalKeysWork()
{
    {
        auto w = MakeWindow();
        w->show();
        QTRY_VERIFY(w->windowTitle().startsWith(QStringLiteral("Palvex, version ")));
        QVERIFY(w->Answercalls1->isChecked());
        QVERIFY(!w->Readonly1->isChecked());
        w->UpdateSpeedItems[3]->trigger();
        w->Debugterminal1->trigger();
        w->Answercalls1->trigger();
        QVERIFY(!w->Session().AnswerCalls());
        w->Readonly1->trigger();
        QVERIFY(w->Session().ReadOnly());
        QVERIFY(w->termMain->isVisible());
        w->termMain->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w->termMain));
        QLineEdit *command = w->termMain->findChild<QLineEdit *>(QStringLiteral("command"));
        QVERIFY(command);
        QTest::keyClick(command, Qt::Key_Escape);
        QTRY_VERIFY(!w->termMain->isVisible());
    }
    auto w = MakeWindow();
    w->show();
    QTRY_VERIFY(w->windowTitle().startsWith(QStringLiteral("Palvex, version ")));
    QVERIFY(w->UpdateSpeedItems[3]->isChecked());
    QCOMPARE(w->tmrShow->interval(), 833);
    QVERIFY(w->Debugterminal1->isChecked());
    QVERIFY(w->Session().DebugTerminal());
    QVERIFY(!w->Answercalls1->isChecked());
    QVERIFY(w->Readonly1->isChecked());
    QVERIFY(w->Session().ReadOnly());
    QTRY_VERIFY(w->Session().CompletedCycles() >= 1);
    QVERIFY2(!w->rgpOperators->isEnabled(), "read-only: no operator switch");
    QVERIFY(w->rgpOperators->toolTip().contains(QStringLiteral("Read only")));
    w->termMain->hide();
}

void MainWindowTest::commandLinePortOverridesTheStoredOne()
{
    Settings().setValue(QStringLiteral("Connection/COMPort"), QStringLiteral("/dev/palvex-stored"));
    auto w = MakeWindow(QStringLiteral("SIM"));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("SIM"));
    // The command line does not overwrite the stored port.
    QCOMPARE(Settings().value(QStringLiteral("Connection/COMPort")).toString(), QStringLiteral("/dev/palvex-stored"));
}

void MainWindowTest::pollIntervalIsRemembered()
{
    {
        auto w = MakeWindow(QStringLiteral("SIM"));
        QVERIFY(ShowAndWaitCycles(*w, 1));
        QCOMPARE(w->Session().PollInterval(), std::chrono::milliseconds(0));
        w->SetPollInterval(2.5);
        QCOMPARE(w->Session().PollInterval(), std::chrono::milliseconds(2500));
    }
    QCOMPARE(Settings().value(QStringLiteral("Connection/PollInterval")).toString(), QStringLiteral("2.5"));
    auto w = MakeWindow(QStringLiteral("SIM"));
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QCOMPARE(w->Session().PollInterval(), std::chrono::milliseconds(2500));
}

void MainWindowTest::storedPortIsUsedAtStart()
{
    Settings().setValue(QStringLiteral("Connection/COMPort"), QStringLiteral("SIM"));
    Settings().setValue(QStringLiteral("Connection/COMPortSettings"), QStringLiteral("57600,8,E,1,none"));
    auto w = MakeWindow(QString());
    QVERIFY(ShowAndWaitCycles(*w, 1));
    QCOMPARE(w->cmbPort->currentText(), QStringLiteral("SIM"));
    QCOMPARE(w->VRSComm321->BaudRate(), 57600);
    QCOMPARE(w->VRSComm321->Parity(), TVRSComm32::TParity::Even);
}

void MainWindowTest::windowStateSavedOnCloseRestoredOnFirstShow()
{
    {
        auto w = MakeWindow();
        w->show();
        QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
        w->resize(700, 520);
        QApplication::processEvents();
        w->close();
    }
    QVERIFY(Settings().contains(QStringLiteral("Window/Geometry")));
    auto w = MakeWindow();
    w->show();
    QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
    QCOMPARE(w->size(), QSize(700, 520));
}

void MainWindowTest::terminalSitsBesideTheWindowAndRowHeightFollowsTheFont()
{
    QCOMPARE(TfrmMain::GridRowHeight(8, 96), 15);
    QCOMPARE(TfrmMain::GridRowHeight(10, 120), 23);
    QCOMPARE(TfrmMain::GridRowHeight(9, 96), 17);

    auto w = MakeWindow();
    w->show();
    QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
    // The window manager places the window after its first show: the
    // terminal goes beside where the window ended up, not where it began.
    w->move(w->pos() + QPoint(40, 30));
    QTRY_VERIFY(w->frameGeometry().topLeft() != QPoint(0, 0));
    const QRect available = w->screen()->availableGeometry();
    const QRect place = TfrmMain::TerminalPlace(w->frameGeometry(), w->termMain->size(), available);
    w->btnShowTerm->click();
    QCOMPARE(w->termMain->frameGeometry().topLeft(), place.topLeft());
    QVERIFY(available.contains(w->termMain->geometry()));
    QVERIFY(!w->frameGeometry().intersects(w->termMain->frameGeometry()) ||
            available.width() < w->frameGeometry().width() + 320);
    w->termMain->hide();
    const int expected = TfrmMain::GridRowHeight(QFontInfo(w->sgrResult->font()).pointSizeF(), w->sgrResult->logicalDpiY());
    for (int row = 0; row < 8; ++row)
        QCOMPARE(w->sgrResult->rowHeight(row), expected);
}

void MainWindowTest::debugTerminalSwitch()
{
    auto w = MakeWindow();
    QVERIFY(!w->termMain->isVisible());
    w->Debugterminal1->trigger();
    QVERIFY(w->Session().DebugTerminal());
    QVERIFY(w->Debugterminal1->isChecked());
    QVERIFY(w->termMain->isVisible());
    w->Debugterminal1->trigger();
    QVERIFY(!w->Session().DebugTerminal());
    QVERIFY(!w->Debugterminal1->isChecked());
    QCOMPARE(w->termMain->Caption(), QStringLiteral("Terminal"));
    QCOMPARE(w->termMain->CloseAction(), trmcaHide);
    QCOMPARE(w->termMain->LoggerOpenFlags(), 0x80000000u);
}

void MainWindowTest::logTerminalToFile()
{
    auto w = MakeWindow();
    const QString file = w->termMain->LogFile();
    QVERIFY2(file.startsWith(g_home->path()), qPrintable(file));
    w->Logterminaltofile1->trigger();
    QVERIFY(w->termMain->IsLogging());
    QVERIFY(w->Logterminaltofile1->isChecked());
    QVERIFY(w->Logterminaltofile1->statusTip().contains(QDir::toNativeSeparators(file)));
    w->termMain->AddLine("a line for the log", 6);
    w->termMain->Flush();
    QVERIFY(QFile::exists(file));
    w->Logterminaltofile1->trigger();
    QVERIFY(!w->termMain->IsLogging());
    QVERIFY(!w->Logterminaltofile1->isChecked());
}

void MainWindowTest::helpPageIsFound()
{
    const QString page = TfrmMain::FindHelpPage();
    QVERIFY2(!page.isEmpty(), qPrintable(TfrmMain::HelpPageCandidates().join(", ")));
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("--headless"));
}

void MainWindowTest::aboutBoxShowsNameAndClosesWithOk()
{
    auto w = MakeWindow();
    TfrmAbout about(w.get());
    w->SetAboutBox(&about);
    bool sawName = false;
    QTimer::singleShot(50, &about, [&] {
        sawName = about.isVisible() && about.windowTitle() == QStringLiteral("About") &&
                  about.findChild<QLabel *>(QStringLiteral("ProductName"))->text() == QStringLiteral("Palvex");
        for (QPushButton *b : about.findChildren<QPushButton *>())
            if (b->text() == QStringLiteral("OK"))
                b->click();
    });
    w->About1->trigger(); // modal: returns once OK closed it
    QVERIFY(sawName);
    QVERIFY(!about.isVisible());
}

void MainWindowTest::recordLogWritesOneLinePerCycle_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("firstLineStart");
    QTest::addColumn<QByteArray>("recordStart");
    QTest::newRow("json lines") << "records.jsonl" << QByteArray("{\"cycle\":") << QByteArray("{\"cycle\":");
    QTest::newRow("csv") << "records.csv" << QByteArray("cycle,") << QByteArray("");
}

void MainWindowTest::recordLogWritesOneLinePerCycle()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, firstLineStart);
    QFETCH(QByteArray, recordStart);
    const QString path = g_home->filePath(file);
    QFile::remove(path);
    auto w = MakeWindow();
    QVERIFY(w->StartRecordLog(path));
    QVERIFY(w->Recordlog1->isChecked());
    QVERIFY(ShowAndWaitCycles(*w, 4));
    w->Recordlog1->trigger(); // switches it off
    QVERIFY(!w->RecordLogFile().IsOpen());
    QVERIFY(!w->Recordlog1->isChecked());
    const std::uint64_t cycles = w->Session().CompletedCycles();

    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QVERIFY(lines.size() >= 4);
    QVERIFY(lines.first().startsWith(firstLineStart));
    const int header = file.endsWith(QStringLiteral(".csv")) ? 1 : 0;
    // One line per cycle, the last one ending with a newline.
    QCOMPARE(std::uint64_t(lines.size() - 1 - header), cycles);
    for (int i = header; i < lines.size() - 1; ++i) {
        QVERIFY(lines[i].startsWith(recordStart));
        QVERIFY2(lines[i].contains("SIM"), lines[i].constData());
    }
    if (header == 0)
        return;

    // "palvex --headless SIM --cycles 2 --log x.csv" writes the same CSV: the
    // same header, and rows of as many columns with the same identity.
    const QString headlessLog = g_home->filePath(QStringLiteral("headless-") + file);
    QFile::remove(headlessLog);
    QProcess headless;
    headless.start(QStringLiteral(PALVEX_PATH), {"--headless", "SIM", "--cycles", "2", "--quiet", "--log", headlessLog});
    QVERIFY(headless.waitForFinished(30000));
    QCOMPARE(headless.exitCode(), 0);
    QFile other(headlessLog);
    QVERIFY(other.open(QIODevice::ReadOnly));
    const QList<QByteArray> headlessLines = other.readAll().split('\n');
    QCOMPARE(headlessLines.size(), 4); // header, two rows, the final line end
    QCOMPARE(headlessLines[0], lines[0]);
    for (int i = 1; i <= 2; ++i) {
        const QList<QByteArray> mine = lines[i].split(',');
        const QList<QByteArray> theirs = headlessLines[i].split(',');
        QCOMPARE(theirs.size(), mine.size());
        QCOMPARE(theirs[0], mine[0]); // cycle
        for (int column = 2; column <= 4; ++column) // port, manufacturer, model
            QCOMPARE(theirs[column], mine[column]);
    }
}

void MainWindowTest::recordLogThatCannotBeOpenedIsReported()
{
    const QString blocker = g_home->filePath(QStringLiteral("not-a-folder"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto w = MakeWindow();
    QVERIFY(!w->StartRecordLog(blocker + QStringLiteral("/records.jsonl")));
    QVERIFY(!w->Recordlog1->isChecked());
    QVERIFY(!w->RecordLogFile().IsOpen());
    QVERIFY(!w->RecordLogFile().ErrorText().isEmpty());
}

// ---- the window as a user meets it ---------------------------------------

namespace {

// Every grid row "-", the graph at 0, the status bar's unknown texts.
void VerifyAllUnknown(const TfrmMain &w)
{
    for (int row = 1; row <= 7; ++row)
        QCOMPARE(RowTexts(w.sgrResult, row), QStringList(w.sgrResult->columnCount(), QStringLiteral("-")));
    QCOMPARE(w.zefXPGraph1->UsageValue(), 0);
    QCOMPARE(w.StatusPanels[2]->FullText(), QStringLiteral("?, registration state unknown"));
}

bool AnyRowKnown(const TfrmMain &w)
{
    for (int row = 1; row <= 7; ++row)
        if (RowTexts(w.sgrResult, row) != QStringList(w.sgrResult->columnCount(), QStringLiteral("-")))
            return true;
    return false;
}

void Retype(QComboBox *box, const QString &text)
{
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
}

} // namespace

void MainWindowTest::unpluggedModemShowsUnknownValuesAndAutoSelect()
{
    WriteTable("[General]\n23001=T-Mobile\n23002=O2\n");
#ifndef PALVEX_MODEMSIM_PATH
    QSKIP("palvex-modemsim is not built");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("modem"));
    ModemSimProcess sim(QStringLiteral(PALVEX_MODEMSIM_PATH),
                        {"--link", link, "--latency", "0", "--unplug-after", "6", "--replug-after", "2.5"}, 30);
    QVERIFY(sim.NextLine().startsWith(QStringLiteral("/dev/")));
    {
        auto w = MakeWindow(link);
        QVERIFY(ShowAndWaitCycles(*w, 2));
        w->tmrShowTimer();
        QVERIFY(AnyRowKnown(*w));
        const QString device = w->StatusPanels[1]->FullText();
        QVERIFY2(device.startsWith(QStringLiteral("Device: ")) && device != QStringLiteral("Device: ?"),
                 qPrintable(device));

        // A hand-picked operator, switched to before the modem goes away.
        QAbstractButton *picked = w->OperatorButtons().at(1);
        picked->click();
        QVERIFY(!w->rgpOperators->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(w->rgpOperators->isEnabled(), 5000);
        QVERIFY(picked->isChecked());

        // Unplugged: unknown values at once and at every refresh, and the
        // status bar says the modem is not connected.
        QTRY_VERIFY_WITH_TIMEOUT(!w->PortOpen(), 10000);
        VerifyAllUnknown(*w);
        QCOMPARE(w->StatusPanels[1]->FullText(), QStringLiteral("Modem not connected"));
        QTest::qWait(300);
        w->tmrShowTimer();
        VerifyAllUnknown(*w);

        // Replugged: the session starts with automatic selection again.
        const std::uint64_t cycles = w->Session().CompletedCycles();
        QVERIFY(QTest::qWaitFor([&] { return w->Session().CompletedCycles() > cycles + 1; }, 10000));
        QVERIFY(w->OperatorButtons().at(0)->isChecked());
        QVERIFY(!picked->isChecked());
        QCOMPARE(w->StatusPanels[1]->FullText(), device);
        w->tmrShowTimer();
        QVERIFY(AnyRowKnown(*w));
    }
    QFile::remove(link);
#endif
}

void MainWindowTest::silentPortForgetsThePreviousModem()
{
    // A pseudo-terminal that nobody answers on, under a link of our own.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("silent"));
    QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(master)), link));

    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 2));
    QVERIFY(w->StatusPanels[1]->FullText() != QStringLiteral("Device: ?"));
    Retype(w->cmbPort, link);
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(w->StatusPanels[0]->FullText(), link);
    QTRY_VERIFY(w->PortOpen());
    // The session asks and asks; nothing answers.
    QTest::qWait(500);
    QCOMPARE(w->StatusPanels[1]->FullText(), QStringLiteral("Device: ?"));
    w->tmrShowTimer();
    VerifyAllUnknown(*w);

    // A port that cannot be opened at all: not connected.
    Retype(w->cmbPort, QStringLiteral("/dev/palvex-test-no-such-port"));
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(w->StatusPanels[1]->FullText(), QStringLiteral("Modem not connected"));
    QVERIFY(!w->PortOpen());
    w.reset();
    QFile::remove(link);
    ::close(master);
}

void MainWindowTest::geometryThatDoesNotFitIsReplaced_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<bool>("restored");
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("fits") << QRect(a.left() + 20, a.top() + 30, 600, 450) << true;
    QTest::newRow("taller than the screen") << QRect(a.left(), a.top() - 40, 555, 32767) << false;
    QTest::newRow("wider than the screen") << QRect(a.left(), a.top(), a.width() + 854, 437) << false;
    QTest::newRow("beyond the screen") << QRect(a.right() + 200, a.top(), 555, 437) << false;
    QTest::newRow("not a geometry") << QRect() << false;
}

void MainWindowTest::geometryThatDoesNotFitIsReplaced()
{
    QFETCH(QRect, saved);
    QFETCH(bool, restored);
    if (saved.isValid()) {
        QWidget old;
        old.setGeometry(saved);
        Settings().setValue(QStringLiteral("Window/Geometry"), old.saveGeometry());
    } else {
        Settings().setValue(QStringLiteral("Window/Geometry"), QByteArray("no geometry"));
    }
    auto w = MakeWindow();
    w->show();
    QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
    const QRect available = w->screen()->availableGeometry();
    if (restored) {
        QCOMPARE(w->geometry(), saved);
        return;
    }
    QCOMPARE(w->size(), QSize(555, 437));
    QVERIFY(available.contains(w->frameGeometry()));
    QVERIFY((w->frameGeometry().center() - available.center()).manhattanLength() <= 2);
}

void MainWindowTest::operatorsScrollInsideTheGroup_data()
{
    QTest::addColumn<int>("operators");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("the default three") << 3 << false;
    QTest::newRow("fifty") << 50 << true;
    QTest::newRow("a long name") << -1 << false;
}

void MainWindowTest::operatorsScrollInsideTheGroup()
{
    QFETCH(int, operators);
    QFETCH(bool, scrolls);
    QByteArray table = "[General]\n";
    for (int i = 0; i < operators; ++i)
        table += QByteArray::number(23010 + i) + "=Operator " + QByteArray::number(i) + "\n";
    if (operators < 0)
        table += "23001=" + QByteArray(300, 'W') + "\n";
    WriteTable(table);
    auto w = MakeWindow(QStringLiteral("/dev/palvex-test-no-such-port"));
    w->show();
    QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
    QTRY_VERIFY(w->rgpOperators->isEnabled());
    QApplication::processEvents();
    const int expected = 1 + std::max(operators, 1);
    QCOMPARE(int(w->OperatorButtons().size()), expected);
    QVERIFY(w->OperatorScroll()->widget()->isAncestorOf(w->OperatorButtons().back()));

    // The window keeps its size; the grid, the group and the status bar stay
    // inside it and the graph keeps its height.
    QCOMPARE(w->size(), QSize(555, 437));
    const QRect window = w->rect();
    QVERIFY(window.contains(w->StatusBar1->geometry()));
    const QRect group(w->rgpOperators->mapTo(w.get(), QPoint(0, 0)), w->rgpOperators->size());
    QVERIFY(window.contains(group));
    QCOMPARE(w->rgpOperators->height(), w->sgrResult->height());
    QVERIFY(w->zefXPGraph1->height() > 150);
    QCOMPARE(w->OperatorScroll()->verticalScrollBar()->maximum() > 0, scrolls);
    if (!scrolls) {
        // A few items look as a plain group: no frame, every item in view.
        QCOMPARE(w->OperatorScroll()->frameShape(), QFrame::NoFrame);
        const QRect view = w->OperatorScroll()->viewport()->rect();
        const QWidget *first = w->OperatorButtons().front();
        QVERIFY(view.contains(QRect(first->mapTo(w->OperatorScroll()->viewport(), QPoint(0, 0)),
                                    QSize(1, first->height()))));
    }
}

void MainWindowTest::terminalPlace_data()
{
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");
    const QSize terminal(640, 320);
    QTest::newRow("room on the right") << QRect(0, 0, 555, 437) << QRect(0, 0, 1920, 1050)
                                       << QRect(QPoint(555, 0), terminal);
    QTest::newRow("main window low: terminal raised") << QRect(100, 700, 555, 437) << QRect(0, 0, 1920, 1000)
                                                      << QRect(QPoint(655, 680), terminal);
    QTest::newRow("room on the left only") << QRect(1300, 100, 555, 437) << QRect(0, 0, 1920, 1050)
                                           << QRect(QPoint(660, 100), terminal);
    QTest::newRow("narrower beside it") << QRect(0, 0, 555, 437) << QRect(0, 0, 1024, 768)
                                        << QRect(555, 0, 469, 320);
    QTest::newRow("below on a narrow screen") << QRect(0, 0, 555, 437) << QRect(0, 0, 800, 800)
                                              << QRect(QPoint(0, 437), terminal);
    QTest::newRow("above when below is full") << QRect(0, 400, 555, 437) << QRect(0, 0, 800, 837)
                                              << QRect(QPoint(0, 80), terminal);
    QTest::newRow("small screen: inside it") << QRect(0, 0, 555, 437) << QRect(0, 0, 600, 500)
                                             << QRect(0, 180, 600, 320);
    QTest::newRow("second screen") << QRect(1920, 0, 555, 437) << QRect(1920, 0, 1280, 1024)
                                   << QRect(QPoint(2475, 0), QSize(640, 320));
}

void MainWindowTest::terminalPlace()
{
    QFETCH(QRect, main);
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    const QRect place = TfrmMain::TerminalPlace(main, QSize(640, 320), available);
    QCOMPARE(place, expected);
    QVERIFY(available.contains(place));
}

void MainWindowTest::typedPortIsPendingUntilEnter()
{
    auto w = MakeWindow();
    QVERIFY(ShowAndWaitCycles(*w, 1));
    const QColor inUse = w->cmbPort->palette().color(QPalette::Text);
    const int opens = w->opens;
    const QString typed = QStringLiteral("/dev/palvex-test-typed");
    Retype(w->cmbPort, typed);
    QVERIFY(w->PortEditPending());
    QVERIFY(w->cmbPort->lineEdit()->font().italic());
    QVERIFY(w->cmbPort->palette().color(QPalette::Text) != inUse);
    QVERIFY(w->cmbPort->toolTip().contains(QStringLiteral("SIM")));

    // A reconnect meanwhile opens the port in use, not the typed one.
    w->Session().SetState(ModemSession::State::Init);
    QTRY_COMPARE(w->opens, opens + 1);
    QCOMPARE(w->StatusPanels[0]->FullText(), QStringLiteral("SIM"));
    QCOMPARE(w->AppliedPort(), QStringLiteral("SIM"));
    QVERIFY(w->PortEditPending());

    // Typing the port in use back: nothing pending, its colour again.
    Retype(w->cmbPort, QStringLiteral("SIM"));
    QVERIFY(!w->PortEditPending());
    QVERIFY(!w->cmbPort->lineEdit()->font().italic());
    QCOMPARE(w->cmbPort->palette().color(QPalette::Text), inUse);

    Retype(w->cmbPort, typed);
    QTest::keyClick(w->cmbPort->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(w->StatusPanels[0]->FullText(), typed);
    QCOMPARE(w->AppliedPort(), typed);
    QVERIFY(!w->PortEditPending());
    QVERIFY(!w->cmbPort->lineEdit()->font().italic());
    QTRY_COMPARE(w->cmbPort->palette().color(QPalette::Text), QColor(Qt::red));
}

void MainWindowTest::longOperatorTextElidesWithTooltip()
{
    auto w = MakeWindow(QStringLiteral("/dev/none"));
    w->show();
    QTRY_VERIFY(w->VRynAppInfo1->IsFirstShowDone());
    QTRY_VERIFY(w->tmrShow->isActive());
    w->tmrShow->stop();
    TNetState r;
    r.MarkAllInvalid();
    r.operatorName = std::string(120, 'N');
    r.operatorNameValid = true;
    r.registration = 1;
    r.registrationValid = true;
    w->ShowRecord(r);
    QApplication::processEvents();
    const QString full = QString(120, QLatin1Char('N')) + QStringLiteral(", registered, home network");
    QCOMPARE(w->StatusPanels[2]->FullText(), full);
    QVERIFY(w->StatusPanels[2]->Elided());
    QVERIFY(w->StatusPanels[2]->text().endsWith(QChar(0x2026)));
    QCOMPARE(w->StatusPanels[2]->toolTip(), full);
    QCOMPARE(w->width(), 555);

    // A short text is shown whole, with the status bar's hint.
    r.operatorName = "O2";
    w->ShowRecord(r);
    QApplication::processEvents();
    QCOMPARE(w->StatusPanels[2]->text(), QStringLiteral("O2, registered, home network"));
    QCOMPARE(w->StatusPanels[2]->toolTip(), QStringLiteral("COM port can is the first parameter in command line!"));

    // The speed picture says what the time is.
    QVERIFY(w->Image1->toolTip().contains(QStringLiteral("grid square")));
    QCOMPARE(w->lblSpeed->toolTip(), w->Image1->toolTip());
}

int main(int argc, char **argv)
{
    // Everything the window stores goes below a temporary home.
    return RunWindowTest<MainWindowTest>(argc, argv, &g_home);
}

#include "MainWindowTest.moc"
