#include "SerialParametersDialog.h"

#include "SerialPortDetails.h"
#include "RynSimModem.h"
#include "RynSimModemEngine.h"
#include "VRSComm32.h"
#include "common/RynSimText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QSpinBox>
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
    , m_serial(new QGroupBox(tr("Serial port"), this))
    , m_simulator(new QGroupBox(tr("Simulated modem"), this))
    , m_simModel(new QComboBox(this))
    , m_simLatency(new QSpinBox(this))
    , m_simSeed(new QSpinBox(this))
    , m_simCall(new QSpinBox(this))
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

    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models())
        if (*info.model)
            m_simModel->addItem(QStringLiteral("%1 (%2)").arg(info.model, info.manufacturer), QString(info.model));
    m_simLatency->setRange(0, 10000);
    m_simLatency->setSuffix(tr(" ms"));
    m_simSeed->setRange(0, std::numeric_limits<int>::max());
    m_simCall->setRange(0, 1000000);
    m_simCall->setSpecialValueText(tr("never"));
    auto *simForm = new QFormLayout(m_simulator);
    simForm->addRow(tr("&Model:"), m_simModel);
    simForm->addRow(tr("&Latency:"), m_simLatency);
    simForm->addRow(tr("S&eed:"), m_simSeed);
    simForm->addRow(tr("&Call after polls:"), m_simCall);
    m_simulator->hide();

    auto *form = new QFormLayout(m_serial);
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
    layout->addWidget(m_serial);
    layout->addWidget(m_simulator);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
}

void SerialParametersDialog::Load(const TVRSComm32 &comm)
{
    if (TVRSComm32::IsSimulatedPort(comm.CommPort())) {
        // The simulator's settings live in the port's name; what it does not
        // say is the simulator's current setting.
        std::string settings;
        try {
            settings = TVRSComm32::SimulatedPortSettings(comm.CommPort());
        } catch (const std::invalid_argument &) {
        }
        std::string model = TRynSimModemEngine::kDefaultModel;
        const TRynSimModem &sim = comm.Simulator();
        int latency = static_cast<int>(sim.Latency().count());
        int seed = static_cast<int>(sim.Engine().Seed());
        int call = sim.Engine().CallAfterPolls();
        m_simOther.clear();
        for (const std::string &item : rynsim::SettingItems(settings)) {
            const std::size_t eq = item.find('=');
            const QString key = QString::fromStdString(item.substr(0, eq)).trimmed();
            const QString value = eq == std::string::npos ? QString() : QString::fromStdString(item.substr(eq + 1));
            bool ok = false;
            const int number = value.toInt(&ok);
            if (key == "model")
                model = value.trimmed().toStdString();
            else if (key == "latency" && ok)
                latency = number;
            else if (key == "seed" && ok)
                seed = number;
            else if (key == "call" && ok)
                call = number;
            else
                m_simOther.push_back(item);
        }
        SelectValue(m_simModel, QString::fromStdString(model));
        m_simLatency->setValue(latency);
        m_simSeed->setValue(seed);
        m_simCall->setValue(call);
        m_simulator->show();
        m_serial->hide();
        return;
    }
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

void SerialParametersDialog::Store(TVRSComm32 &comm) const
{
    if (!m_simulator->isHidden()) {
        std::string settings = "latency=" + std::to_string(m_simLatency->value()) +
                               ",seed=" + std::to_string(m_simSeed->value()) +
                               ",call=" + std::to_string(m_simCall->value());
        for (const std::string &item : m_simOther)
            settings += "," + item;
        const std::string port = TVRSComm32::SimulatedPortName(m_simModel->currentData().toString().toStdString(), settings);
        TVRSComm32::SimulatedPortSettings(port); // throws for a model the simulator lacks
        comm.SetCommPort(port);
        return;
    }
    comm.SetConfigAsString(ConfigText());
}

QString SerialParametersDialog::ErrorText() const { return m_error->isVisible() ? m_error->text() : QString(); }

void SerialParametersDialog::accept()
{
    // The rate in the user's words: a number a port can run at.
    bool number = false;
    const qlonglong baud = m_baud->currentText().trimmed().toLongLong(&number);
    if (m_simulator->isHidden() && (!number || baud < kLowestBaud || baud > kHighestBaud)) {
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
    for (const SerialPortDetails &port : SimulatedPorts())
        add(port);
    // The labels are longer than the combo is wide; the open list widens to them.
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0));
    if (!typed.isEmpty())
        combo->setCurrentText(typed);
}
