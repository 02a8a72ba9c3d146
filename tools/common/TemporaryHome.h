#pragma once
// For the tools that run the main window: HOME, the data and the config
// folders point into a temporary folder before QApplication exists, so a
// run never reads or writes the user's settings or operator table.

#include <QByteArray>
#include <QStandardPaths>
#include <QTemporaryDir>

class TemporaryHome {
public:
    TemporaryHome()
    {
        if (!m_dir.isValid())
            return;
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (m_dir.path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
    }
    bool Valid() const { return m_dir.isValid(); }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
