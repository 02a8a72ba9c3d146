// The "&Parameters" dialog edits the channel's settings; the port list fills
// a combo box with "SIM" last and keeps a typed device path.
#include "SerialParametersDialog.h"
#include "SerialPortDetails.h"
#include "VRSComm32.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QDialogButtonBox>
#include <QLayout>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class SerialParametersDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheComponentsSettings();
    void acceptedEditsReachTheComponent();
    void invalidSettingKeepsTheDialogOpenAndChangesNothing_data();
    void invalidSettingKeepsTheDialogOpenAndChangesNothing();
    void cancelChangesNothing();
    void portListPutsSimLastAndKeepsTypedText();
    void simulatedPortShowsTheSimulatorsSettingsInItsName();
    void portListStoresStableNamesAndShowsLabels();
};

namespace {

// Runs f on the dialog once it is shown by exec().
template <class F> void WhenShown(F f)
{
    QTimer::singleShot(0, [f] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<SerialParametersDialog *>(w); dialog && dialog->isVisible())
                return f(*dialog);
        QFAIL("dialog not shown");
    });
}

QPushButton *Button(SerialParametersDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>()->button(which);
}

} // namespace

void SerialParametersDialogTest::showsTheComponentsSettings()
{
    TVRSComm32 comm;
    comm.SetConfigAsString("9600,7,E,2,hardware");
    SerialParametersDialog dialog;
    dialog.Load(comm);
    QCOMPARE(dialog.BaudRateBox()->currentText(), QString("9600"));
    QCOMPARE(dialog.DataBitsBox()->currentText(), QString("7"));
    QCOMPARE(dialog.ParityBox()->currentData().toString(), QString("E"));
    QCOMPARE(dialog.StopBitsBox()->currentText(), QString("2"));
    QCOMPARE(dialog.FlowControlBox()->currentData().toString(), QString("hardware"));
}

void SerialParametersDialogTest::acceptedEditsReachTheComponent()
{
    TVRSComm32 comm;
    InstallSerialParametersDialog(comm, nullptr);
    WhenShown([](SerialParametersDialog &d) {
        d.BaudRateBox()->setCurrentText("250000"); // not in the list: any positive rate
        d.ParityBox()->setCurrentIndex(d.ParityBox()->findData("O"));
        d.StopBitsBox()->setCurrentIndex(d.StopBitsBox()->findData("2"));
        d.FlowControlBox()->setCurrentIndex(d.FlowControlBox()->findData("software"));
        d.DataBitsBox()->setCurrentIndex(d.DataBitsBox()->findData("6"));
        Button(d, QDialogButtonBox::Ok)->click();
    });
    QVERIFY(comm.ConfigurationDialog());
    QCOMPARE(comm.GetConfigAsString(), std::string("250000,6,O,2,software"));
}

void SerialParametersDialogTest::invalidSettingKeepsTheDialogOpenAndChangesNothing_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<QString>("error");
    QTest::newRow("no baud rate") << "" << "1" << "Enter a baud rate";
    QTest::newRow("baud 7") << "7" << "1" << "does not run at 7 baud";
    QTest::newRow("baud too high") << "9000000" << "1" << "does not run at 9000000 baud";
    // Listed, but Linux has no 1.5 stop bits.
    QTest::newRow("1.5 stop bits") << "9600" << "1.5" << "1.5 stop bits are not supported";
}

void SerialParametersDialogTest::invalidSettingKeepsTheDialogOpenAndChangesNothing()
{
    QFETCH(QString, baud);
    QFETCH(QString, stopBits);
    QFETCH(QString, error);
    TVRSComm32 comm;
    QString shownError;
    bool stillOpen = false;
    WhenShown([&](SerialParametersDialog &d) {
        d.BaudRateBox()->setCurrentText(baud);
        d.StopBitsBox()->setCurrentIndex(d.StopBitsBox()->findData(stopBits));
        const int rowHeight = d.BaudRateBox()->height();
        Button(d, QDialogButtonBox::Ok)->click();
        stillOpen = d.isVisible();
        shownError = d.ErrorText();
        // The error takes room of its own; the form keeps its rows.
        QApplication::processEvents();
        QCOMPARE(d.BaudRateBox()->height(), rowHeight);
        QVERIFY(d.layout()->sizeConstraint() == QLayout::SetFixedSize);
        Button(d, QDialogButtonBox::Cancel)->click();
    });
    QVERIFY(!SerialParametersDialog::Edit(comm));
    QVERIFY(stillOpen);
    QVERIFY2(shownError.contains(error), qPrintable(shownError));
    QCOMPARE(comm.GetConfigAsString(), std::string("115200,8,N,1,none"));
}

void SerialParametersDialogTest::cancelChangesNothing()
{
    TVRSComm32 comm;
    WhenShown([](SerialParametersDialog &d) {
        d.BaudRateBox()->setCurrentText("1200");
        Button(d, QDialogButtonBox::Cancel)->click();
    });
    QVERIFY(!SerialParametersDialog::Edit(comm));
    QCOMPARE(comm.BaudRate(), 115200);
}

void SerialParametersDialogTest::portListPutsSimLastAndKeepsTypedText()
{
    QComboBox combo;
    combo.setEditable(true);
    FillPortList(&combo);
    const int sim = combo.findText("SIM");
    QVERIFY(sim >= 0);
    // The simulated models follow plain SIM, at the end of the list.
    QVERIFY(combo.findText("SIM:EC25") > sim);
    QVERIFY(combo.findText("SIM:RM500Q") > sim);
    QVERIFY(combo.itemText(combo.count() - 1).startsWith("SIM:"));
    QVERIFY(combo.itemData(combo.findText("SIM:EC25"), kPortLabelRole).toString().contains("LTE"));
    QCOMPARE(combo.currentText(), combo.itemText(0)); // the first port is selected

    combo.setCurrentText("/dev/pts/7");
    FillPortList(&combo);
    QCOMPARE(combo.currentText(), QString("/dev/pts/7"));
}

void SerialParametersDialogTest::simulatedPortShowsTheSimulatorsSettingsInItsName()
{
    TVRSComm32 comm;
    comm.SetCommPort("SIM:EC25,latency=40,urc=3");
    InstallSerialParametersDialog(comm, nullptr);
    WhenShown([](SerialParametersDialog &d) {
        QVERIFY(!d.SimulatorGroup()->isHidden());
        QCOMPARE(d.SimModelBox()->currentData().toString(), QString("EC25"));
        QCOMPARE(d.SimLatencyBox()->value(), 40);
        d.SimModelBox()->setCurrentIndex(d.SimModelBox()->findData("RM500Q"));
        d.SimLatencyBox()->setValue(5);
        Button(d, QDialogButtonBox::Ok)->click();
    });
    QVERIFY(comm.ConfigurationDialog());
    // The serial settings stay as they were; the setting the form does not
    // show (urc) is kept.
    QCOMPARE(comm.GetConfigAsString(), std::string("115200,8,N,1,none"));
    const QString port = QString::fromStdString(comm.CommPort());
    QVERIFY2(port.startsWith("SIM:RM500Q,latency=5,") && port.endsWith(",urc=3"), qPrintable(port));
}

void SerialParametersDialogTest::portListStoresStableNamesAndShowsLabels()
{
    SerialPortDetails modem;
    modem.name = "ttyUSB2";
    modem.description = "EG25-G";
    modem.manufacturer = "Quectel";
    modem.stableName = "/dev/serial/by-id/usb-Quectel_EG25-G_0123456-if02-port0";
    SerialPortDetails builtIn;
    builtIn.name = "ttyS0";
    QComboBox combo;
    combo.setEditable(true);
    FillPortList(&combo, {modem, builtIn});

    QCOMPARE(combo.count(), 2 + static_cast<int>(SimulatedPorts().size()));
    QCOMPARE(combo.itemText(0), QString::fromStdString(modem.stableName));
    QCOMPARE(combo.itemData(0, kPortLabelRole).toString(),
             QString("ttyUSB2: EG25-G (Quectel), /dev/serial/by-id/usb-Quectel_EG25-G_0123456-if02-port0"));
    QCOMPARE(combo.itemData(0, Qt::ToolTipRole), combo.itemData(0, kPortLabelRole));
    QCOMPARE(combo.itemText(1), QString("ttyS0"));
    QCOMPARE(combo.itemText(2), QString("SIM"));
    QCOMPARE(combo.itemData(2, kPortLabelRole).toString(), QString("SIM: built-in simulated modem"));

    // Picking the modem puts its stable name into the edit, which is what
    // the window stores and opens.
    combo.setCurrentIndex(0);
    QCOMPARE(combo.currentText(), QString::fromStdString(modem.stableName));

    // The open list paints the label, not the stored name: the painted
    // text needs more room than the item text alone.
    QStyleOptionViewItem option;
    option.initFrom(combo.view());
    const QModelIndex first = combo.model()->index(0, 0);
    const int labelWidth = combo.view()->itemDelegate()->sizeHint(option, first).width();
    const int nameWidth = combo.fontMetrics().horizontalAdvance(combo.itemText(0));
    QVERIFY2(labelWidth > nameWidth + combo.fontMetrics().horizontalAdvance("ttyUSB2: EG25-G (Quectel), ") / 2,
             qPrintable(QString("label %1 px, name %2 px").arg(labelWidth).arg(nameWidth)));
}

QTEST_MAIN(SerialParametersDialogTest)
#include "SerialParametersDialogTest.moc"
