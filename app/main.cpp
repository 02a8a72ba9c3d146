// Program entry: the main window on the port given on the command line (or
// the one used last), "SIM" for the built-in simulated modem.
#include "AboutBox.h"
#include "AppIcon.h"
#include "MainWindow.h"
#include "VRynAppInfo.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    // ---- headless dispatch: "palvex --headless PORT" runs the monitor
    // without a window; it is dispatched here, before QApplication exists.

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(VRynAppInfo::kOrganization));
    QApplication::setApplicationName(QStringLiteral("Palvex"));
    QApplication::setApplicationVersion(VRynAppInfo::VersionText());
    QApplication::setWindowIcon(PalvexIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Palvex: a monitor for a GSM modem on a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Serial port to open (ttyUSB0, /dev/ttyACM0, COM3), or SIM for the "
                                                "built-in simulated modem. Default: the port used last."),
                                 QStringLiteral("[port]"));
    parser.process(app); // --help and --version print and exit here

    TfrmMain frmMain;
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty())
        frmMain.SetCommandLinePort(positional.first());
    TfrmAbout frmAbout(&frmMain);
    frmMain.SetAboutBox(&frmAbout);

    frmMain.show();
    return QApplication::exec();
}
