#pragma once
// The "&Parameters" dialog of the serial channel (baud rate, data bits,
// parity, stop bits, flow control; for the simulated modem its model,
// latency, seed and call) and the port list for a combo box.

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QSpinBox;
struct SerialPortDetails;
class QLabel;
class TVRSComm32;

class SerialParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit SerialParametersDialog(QWidget *parent = nullptr);

    void Load(const TVRSComm32 &comm);
    // Throws std::invalid_argument for a baud rate that is not a positive number.
    void Store(TVRSComm32 &comm) const;

    // Modal: shows comm's settings; true when the user accepted and the settings were applied.
    static bool Edit(TVRSComm32 &comm, QWidget *parent = nullptr);
    // The baud rates the dialog takes: what serial drivers and USB adapters
    // can run at (the list offers the standard ones).
    static constexpr int kLowestBaud = 50;
    static constexpr int kHighestBaud = 4000000;

    QComboBox *BaudRateBox() const { return m_baud; }
    QComboBox *DataBitsBox() const { return m_dataBits; }
    QComboBox *ParityBox() const { return m_parity; }
    QComboBox *StopBitsBox() const { return m_stopBits; }
    QComboBox *FlowControlBox() const { return m_flow; }
    // Shown only when the port is the simulated modem.
    QGroupBox *SimulatorGroup() const { return m_simulator; }
    QComboBox *SimModelBox() const { return m_simModel; }
    QSpinBox *SimLatencyBox() const { return m_simLatency; }
    // Why the last OK was refused; empty when it was not.
    QString ErrorText() const;

private:
    void accept() override;
    std::string ConfigText() const;

    TVRSComm32 *m_target = nullptr; // set by Edit: accept applies to it

    QComboBox *m_baud = nullptr; // editable: any positive rate
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_stopBits = nullptr;
    QComboBox *m_flow = nullptr;
    QLabel *m_error = nullptr;
    QGroupBox *m_serial = nullptr;
    QGroupBox *m_simulator = nullptr;
    QComboBox *m_simModel = nullptr;
    QSpinBox *m_simLatency = nullptr;
    QSpinBox *m_simSeed = nullptr;
    QSpinBox *m_simCall = nullptr;
    // Settings of the simulated port other than the four above (delay=,
    // urc=, creg=): kept as they stand.
    std::vector<std::string> m_simOther;
};

// Makes comm's ConfigurationDialog show the dialog above, parented to parent.
void InstallSerialParametersDialog(TVRSComm32 &comm, QWidget *parent);

// Fills combo with the system's serial ports whose name contains filter
// (empty: all) and the simulated modems ("SIM", "SIM:EC25"…) last. An item's text is the name a pick stores (the
// stable /dev/serial/by-id/ name when there is one); the open list shows
// each port's PortLabel. An editable combo keeps the text the user typed (a
// device path, say).
void FillPortList(QComboBox *combo, const std::string &filter = {});
// The same with the given ports (the simulated ones are added).
void FillPortList(QComboBox *combo, const std::vector<SerialPortDetails> &ports);

// Item data role of the port combo holding the label the open list shows.
inline constexpr int kPortLabelRole = Qt::UserRole + 1;
