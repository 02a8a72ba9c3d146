// Desktop notifications: which events make one and what it says, the
// picked types in Settings remembered, and the call arriving at a
// notification service on a private session bus of the test's own.
#include "EventNotifier.h"
#include "MainWindow.h"
#include "ChildProcess.h"
#include "WindowTestHome.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnectionInterface>
#include <QListWidget>
#include <QSignalSpy>
#include <QTimer>

namespace {

// The notification service of a desktop, as far as the test needs it.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        QString summary;
        QString body;
        int timeout = 0;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int timeout)
    {
        calls << Call{app, summary, body, timeout};
        return uint(calls.size());
    }
};

const QDateTime kTime = QDateTime::fromString("2026-12-09T10:00:00.000Z", Qt::ISODateWithMs);

std::vector<RecordEvent> TwoEvents()
{
    return {{"band_changed", "B3", "B7"}, {"signal_low", "-90 dBm", "-111 dBm"}};
}

} // namespace

class EventNotifierTest : public QObject {
    Q_OBJECT
private slots:
    void picksTypesAndSaysThePickedEvents();
    void pickedTypesAreRemembered();
    void callArrivesAtTheNotificationService();
};

void EventNotifierTest::picksTypesAndSaysThePickedEvents()
{
    TEventNotifier notifier;
    // Off by default.
    QVERIFY(notifier.Types().isEmpty());
    QVERIFY(!notifier.NotificationOf(kTime, TwoEvents()));
    notifier.SetTypes({"signal_low", "no_such_event"});
    QCOMPARE(notifier.Types(), QStringList{"signal_low"});
    const QString local = kTime.toLocalTime().toString("HH:mm:ss ");
    std::optional<EventNotification> one = notifier.NotificationOf(kTime, TwoEvents());
    QVERIFY(one);
    QCOMPARE(one->summary, QStringLiteral("Palvex: Signal low"));
    QCOMPARE(one->body, local + QStringLiteral("signal low: -90 dBm \u2192 -111 dBm"));
    notifier.SetTypes({"signal_low", "band_changed"});
    std::optional<EventNotification> two = notifier.NotificationOf(kTime, TwoEvents());
    QVERIFY(two);
    QCOMPARE(two->summary, QStringLiteral("Palvex: 2 events"));
    QCOMPARE(two->body, local + QStringLiteral("band changed: B3 \u2192 B7\n") + local +
                            QStringLiteral("signal low: -90 dBm \u2192 -111 dBm"));
    QVERIFY(!notifier.NotificationOf(kTime, {{"roaming_on", "home", "roaming"}}));
}

// Settings → "Notifications...": the rows checked in the dialog are the
// types of the next window too.
void EventNotifierTest::pickedTypesAreRemembered()
{
    {
        TfrmMain w;
        QVERIFY(w.eventNotifier->Types().isEmpty());
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<TNotificationTypesDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            for (int row = 0; row < dialog->List()->count(); ++row) {
                QListWidgetItem *item = dialog->List()->item(row);
                const QString type = item->data(Qt::UserRole).toString();
                QCOMPARE(item->checkState(), Qt::Unchecked);
                if (type == "registration_lost" || type == "carrier_aggregation_off")
                    item->setCheckState(Qt::Checked);
            }
            dialog->accept();
        });
        w.Notifications1->trigger();
        QVERIFY(seen);
        QCOMPARE(w.eventNotifier->Types(), (QStringList{"carrier_aggregation_off", "registration_lost"}));
    }
    TfrmMain again;
    QCOMPARE(again.eventNotifier->Types(), (QStringList{"carrier_aggregation_off", "registration_lost"}));
}

void EventNotifierTest::callArrivesAtTheNotificationService()
{
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed (Debian dbus-daemon; scripts/install-deps.sh installs it)");
    QTemporaryDir dir;
    ChildProcess bus(daemon, {"--session", "--nofork", "--print-address", "--address=unix:dir=" + dir.path()});
    QVERIFY(bus.Process().waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.Process().readLine()).trimmed();
    QVERIFY2(address.startsWith("unix:"), qPrintable(address));
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "palvex-test-service");
        QDBusConnection client = QDBusConnection::connectToBus(address, "palvex-test-client");
        QVERIFY(service.isConnected() && client.isConnected());

        // No service yet: said once, however many notifications fail.
        TEventNotifier notifier(nullptr, client);
        QSignalSpy failed(&notifier, &TEventNotifier::Failed);
        notifier.SetTypes({"signal_low"});
        QVERIFY(notifier.Notify(kTime, TwoEvents()));
        QVERIFY(notifier.Notify(kTime, TwoEvents()));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QTest::qWait(200);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().startsWith("no desktop notifications: "),
                 qPrintable(failed[0][0].toString()));

        FakeNotifications desktop;
        QVERIFY(service.registerObject(TEventNotifier::kPath, &desktop, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(TEventNotifier::kService));
        QVERIFY(!notifier.Notify(kTime, {{"band_changed", "B3", "B7"}})); // not picked
        QVERIFY(notifier.Notify(kTime, TwoEvents()));
        QTRY_COMPARE_WITH_TIMEOUT(desktop.calls.size(), 1, 5000);
        QCOMPARE(desktop.calls[0].app, QStringLiteral("Palvex"));
        QCOMPARE(desktop.calls[0].summary, QStringLiteral("Palvex: Signal low"));
        QVERIFY(desktop.calls[0].body.endsWith("signal low: -90 dBm \u2192 -111 dBm"));
        QCOMPARE(desktop.calls[0].timeout, -1);
    }
    QDBusConnection::disconnectFromBus("palvex-test-service");
    QDBusConnection::disconnectFromBus("palvex-test-client");
}

int main(int argc, char **argv) { return RunWindowTest<EventNotifierTest>(argc, argv); }
#include "EventNotifierTest.moc"
