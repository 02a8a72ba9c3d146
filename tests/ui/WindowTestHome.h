#pragma once
// A window test's main: HOME, the data, config and runtime folders point
// into a temporary folder before QApplication exists, so no test touches the
// user's settings, operator table or terminal log.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// Runs the Qt Test object Test below a temporary home, with the
// application's organisation and name set; home, when given, is set to the
// home folder for the duration of the run.
template <typename Test>
int RunWindowTest(int argc, char **argv, QTemporaryDir **home = nullptr)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    if (home)
        *home = &dir;
    qputenv("HOME", dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (dir.path() + "/run").toLocal8Bit());
    QDir().mkpath(dir.path() + "/run");
    QFile::setPermissions(dir.path() + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("RYN s.r.o."));
    QApplication::setApplicationName(QStringLiteral("Palvex"));
    Test test;
    return QTest::qExec(&test, argc, argv);
}
