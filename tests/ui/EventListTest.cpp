// The event list and the history graph's markers: the list's rows and its
// CSV, and a window over the simulated LTE modem whose port is lost and
// opened again, which shows the event in the list and as a marker.
#include "EventList.h"
#include "MainWindow.h"
#include "RadioView.h"
#include "WindowTestHome.h"

#include "zefXPGraph.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class EventListTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAndCsv();
    void everyTypeHasItsColour();
    void windowShowsEventsAsMarkersAndRows();
};

void EventListTest::rowsAndCsv()
{
    TEventList list;
    const QDateTime time = QDateTime::fromString("2026-12-09T10:00:00.250Z", Qt::ISODateWithMs);
    list.Add(time, {"serving_cell_changed", "cell 1 PCI 2", "cell 3 PCI 4"});
    list.Add(time.addSecs(5), {"call_answered", std::nullopt, "+49, 30"});
    QCOMPARE(list.Rows(), 2);
    QCOMPARE(list.TextAt(0), QStringLiteral("serving cell changed: cell 1 PCI 2 \u2192 cell 3 PCI 4"));
    QCOMPARE(list.TextAt(1), QStringLiteral("call answered: +49, 30"));
    QCOMPARE(list.TimeAt(1), time.addSecs(5).toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));

    QTemporaryDir dir;
    QString error;
    QVERIFY(list.SaveCsv(dir.filePath("events.csv"), error));
    QFile file(dir.filePath("events.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("time,type,from,to,text\n"
                                        "2026-12-09T10:00:00.250Z,serving_cell_changed,cell 1 PCI 2,cell 3 PCI 4,"
                                        "serving cell changed: cell 1 PCI 2 \xE2\x86\x92 cell 3 PCI 4\n"
                                        // A text that starts with + gets the apostrophe of the
                                        // record log's CSV.
                                        "2026-12-09T10:00:05.250Z,call_answered,,\"'+49, 30\","
                                        "\"call answered: +49, 30\"\n"));
    QVERIFY(!list.SaveCsv(dir.filePath("missing/events.csv"), error));
    QVERIFY2(error.startsWith("cannot write " + dir.filePath("missing/events.csv")), qPrintable(error));
}

// Every event of the radio is red, green or blue on the graph, never the
// grey of an unknown one (an answered call is grey); the carrier events read
// as the others do.
void EventListTest::everyTypeHasItsColour()
{
    for (const std::string &type : RecordEventTypes())
        if (type != RecordEventType::kCallAnswered)
            QVERIFY2(RecordEventColor(type) != RecordEventColor("no_such_event"), type.c_str());
    TEventList list;
    list.Add(QDateTime::currentDateTimeUtc(), {"carrier_aggregation_on", "no aggregation", "2 carriers: B3+B7"});
    QCOMPARE(list.TextAt(0), QStringLiteral("carrier aggregation on: no aggregation \u2192 2 carriers: B3+B7"));
}

void EventListTest::windowShowsEventsAsMarkersAndRows()
{
    TfrmMain w;
    w.SetCommandLinePort(QStringLiteral("SIM,model=EC25"));
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= 2; }, 10000));
    // The port lost and opened again: the next record carries the event.
    w.ChannelLost();
    w.PortOpened("SIM,model=EC25");
    const std::uint64_t after = w.Session().CompletedCycles() + 2;
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= after; }, 10000));

    QVERIFY(w.eventList->Rows() >= 1);
    int reconnected = 0;
    for (int row = 0; row < w.eventList->Rows(); ++row)
        reconnected += w.eventList->TextAt(row).startsWith("port reconnected: ");
    QCOMPARE(reconnected, 1);
    // A marker per row, its tooltip the row's text after the time.
    const auto &markers = w.zefXPGraph1->Markers();
    QCOMPARE(int(markers.size()), w.eventList->Rows());
    for (int row = 0; row < w.eventList->Rows(); ++row)
        QVERIFY2(markers[std::size_t(row)].text.endsWith(w.eventList->TextAt(row)),
                 qPrintable(markers[std::size_t(row)].text));
    // The radio view's chart has the same markers.
    QCOMPARE(int(w.radioView->Markers().size()), w.eventList->Rows());
    for (int row = 0; row < w.eventList->Rows(); ++row)
        QCOMPARE(w.radioView->Markers()[std::size_t(row)].text, markers[std::size_t(row)].text);

    // View → Events shows and hides the list, and follows its closing.
    QVERIFY(!w.eventList->isVisible());
    w.Events1->trigger();
    QVERIFY(w.eventList->isVisible());
    QVERIFY(w.Events1->isChecked());
    w.eventList->close();
    QVERIFY(!w.Events1->isChecked());
}

int main(int argc, char **argv) { return RunWindowTest<EventListTest>(argc, argv); }
#include "EventListTest.moc"
