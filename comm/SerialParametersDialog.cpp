#include "SerialParametersDialog.h"

#include "SerialPortDetails.h"
#include "VRSComm32.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <limits>
#include <stdexcept>

namespace {

void AddItems(QComboBox *box, const QList<QPair<QString, QString>> &items)
{
    for (const auto &[text, value] : items)
        box->addItem(text, value);
}

// The open port list shows each port's label; the item text stays the name
// a pick puts into the editable combo.
class PortLabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(kPortLabelRole).toString();
        if (!label.isEmpty())
            option->text = label;
    }
};

void SelectValue(QComboBox *box, const QString &value)
{
    const int index = box->findData(value);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace

SerialParametersDialog::SerialParametersDialog(QWidget *parent)
    : QDialog(parent)
    , m_baud(new QComboBox(this))
    , m_dataBits(new QComboBox(this))
    , m_parity(new QComboBox(this))
    , m_stopBits(new QComboBox(this))
    , m_flow(new QComboBox(this))
    , m_error(new QLabel(this))
{
    setWindowTitle(tr("Port parameters"));
    m_baud->setEditable(true);
    m_baud->setInsertPolicy(QComboBox::NoInsert);
    m_baud->setValidator(new QIntValidator(1, std::numeric_limits<int>::max(), m_baud));
    for (int rate : {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000,
                     2000000, 3000000, 4000000})
        m_baud->addItem(QString::number(rate));
    for (int bits = 5; bits <= 8; ++bits)
        m_dataBits->addItem(QString::number(bits), QString::number(bits));
    AddItems(m_parity, {{tr("None"), "N"}, {tr("Even"), "E"}, {tr("Odd"), "O"}, {tr("Mark"), "M"}, {tr("Space"), "S"}});
    AddItems(m_stopBits, {{"1", "1"}, {"1.5", "1.5"}, {"2", "2"}});
    AddItems(m_flow, {{tr("None"), "none"}, {tr("Hardware (RTS/CTS)"), "hardware"}, {tr("Software (XON/XOFF)"), "software"}});
    m_error->setStyleSheet("color: red");
    m_error->setWordWrap(true);
    m_error->hide();

    auto *form = new QFormLayout;
    form->addRow(tr("&Baud rate:"), m_baud);
    form->addRow(tr("&Data bits:"), m_dataBits);
    form->addRow(tr("&Parity:"), m_parity);
    form->addRow(tr("&Stop bits:"), m_stopBits);
    form->addRow(tr("&Flow control:"), m_flow);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SerialParametersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SerialParametersDialog::reject);
    auto *layout = new QVBoxLayout(this);
    // The dialog grows to fit an error instead of squeezing the form.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
}

void SerialParametersDialog::Load(const TVRSComm32 &comm)
{
    // The settings text is the one format both sides agree on.
    const QStringList fields = QString::fromStdString(comm.GetConfigAsString()).split(',');
    if (fields.size() != 5)
        return;
    m_baud->setCurrentText(fields[0]);
    SelectValue(m_dataBits, fields[1]);
    SelectValue(m_parity, fields[2]);
    SelectValue(m_stopBits, fields[3]);
    SelectValue(m_flow, fields[4]);
}

std::string SerialParametersDialog::ConfigText() const
{
    return QStringList{m_baud->currentText().trimmed(), m_dataBits->currentData().toString(),
                       m_parity->currentData().toString(), m_stopBits->currentData().toString(),
                       m_flow->currentData().toString()}
        .join(',')
        .toStdString();
}

void SerialParametersDialog::Store(TVRSComm32 &comm) const { comm.SetConfigAsString(ConfigText()); }

QString SerialParametersDialog::ErrorText() const { return m_error->isVisible() ? m_error->text() : QString(); }

void SerialParametersDialog::accept()
{
    // The rate in the user's words: a number a port can run at.
    bool number = false;
    const qlonglong baud = m_baud->currentText().trimmed().toLongLong(&number);
    if (!number || baud < kLowestBaud || baud > kHighestBaud) {
        m_error->setText(m_baud->currentText().trimmed().isEmpty()
                             ? tr("Enter a baud rate or pick one from the list; most modems run at 115200.")
                             : tr("A serial port does not run at %1 baud: pick a rate from the list (most modems "
                                  "run at 115200), or enter one from %2 to %3.")
                                   .arg(m_baud->currentText().trimmed())
                                   .arg(kLowestBaud)
                                   .arg(kHighestBaud));
        m_error->show();
        m_baud->setFocus();
        return;
    }
    if (m_target) {
        try {
            Store(*m_target);
        } catch (const std::invalid_argument &e) {
            // Stays open: the user corrects the value or cancels.
            m_error->setText(QString::fromStdString(e.what()));
            m_error->show();
            return;
        }
    }
    m_error->hide();
    QDialog::accept();
}

bool SerialParametersDialog::Edit(TVRSComm32 &comm, QWidget *parent)
{
    SerialParametersDialog dialog(parent);
    dialog.Load(comm);
    dialog.m_target = &comm;
    return dialog.exec() == QDialog::Accepted;
}

void InstallSerialParametersDialog(TVRSComm32 &comm, QWidget *parent)
{
    comm.SetConfigurationDialogHandler([parent](TVRSComm32 &c) { return SerialParametersDialog::Edit(c, parent); });
}

void FillPortList(QComboBox *combo, const std::string &filter)
{
    std::vector<SerialPortDetails> ports = SystemSerialPorts();
    const QString wanted = QString::fromStdString(filter);
    std::erase_if(ports, [&wanted](const SerialPortDetails &port) {
        return !QString::fromStdString(port.name).contains(wanted, Qt::CaseInsensitive);
    });
    FillPortList(combo, ports);
}

void FillPortList(QComboBox *combo, const std::vector<SerialPortDetails> &ports)
{
    const QString typed = combo->isEditable() ? combo->currentText() : QString();
    const QSignalBlocker blocker(combo);
    if (!dynamic_cast<PortLabelDelegate *>(combo->itemDelegate()))
        combo->setItemDelegate(new PortLabelDelegate(combo));
    combo->clear();
    auto add = [combo](const SerialPortDetails &port) {
        const QString label = QString::fromStdString(PortLabel(port));
        combo->addItem(QString::fromStdString(PortChoice(port)));
        combo->setItemData(combo->count() - 1, label, kPortLabelRole);
        combo->setItemData(combo->count() - 1, label, Qt::ToolTipRole);
    };
    for (const SerialPortDetails &port : ports)
        add(port);
    add(SimulatedPortDetails());
    // The labels are longer than the combo is wide; the open list widens to them.
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0));
    if (!typed.isEmpty())
        combo->setCurrentText(typed);
}
