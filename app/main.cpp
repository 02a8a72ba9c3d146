// Program entry: the main window on the port given on the command line (or
// the one used last), "SIM" for the built-in simulated modem.
#include "AboutBox.h"
#include "AppIcon.h"
#include "HeadlessMain.h"
#include "MainWindow.h"
#include "PositionSource.h"
#include "SerialPortDetails.h"
#include "VRynAppInfo.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

namespace {

void SetApplicationNames()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(VRynAppInfo::kOrganization));
    QCoreApplication::setApplicationName(QStringLiteral("Palvex"));
    QCoreApplication::setApplicationVersion(VRynAppInfo::VersionText());
}

struct Options {
    QCommandLineOption log{QStringLiteral("log"),
                           QStringLiteral("Append every poll cycle's values to FILE (JSON lines; CSV for a .csv file)."),
                           QStringLiteral("FILE")};
    QCommandLineOption gps{QStringLiteral("gps"),
                           QStringLiteral("Adds the position to each record and shows the fix in the status bar: from "
                                          "gpsd (gpsd[:HOST:PORT]), the modem's own GNSS (modem), or a GPS "
                                          "receiver's NMEA sentences on a serial port (PORT[:BAUD], 4800 baud "
                                          "unless given)."),
                           QStringLiteral("gpsd[:HOST:PORT]|modem|PORT[:BAUD]")};
    QCommandLineOption listPorts{QStringLiteral("list-ports"),
                                 QStringLiteral("List the serial ports with what the system knows about each, and exit.")};
};

void Configure(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral("Palvex: a monitor for a cellular modem (2G to 5G) on a serial port.\n"
                                                    "palvex --headless PORT runs it without a window; "
                                                    "palvex --scan PORT lists the networks the modem finds as JSON."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.log);
    parser.addOption(options.gps);
    parser.addOption(options.listPorts);
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Serial port to open (ttyUSB0, /dev/ttyACM0, COM3), SIM for the "
                                                "built-in simulated modem (SIM:EC25, SIM:RM500Q… for its LTE "
                                                "and 5G models), or replay:FILE to play a session "
                                                "recording. Default: the port used last."),
                                 QStringLiteral("[port]"));
}

// --help, --version and --list-ports print and exit; they must work without a display.
bool AsksOnlyForText(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version", "--list-ports"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // "palvex --headless PORT" runs the monitor without a window, and
    // "palvex --scan PORT" lists the networks; they must not create a
    // QApplication, which needs a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "--scan") == 0)
            return RunHeadless(argc, argv);

    const Options options;
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication core(argc, argv);
        SetApplicationNames();
        QCommandLineParser parser;
        Configure(parser, options);
        parser.process(core); // help and version print and exit
        if (parser.isSet(options.listPorts)) {
            for (const SerialPortDetails &port : SystemSerialPorts())
                std::printf("%s\n", PortLabel(port).c_str());
            for (const SerialPortDetails &port : SimulatedPorts())
                std::printf("%s\n", PortLabel(port).c_str());
        }
        return 0;
    }

    // Without a display Qt would abort; a user on a console hears why, and
    // what runs there instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "palvex: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                             "palvex --headless PORT monitors without a window\n");
        return 1;
    }
    QApplication app(argc, argv);
    SetApplicationNames();
    QApplication::setWindowIcon(PalvexIcon());

    QCommandLineParser parser;
    Configure(parser, options);
    // A bad option is said as the headless monitor says it, with its exit
    // code 2: one line naming the program.
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "palvex: %s\n", qPrintable(parser.errorText()));
        return 2;
    }

    // A --gps the window cannot use is said as a bad option.
    std::unique_ptr<PositionSource> positions;
    const QString gps = parser.value(options.gps);
    if (parser.isSet(options.gps) && gps != QLatin1String("modem")) {
        QString error;
        positions = MakePositionSource(gps, error);
        if (!positions) {
            std::fprintf(stderr, "palvex: %s\n", qPrintable(error));
            return 2;
        }
    }

    TfrmMain frmMain;
    if (positions)
        frmMain.SetPositionSource(std::move(positions));
    else if (gps == QLatin1String("modem"))
        frmMain.SetModemGnss(true);
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty())
        frmMain.SetCommandLinePort(positional.first());
    if (parser.isSet(options.log) && !frmMain.StartRecordLog(parser.value(options.log)))
        std::fprintf(stderr, "palvex: %s\n", qPrintable(frmMain.RecordLogFile().ErrorText()));
    TfrmAbout frmAbout(&frmMain);
    frmMain.SetAboutBox(&frmAbout);

    frmMain.show();
    return QApplication::exec();
}
