#pragma once
// palvex --headless PORT: the session machine without a window. Records of
// every poll cycle go to standard output (JSON lines or CSV), optionally to a
// record log and a terminal log, and to Prometheus metrics.

#include "CycleRecord.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class PositionSource;

struct HeadlessOptions {
    QString port;
    std::int32_t baud = 0; // 0: the channel's default
    std::uint64_t cycles = 0; // 0: no limit
    std::optional<double> durationSeconds;
    std::optional<double> intervalSeconds; // a new poll cycle at most this often
    // --open-timeout: give up when the port has not opened by then.
    std::optional<double> openTimeoutSeconds;
    RecordFormat format = RecordFormat::Json; // of standard output; a log's follows its file name
    QString logFile;
    QString terminalFile;
    // --terminal FILE is rotated at this size, so a flooding modem cannot
    // fill the disk; the old files are FILE.1 (newest) to FILE.N.
    std::uint64_t terminalMegabytes = 10;
    int terminalOldFiles = 3;
    QString metricsAddress;
    QString mqttAddress; // mqtt://[USER@]HOST[:PORT]/PREFIX, empty: none
    QString mqttPasswordFile;
    QString mqttCaFile;
    bool quiet = false;
    QString recordFile; // session recording (doc/recording.md)
    bool recordRedact = false;
    bool answerCalls = false; // --answer-calls: incoming calls are answered (ATA)
    bool readOnly = false;    // --read-only: nothing in the modem is changed
    bool identity = false;    // --identity: records carry the IMEI, IMSI and ICCID
    SignalThresholds thresholds; // --low-rsrp, --low-signal: of the signal events
    QString gps; // --gps: gpsd[:HOST:PORT], modem or PORT[:BAUD]; empty: no positions
    bool scan = false; // --scan: list the networks the modem finds, then end
};

// The exit codes of both programs.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

enum class HeadlessParse : std::uint8_t { Run, Help, Error };

// Parses the arguments (program name first). "--headless" itself is accepted
// and ignored, so the same arguments serve "palvex --headless" and
// "palvex-headless". On Help, text holds the help; on Error, one line saying
// what is wrong.
HeadlessParse ParseHeadlessOptions(const QStringList &arguments, HeadlessOptions &options, QString &text);

// The whole headless run: creates the QCoreApplication when there is none,
// returns the process exit code (0 after --cycles, --duration, SIGINT or
// SIGTERM; 2 for bad options; 1 for other errors: a path that is no serial
// port, a port not opened within --open-timeout, a --duration that ended
// without any record).
int RunHeadless(int argc, char **argv);

// The receiver a --gps text other than "modem" names: gpsd
// ("gpsd[:HOST:PORT]") or a serial port with NMEA ("PORT[:BAUD]"); null
// with error set for a text that names neither. The window uses it too.
std::unique_ptr<PositionSource> MakePositionSource(const QString &text, QString &error);
// Only whether text names one, for the options.
bool CheckPositionSource(const QString &text, QString &error);
