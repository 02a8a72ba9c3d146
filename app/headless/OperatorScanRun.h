#pragma once
// palvex --scan PORT: opens the port, asks the modem which networks it
// finds (AT+COPS=?, up to three minutes), prints them as JSON on standard
// output and ends.

#include "HeadlessMain.h"

#include <QObject>

#include <functional>

class QJsonArray;
struct OperatorScanResult;

// The networks as a JSON array, one object each: code, name, short_name
// (null when the modem gave none), status ("current", "available",
// "forbidden", "unknown"), technology (null when unknown) and act (the
// modem's number for it, null when it gave none).
QJsonArray ScanResultJson(const OperatorScanResult &result);

// The whole scan. error writes one line to standard error; installStop
// makes SIGINT and SIGTERM call its function, which cancels the scan.
// Exit codes as the monitor's: 0 when the modem answered the scan (with
// or without networks), 1 when it refused it, gave no answer, the port did
// not open or went away, or the user cancelled it.
int RunOperatorScan(const HeadlessOptions &options, const std::function<void(const QString &)> &error,
                    const std::function<bool(QObject *, std::function<void()>)> &installStop);
