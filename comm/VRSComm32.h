#pragma once
// The serial channel: one QSerialPort driven by Qt's own asynchronous I/O on
// the owner's (GUI) thread. The port name "SIM" (any case) selects the
// built-in simulated modem instead ("SIM:EC25" one of its models), and
// "replay:FILE" a session recording played back as a modem, so one
// component serves a real modem, the simulator and a recording alike.
// Settings text after a comma goes to the simulator or the replay
// ("SIM:EC25,latency=50", "replay:rec,speed=10").
//
// With a recorder attached, everything that passes on the port (bytes both
// ways, open, close, loss, the ring line) is written to it.
//
// Defaults: CommPort "COM1", BaudRate 115200, DataBits 8, Parity None,
// StopBits One, FlowControl None, AutoReconnect false ("115200,8,N,1,none").
// A lost device (first ReadError/WriteError/ResourceError, or a short write)
// closes the port and reports CommStateFailed once.
//
// The port is opened exclusively: links are resolved first, so every name of
// one device shares Qt's lock file, and the device is locked (flock) as well.
// An open refused because the device is held names the holders found in
// /proc ("port /dev/ttyUSB2 is in use by ModemManager (pid 812)").

#include "VRynCommunicationComponent.h"

#include <QSerialPort>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QTimer;
class TRynRecorder;
class TRynReplayChannel;
class TRynSimModem;

class TVRSComm32 : public VRynPortComponent {
    Q_OBJECT
public:
    enum class TParity : std::uint8_t { None, Even, Odd, Mark, Space };
    enum class TStopBits : std::uint8_t { One, OneAndHalf, Two };
    enum class TFlowControl : std::uint8_t { None, Hardware, Software };

    static constexpr std::int32_t kDefaultBaudRate = 115200;
    static constexpr std::chrono::milliseconds kReconnectInterval{1000};

    explicit TVRSComm32(QObject *owner = nullptr);
    // Closes the port without reporting: the handlers' owners may be gone.
    ~TVRSComm32() override;

    // A name such as "ttyUSB0" or "COM3", a device path such as
    // "/dev/pts/4" (symlinks too), or "SIM". Changing it while open reopens.
    std::string CommPort() const override { return m_commPort; }
    void SetCommPort(const std::string &port) override;
    static bool IsSimulatedPort(const std::string &port);
    // The simulator's settings a simulated port's name carries:
    // "SIM:EC25,latency=50" gives "model=EC25,latency=50". Throws
    // std::invalid_argument for a model the simulator does not know.
    static std::string SimulatedPortSettings(const std::string &port);
    // The port name for a model and further settings ("latency=50"); the
    // default model is plain "SIM".
    static std::string SimulatedPortName(const std::string &model, const std::string &settings = {});
    static bool IsReplayPort(const std::string &port);
    // Why stopBits cannot be used on this system; empty when they can.
    static std::string StopBitsRefusal(TStopBits stopBits);
    bool IsSimulated() const { return IsSimulatedPort(m_commPort); }
    bool IsReplay() const { return IsReplayPort(m_commPort); }
    // The replay played its recording to the end.
    bool ReplayEnded() const;

    // Settings take effect at once on an open port. A setting refused (one
    // the system does not support, or one the open port does not take)
    // throws std::invalid_argument naming it and changes nothing.
    std::int32_t BaudRate() const { return m_baudRate; }
    void SetBaudRate(std::int32_t baud);
    int DataBits() const { return m_dataBits; } // 5 to 8
    void SetDataBits(int bits);
    TParity Parity() const { return m_parity; }
    void SetParity(TParity parity);
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits stopBits);
    TFlowControl FlowControl() const { return m_flowControl; }
    void SetFlowControl(TFlowControl flow);
    // After a lost connection, try to open the port again every second.
    bool AutoReconnect() const { return m_autoReconnect; }
    void SetAutoReconnect(bool on);

    // "115200,8,N,1,none": baud, data bits, parity N/E/O/M/S, stop bits
    // 1/1.5/2, flow none/hardware/software. 1.5 stop bits are refused where
    // the system has none (Linux).
    std::string GetConfigAsString() const override;
    void SetConfigAsString(const std::string &config) override;

    bool StartComm() override;
    void StopComm() override;
    using VRynCommunicationComponent::Send;
    bool Send(const std::uint8_t *buffer, std::size_t length) override;
    bool Active() const override;
    TCommState GetState() const override { return m_state; }

    // Ring line of the modem. Where the device cannot report its lines (a
    // pseudo-terminal, some USB adapters) it reads as off.
    bool RingIndicator() override;
    bool ReportsRingIndicator() const override;
    std::string LastErrorText() const override;
    // The last open failed because the path is there but is no serial
    // device (a folder, a file, /dev/null): trying again cannot help.
    bool NotASerialPort() const { return m_notASerialPort; }

    // Shows the settings dialog installed by the widgets layer; false when
    // none is installed or the user cancelled.
    bool ConfigurationDialog() override;
    void SetConfigurationDialogHandler(std::function<bool(TVRSComm32 &)> handler)
    {
        m_dialogHandler = std::move(handler);
    }

    // The system's serial ports by the names users know (ttyUSB0, COM3),
    // sorted, those containing filter (empty: all), then "SIM" and
    // "SIM:MODEL" for the simulator's other models.
    static std::vector<std::string> PortList(const std::string &filter = {});

    // The built-in simulated modem used for "SIM" (model, latency, seed, call).
    TRynSimModem &Simulator() { return *m_simulator; }
    const TRynSimModem &Simulator() const { return *m_simulator; }

    // Writes everything that passes on the port to recorder (nullptr: stop).
    // The recorder must outlive the channel or be detached first.
    void SetRecorder(TRynRecorder *recorder) { m_recorder = recorder; }

private:
    void OnReadyRead();
    void OnErrorOccurred(QSerialPort::SerialPortError error);
    void ConnectionLost(const QString &reason);
    void HandleLoss(std::uint64_t session);
    void ChangeState(TCommState state);
    // Sets the stored settings on the port; false with the first refused
    // one named in refused.
    bool ApplySettings(std::string &refused);
    // Runs change on the stored settings and applies them; when the port
    // refuses them, the old ones come back and std::invalid_argument says why.
    void ChangeSettings(const std::function<void()> &change);
    bool OpenPort();
    void TryReconnect();
    // The simulator or the replay, chosen by the port name; its settings
    // (after the comma) applied. False with m_lastErrorText on a refused one.
    bool SelectInner();
    void WireInner(VRynPortComponent *inner);
    void Received(const std::uint8_t *buffer, std::size_t length);
    bool ReadRingIndicator();

    std::string m_commPort = "COM1";
    std::int32_t m_baudRate = kDefaultBaudRate;
    int m_dataBits = 8;
    TParity m_parity = TParity::None;
    TStopBits m_stopBits = TStopBits::One;
    TFlowControl m_flowControl = TFlowControl::None;
    bool m_autoReconnect = false;

    QSerialPort *m_port = nullptr;
    TRynSimModem *m_simulator = nullptr;
    TRynReplayChannel *m_replay = nullptr; // made when first needed
    VRynPortComponent *m_inner = nullptr;  // the simulator or the replay
    std::string m_innerSettings;           // applied to the simulator last
    TRynRecorder *m_recorder = nullptr;
    QTimer *m_reconnectTimer = nullptr;
    std::function<bool(TVRSComm32 &)> m_dialogHandler;

    TCommState m_state = TCommState::CommStateDisconnected;
    bool m_portOpen = false;      // the real port is open and healthy
    bool m_innerOpen = false;     // the simulator or the replay is the open channel
    bool m_innerStarting = false; // its own state reports are not passed on
    bool m_lossPending = false;   // a loss was seen; the close is on its way
    bool m_noRingLine = false; // the open device cannot report its lines
    std::uint64_t m_session = 0; // bumped by every open and close
    std::vector<std::uint8_t> m_readBuffer; // what each read of the port lands in
    std::string m_lastErrorText;
    bool m_notASerialPort = false;
};
