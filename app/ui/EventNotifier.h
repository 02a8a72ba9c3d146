#pragma once
// Desktop notifications of the events the user picked (Settings →
// "Notifications...", none by default): one notification per record that
// has such events, sent to the desktop's notification service
// (org.freedesktop.Notifications on the session bus) without waiting for
// it. A desktop without the service is said once; nothing is ever shown as
// a dialog.

#include "RecordEvents.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QDialog>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QListWidget;

// What a notification says: the summary and the body (a line per event,
// with its local time).
struct EventNotification {
    QString summary;
    QString body;
};

class TEventNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.Notifications";
    static constexpr const char *kPath = "/org/freedesktop/Notifications";

    // Notifications go to bus; without one, to the session bus, connected
    // when the first notification is sent.
    explicit TEventNotifier(QObject *parent = nullptr, std::optional<QDBusConnection> bus = std::nullopt);

    // The picked event types; types the program does not know are dropped.
    void SetTypes(const QStringList &types);
    QStringList Types() const;
    bool Wants(const std::string &type) const { return m_types.contains(QString::fromStdString(type)); }

    // The notification of the picked events among events (none: nothing to
    // send).
    std::optional<EventNotification> NotificationOf(const QDateTime &time,
                                                    const std::vector<RecordEvent> &events) const;
    // Sends the notification of a record's events, if it has one; true when
    // one was sent.
    bool Notify(const QDateTime &time, const std::vector<RecordEvent> &events);

signals:
    // The service could not be reached or refused the call; said once per
    // reason.
    void Failed(const QString &reason);

private:
    std::optional<QDBusConnection> m_bus;
    QSet<QString> m_types;
    QString m_lastFailure;
};

// Settings → "Notifications...": a checkable row per event type.
class TNotificationTypesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TNotificationTypesDialog(const QStringList &picked, QWidget *parent = nullptr);
    QStringList Types() const;
    QListWidget *List() const { return m_list; }

private:
    QListWidget *m_list = nullptr;
};
