#include "EventNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

// "serving_cell_changed" → "Serving cell changed".
QString TypeCaption(const std::string &type)
{
    QString text = QString::fromStdString(type).replace(QLatin1Char('_'), QLatin1Char(' '));
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

TEventNotifier::TEventNotifier(QObject *parent, std::optional<QDBusConnection> bus)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

void TEventNotifier::SetTypes(const QStringList &types)
{
    m_types.clear();
    for (const std::string &type : RecordEventTypes())
        if (types.contains(QString::fromStdString(type)))
            m_types.insert(QString::fromStdString(type));
}

QStringList TEventNotifier::Types() const
{
    QStringList types;
    for (const std::string &type : RecordEventTypes())
        if (Wants(type))
            types << QString::fromStdString(type);
    return types;
}

std::optional<EventNotification> TEventNotifier::NotificationOf(const QDateTime &time,
                                                                const std::vector<RecordEvent> &events) const
{
    QStringList lines;
    const RecordEvent *first = nullptr;
    for (const RecordEvent &event : events) {
        if (!Wants(event.type))
            continue;
        if (!first)
            first = &event;
        lines << time.toLocalTime().toString(QStringLiteral("HH:mm:ss ")) +
                     QString::fromStdString(RecordEventText(event));
    }
    if (!first)
        return std::nullopt;
    EventNotification notification;
    notification.summary = lines.size() == 1 ? QStringLiteral("Palvex: %1").arg(TypeCaption(first->type))
                                             : QStringLiteral("Palvex: %1 events").arg(lines.size());
    notification.body = lines.join(QLatin1Char('\n'));
    return notification;
}

bool TEventNotifier::Notify(const QDateTime &time, const std::vector<RecordEvent> &events)
{
    const std::optional<EventNotification> notification = NotificationOf(time, events);
    if (!notification)
        return false;
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
    // expire_timeout): a new notification each time, the server's own
    // timeout.
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Palvex") << 0u << QStringLiteral("palvex") << notification->summary << notification->body
         << QStringList() << QVariantMap() << -1;
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    if (!m_bus->isConnected()) {
        const QString reason = QStringLiteral("no desktop notifications: no session bus (%1)")
                                   .arg(m_bus->lastError().message());
        if (reason != m_lastFailure)
            emit Failed(m_lastFailure = reason);
        return false;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        const QDBusPendingReply<uint> reply = *done;
        done->deleteLater();
        if (!reply.isError()) {
            m_lastFailure.clear();
            return;
        }
        const QString reason = QStringLiteral("no desktop notifications: %1").arg(reply.error().message());
        if (reason != m_lastFailure)
            emit Failed(m_lastFailure = reason);
    });
    return true;
}

TNotificationTypesDialog::TNotificationTypesDialog(const QStringList &picked, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("notificationTypes"));
    setWindowTitle(QStringLiteral("Notifications"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Show a desktop notification for these events:"), this));
    m_list = new QListWidget(this);
    for (const std::string &type : RecordEventTypes()) {
        auto *item = new QListWidgetItem(TypeCaption(type), m_list);
        item->setData(Qt::UserRole, QString::fromStdString(type));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(picked.contains(QString::fromStdString(type)) ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(m_list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QStringList TNotificationTypesDialog::Types() const
{
    QStringList types;
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->checkState() == Qt::Checked)
            types << m_list->item(row)->data(Qt::UserRole).toString();
    return types;
}
