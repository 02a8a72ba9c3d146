#pragma once
// A temporary home for a window test: HOME, the data, config and runtime
// folders point into it before QApplication exists, so no test touches the
// user's settings, operator table or terminal log.

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

inline void UseTemporaryHome(const QTemporaryDir &home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/run").toLocal8Bit());
    QDir().mkpath(home.path() + "/run");
    QFile::setPermissions(home.path() + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
}
