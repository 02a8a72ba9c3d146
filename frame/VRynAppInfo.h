#pragma once
// Application information of a program's main window: its name, its version
// text, string values kept per user (the registry on Windows, an INI file
// elsewhere), and the window's geometry saved on close and put back when the
// window is first shown.
//
// The component watches its owner's events: the first show restores the
// saved state and then (from the event loop, once the show has finished)
// raises FirstShow; a close saves the state.

#include <QObject>
#include <QString>

class QSettings;
class QWidget;

class VRynAppInfo : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kOrganization = "RYN s.r.o.";

    // owner is the window whose state is kept; it also owns the component.
    explicit VRynAppInfo(QWidget *owner);

    QString AppName() const { return m_appName; }
    void SetAppName(const QString &name) { m_appName = name; }
    // The key under which the values live, "Software\RYN s.r.o.\" on Windows;
    // kept for the owner's information, the values always go to
    // QSettings(kOrganization, AppName()).
    QString RegistryPath() const { return m_registryPath; }
    void SetRegistryPath(const QString &path) { m_registryPath = path; }

    // The program's version, "0.1.0" (from the build).
    static QString VersionText();

    // A string value by section and key; defaultValue when there is none.
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    // False when the value could not be stored (read-only settings file).
    bool WriteString(const QString &section, const QString &key, const QString &value);

    // Window geometry (and a main window's tool bar and dock state). A saved
    // geometry that does not fit an available screen is not restored: the
    // window keeps the size it has (its designed size) and is centred.
    void SaveWindowState();
    void RestoreWindowState();

    bool IsFirstShowDone() const { return m_firstShowDone; }

signals:
    // The owner has been shown for the first time and its saved state applied.
    void FirstShow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void RestoreGeometry(const QByteArray &geometry);

    QString m_appName = QStringLiteral("Palvex");
    QString m_registryPath = QStringLiteral("Software\\RYN s.r.o.\\");
    QWidget *m_owner = nullptr;
    bool m_firstShowSeen = false;
    bool m_firstShowDone = false;
};
