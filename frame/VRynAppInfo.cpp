#include "VRynAppInfo.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#ifndef PALVEX_VERSION_TEXT
#define PALVEX_VERSION_TEXT "0.0.0"
#endif

namespace {

const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kStateKey = QStringLiteral("Window/State");

} // namespace

VRynAppInfo::VRynAppInfo(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{
    if (m_owner)
        m_owner->installEventFilter(this);
}

QString VRynAppInfo::VersionText()
{
    return QStringLiteral(PALVEX_VERSION_TEXT);
}

QString VRynAppInfo::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    QSettings settings(QString::fromLatin1(kOrganization), m_appName);
    return settings.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

bool VRynAppInfo::WriteString(const QString &section, const QString &key, const QString &value)
{
    QSettings settings(QString::fromLatin1(kOrganization), m_appName);
    settings.setValue(section + QLatin1Char('/') + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void VRynAppInfo::SaveWindowState()
{
    if (!m_owner)
        return;
    QSettings settings(QString::fromLatin1(kOrganization), m_appName);
    settings.setValue(kGeometryKey, m_owner->saveGeometry());
    if (auto *main = qobject_cast<QMainWindow *>(m_owner))
        settings.setValue(kStateKey, main->saveState());
}

void VRynAppInfo::RestoreWindowState()
{
    if (!m_owner)
        return;
    QSettings settings(QString::fromLatin1(kOrganization), m_appName);
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    // A broken value leaves the window where the system puts it.
    if (!geometry.isEmpty())
        m_owner->restoreGeometry(geometry);
    if (auto *main = qobject_cast<QMainWindow *>(m_owner)) {
        const QByteArray state = settings.value(kStateKey).toByteArray();
        if (!state.isEmpty())
            main->restoreState(state);
    }
}

bool VRynAppInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner) {
        if (event->type() == QEvent::Show && !m_firstShowSeen) {
            // The show event comes before the window is mapped, so the
            // restored geometry is the one the window appears with.
            m_firstShowSeen = true;
            RestoreWindowState();
            QTimer::singleShot(0, this, [this] {
                m_firstShowDone = true;
                emit FirstShow();
            });
        } else if (event->type() == QEvent::Close) {
            SaveWindowState();
        }
    }
    return QObject::eventFilter(watched, event);
}
