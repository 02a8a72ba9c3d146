#include "EventList.h"

#include "CycleRecord.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

std::uint32_t RecordEventColor(const std::string &type)
{
    using namespace RecordEventType;
    if (type == kRegistrationLost || type == kRegistrationDenied || type == kSignalLow)
        return 0x000000E1; // red
    if (type == kRegistrationRegained || type == kSignalRecovered || type == kPortReconnected)
        return 0x0000C000; // green
    if (type == kServingCellChanged || type == kTechnologyChanged || type == kBandChanged || type == kOperatorChanged ||
        type == kRoamingOn || type == kRoamingOff || type == kCarrierAggregationOn || type == kCarrierAggregationOff ||
        type == kCarrierCountChanged)
        return 0x00FF9020; // blue
    return 0x00C0C0C0;
}

TEventList::TEventList(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("eventList"));
    setWindowTitle(QStringLiteral("Events"));
    m_table = new QTableWidget(0, 2, this);
    m_table->setObjectName(QStringLiteral("eventTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Event")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto *save = new QPushButton(QStringLiteral("Save as CSV..."), this);
    save->setObjectName(QStringLiteral("saveEvents"));
    connect(save, &QPushButton::clicked, this, &TEventList::SaveAs);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
    resize(520, 300);
}

void TEventList::Add(const QDateTime &time, const RecordEvent &event)
{
    if (m_table->rowCount() >= kMaxRows) {
        m_table->removeRow(0);
        m_events.erase(m_events.begin());
    }
    m_events.emplace_back(time, event);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, 0, new QTableWidgetItem(time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    m_table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(RecordEventText(event))));
    m_table->scrollToBottom();
}

int TEventList::Rows() const { return m_table->rowCount(); }
QString TEventList::TimeAt(int row) const { return m_table->item(row, 0)->text(); }
QString TEventList::TextAt(int row) const { return m_table->item(row, 1)->text(); }

bool TEventList::SaveCsv(const QString &path, QString &error) const
{
    QByteArray text = "time,type,from,to,text\n";
    for (const auto &[time, event] : m_events) {
        QByteArrayList row{time.toUTC().toString(Qt::ISODateWithMs).toUtf8(), CsvField(event.type),
                           event.from ? CsvField(*event.from) : QByteArray(),
                           event.to ? CsvField(*event.to) : QByteArray(), CsvField(RecordEventText(event))};
        text += row.join(',') + '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void TEventList::SaveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save events"), QStringLiteral("events.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveCsv(path, error))
        QMessageBox::warning(this, QStringLiteral("Events"), error);
}

void TEventList::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit VisibilityChanged(true);
}

void TEventList::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit VisibilityChanged(false);
}
