#include "RynColor.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

class RynColorTest : public QObject {
    Q_OBJECT
private slots:
    void convertsBgrValues()
    {
        QCOMPARE(RynToQColor(0x0000FF), QColor(255, 0, 0));
        QCOMPARE(RynToQColor(0x008000), QColor(0, 128, 0));
        QCOMPARE(RynToQColor(0x0009F9FF), QColor(0xFF, 0xF9, 0x09));
        QCOMPARE(RynFromQColor(QColor(0xFF, 0xF9, 0x09)), 0x0009F9FFu);
    }

    void comboColourKeepsTextAndSelection()
    {
        QComboBox combo;
        combo.setEditable(true);
        combo.addItems({"ttyS0", "ttyUSB0"});
        combo.setEditText("/dev/ttyUSB3");
        combo.lineEdit()->setSelection(5, 3);

        SetComboColor(&combo, 0x0000FF);
        QCOMPARE(combo.palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(combo.currentText(), QString("/dev/ttyUSB3"));
        QCOMPARE(combo.lineEdit()->selectionStart(), 5);
        QCOMPARE(combo.lineEdit()->selectedText(), QString("tty"));

        SetComboColor(&combo, 0x008000);
        QCOMPARE(combo.palette().color(QPalette::Text), QColor(0, 128, 0));
        QCOMPARE(combo.lineEdit()->selectedText(), QString("tty"));

        SetComboColor(nullptr, 0); // ignored, no crash
    }
};

QTEST_MAIN(RynColorTest)
#include "RynColorTest.moc"
