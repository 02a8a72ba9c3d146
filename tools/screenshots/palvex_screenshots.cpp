// palvex-screenshots: takes the pictures of the user guide from the main
// window as it runs, with settings of its own (a temporary home):
//
//   screenshot.png             the main window live on the built-in SIM port
//   screenshot-unplugged.png   the main window after palvex-modemsim, the
//                              modem it watched on a pseudo-terminal, was
//                              unplugged
//   screenshot-terminal.png    the terminal window with its Pause control on
//   screenshot-radio-lte.png, screenshot-radio-nsa.png
//                              the radio view over a simulated LTE module
//                              (EC25) and an NR5G-NSA one (RM500Q)
//   screenshot-pointing-lte.png, screenshot-pointing-nsa.png
//                              the antenna-pointing mode over the same
//
// Usage: palvex-screenshots --out DIR --modemsim PATH [--seconds N]

#include "MainWindow.h"
#include "PointingView.h"
#include "RadioView.h"
#include "RynSimModem.h"
#include "TemporaryHome.h"
#include "VRSComm32.h"
#include "VRynTerminal.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <algorithm>

namespace {

void Say(const QString &text)
{
    std::fprintf(stderr, "palvex-screenshots: %s\n", qPrintable(text));
}

bool Save(QWidget &widget, const QString &path)
{
    QApplication::processEvents();
    if (!widget.grab().save(path, "PNG")) {
        Say(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    Say(QStringLiteral("wrote %1").arg(path));
    return true;
}

bool WaitCycles(TfrmMain &window, std::uint64_t cycles, int timeoutMs = 30000)
{
    return QTest::qWaitFor([&] { return window.Session().CompletedCycles() >= cycles; }, timeoutMs);
}

// The terminal's Pause control, whatever its kind: an action or a button
// whose text begins with "Pause". False when the terminal has none.
bool SwitchPauseOn(VRynTerminal &terminal)
{
    const auto isPause = [](QString text) {
        return text.remove(QLatin1Char('&')).trimmed().startsWith(QStringLiteral("Pause"), Qt::CaseInsensitive);
    };
    for (QAction *action : terminal.findChildren<QAction *>())
        if (isPause(action->text())) {
            if (!action->isCheckable() || !action->isChecked())
                action->trigger();
            return true;
        }
    for (QAbstractButton *button : terminal.findChildren<QAbstractButton *>())
        if (isPause(button->text())) {
            if (!button->isCheckable() || !button->isChecked())
                button->click();
            return true;
        }
    return false;
}

bool LiveAndTerminal(const QString &out, int seconds)
{
    TfrmMain window;
    window.SetCommandLinePort(QStringLiteral("SIM"));
    window.show();
    // The graph's history fills with a few seconds of cycles.
    if (!WaitCycles(window, 3)) {
        Say(QStringLiteral("the SIM port gave no poll cycles"));
        return false;
    }
    // The operator switch filled as a new user fills it: by a scan.
    window.Scanoperators1->trigger();
    if (!QTest::qWaitFor([&] { return !window.Session().ScanPending() && !window.ScanDialog()->isVisible(); }, 30000))
        Say(QStringLiteral("the scan for operators did not end: the picture shows an empty operator switch"));
    QTest::qWait(seconds * 1000);
    window.tmrShowTimer();
    bool ok = Save(window, out + QStringLiteral("/screenshot.png"));

    window.btnShowTermClick();
    QTest::qWait(1500);
    if (!SwitchPauseOn(*window.termMain))
        Say(QStringLiteral("the terminal has no Pause control: its picture shows it running"));
    // Lines still come while paused; the view must stand still.
    QTest::qWait(1500);
    ok = Save(*window.termMain, out + QStringLiteral("/screenshot-terminal.png")) && ok;
    return ok;
}

bool Unplugged(const QString &out, const QString &modemsim, int seconds)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        Say(QStringLiteral("no temporary folder for the modem's link"));
        return false;
    }
    // Named as a USB modem's device is, so the picture reads as a user's.
    const QString link = dir.filePath(QStringLiteral("ttyUSB0"));
    QProcess sim;
    sim.start(modemsim, {QStringLiteral("--link"), link, QStringLiteral("--unplug-after"), QString::number(seconds + 4),
                         QStringLiteral("--exit-after"), QString::number(2 * seconds + 30)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        Say(QStringLiteral("%1 did not start: %2").arg(modemsim, sim.errorString()));
        return false;
    }
    bool ok = false;
    {
        TfrmMain window;
        window.SetCommandLinePort(link);
        window.show();
        if (!WaitCycles(window, 3)) {
            Say(QStringLiteral("the modem on %1 gave no poll cycles").arg(link));
        } else if (!QTest::qWaitFor([&] { return !window.PortOpen(); }, (seconds + 10) * 1000)) {
            Say(QStringLiteral("the modem on %1 was not unplugged").arg(link));
        } else {
            // The outage shows on the graph for a while.
            QTest::qWait(seconds * 1000);
            ok = Save(window, out + QStringLiteral("/screenshot-unplugged.png"));
        }
    }
    QFile::remove(link);
    sim.closeWriteChannel();
    if (!sim.waitForFinished(3000)) {
        sim.terminate();
        sim.waitForFinished(3000);
    }
    return ok;
}

// The radio view and the pointing mode on the built-in SIM port playing
// model; the pictures are named after suffix.
bool RadioAndPointing(const QString &out, const QString &model, const QString &suffix, int seconds)
{
    TfrmMain window;
    window.SetCommandLinePort(QStringLiteral("SIM"));
    window.VRSComm321->Simulator().Engine().SetModel(model.toStdString());
    window.show();
    if (!WaitCycles(window, 3)) {
        Say(QStringLiteral("the SIM port as %1 gave no poll cycles").arg(model));
        return false;
    }
    window.Radio1->trigger();
    window.radioView->resize(1100, 620);
    QTest::qWait(seconds * 1000);
    // The minutes the simulator has run, not the default ten.
    const std::int64_t newest = window.radioView->History().LastTimeMs();
    window.radioView->SetViewRange(newest - std::max<std::int64_t>(60'000, (seconds + 5) * 1000LL), newest);
    bool ok = Save(*window.radioView, out + QStringLiteral("/screenshot-radio-%1.png").arg(suffix));
    window.radioView->close();

    window.Antennapointing1->trigger();
    // The trend arrow needs the last few seconds.
    QTest::qWait(8000);
    ok = Save(*window.pointingView, out + QStringLiteral("/screenshot-pointing-%1.png").arg(suffix)) && ok;
    window.pointingView->close();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    const TemporaryHome home;
    if (!home.Valid()) {
        Say(QStringLiteral("no temporary folder for the settings"));
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("RYN s.r.o."));
    QApplication::setApplicationName(QStringLiteral("Palvex"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Takes the pictures of the user guide from the running window."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder of the pictures."),
                                       QStringLiteral("DIR"), QStringLiteral("."));
    const QCommandLineOption simOption(QStringLiteral("modemsim"), QStringLiteral("The palvex-modemsim program."),
                                       QStringLiteral("PATH"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Seconds of history before each picture."),
                                           QStringLiteral("N"), QStringLiteral("20"));
    parser.addOptions({outOption, simOption, secondsOption});
    parser.process(app);
    const QString out = QDir(parser.value(outOption)).absolutePath();
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    if (!parser.isSet(simOption)) {
        Say(QStringLiteral("--modemsim names the palvex-modemsim program"));
        return 2;
    }
    const bool live = LiveAndTerminal(out, seconds);
    const bool unplugged = Unplugged(out, parser.value(simOption), seconds);
    const bool lte = RadioAndPointing(out, QStringLiteral("EC25"), QStringLiteral("lte"), seconds);
    const bool nsa = RadioAndPointing(out, QStringLiteral("RM500Q"), QStringLiteral("nsa"), seconds);
    return live && unplugged && lte && nsa ? 0 : 1;
}
