#include "VRynAppInfo.h"

#include <QCloseEvent>
#include <QDataStream>
#include <QGuiApplication>
#include <QScreen>
#include <QMainWindow>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <optional>

#ifndef PALVEX_VERSION_TEXT
#define PALVEX_VERSION_TEXT "0.0.0"
#endif

namespace {

const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kStateKey = QStringLiteral("Window/State");

// The window's rectangle in a QWidget::saveGeometry() value: the frame, or
// the normal geometry of a maximised or full-screen window. The layout is
// Qt's, unchanged since its version 2: a magic number, the format version,
// the frame and normal geometry, the screen number and the two state bytes.
std::optional<QRect> SavedWindowRect(const QByteArray &geometry)
{
    QDataStream stream(geometry);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    QRect normal;
    qint32 screenNumber = 0;
    quint8 maximized = 0;
    quint8 fullScreen = 0;
    stream >> magic >> major >> minor >> frame >> normal >> screenNumber >> maximized >> fullScreen;
    if (magic != 0x1D9D0CB || stream.status() != QDataStream::Ok)
        return std::nullopt;
    return maximized || fullScreen ? normal : frame;
}

bool FitsAnAvailableScreen(const QRect &rect)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen *screen) { return screen->availableGeometry().contains(rect); });
}

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
    if (!geometry.isEmpty())
        RestoreGeometry(geometry);
    if (auto *main = qobject_cast<QMainWindow *>(m_owner)) {
        const QByteArray state = settings.value(kStateKey).toByteArray();
        if (!state.isEmpty())
            main->restoreState(state);
    }
}

void VRynAppInfo::RestoreGeometry(const QByteArray &geometry)
{
    // Only a window that fits a screen as it is now comes back where it
    // was; one that does not (a smaller screen, a window grown past the
    // screen, a broken value) gets its designed size, centred.
    const std::optional<QRect> saved = SavedWindowRect(geometry);
    if (saved && FitsAnAvailableScreen(*saved) && m_owner->restoreGeometry(geometry))
        return;
    const QScreen *screen = saved ? QGuiApplication::screenAt(saved->center()) : nullptr;
    if (!screen)
        screen = m_owner->screen() ? m_owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is centred: the window plus what the system draws around it.
    const QSize frame = m_owner->frameGeometry().size() - m_owner->geometry().size();
    QRect designed(QPoint(0, 0), m_owner->size() + frame);
    designed.moveCenter(screen->availableGeometry().center());
    m_owner->move(designed.topLeft());
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
