#include "VRSComm32.h"

#include "RynRecording.h"
#include "RynReplay.h"
#include "RynSimModem.h"
#include "SerialPortDetails.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPortInfo>
#include <QTimer>

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <tuple>

#include <sys/file.h>

namespace {

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

QSerialPort::Parity ToQt(TVRSComm32::TParity p)
{
    switch (p) {
    case TVRSComm32::TParity::None: return QSerialPort::NoParity;
    case TVRSComm32::TParity::Even: return QSerialPort::EvenParity;
    case TVRSComm32::TParity::Odd: return QSerialPort::OddParity;
    case TVRSComm32::TParity::Mark: return QSerialPort::MarkParity;
    case TVRSComm32::TParity::Space: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQt(TVRSComm32::TStopBits s)
{
    switch (s) {
    case TVRSComm32::TStopBits::One: return QSerialPort::OneStop;
    case TVRSComm32::TStopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case TVRSComm32::TStopBits::Two: return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl ToQt(TVRSComm32::TFlowControl f)
{
    switch (f) {
    case TVRSComm32::TFlowControl::None: return QSerialPort::NoFlowControl;
    case TVRSComm32::TFlowControl::Hardware: return QSerialPort::HardwareControl;
    case TVRSComm32::TFlowControl::Software: return QSerialPort::SoftwareControl;
    }
    return QSerialPort::NoFlowControl;
}

constexpr const char *kConfigHint = "expected BAUD,DATABITS,PARITY,STOPBITS,FLOW such as \"115200,8,N,1,none\"";

[[noreturn]] void ConfigError(const std::string &config, const std::string &why)
{
    throw std::invalid_argument("invalid serial settings \"" + config + "\": " + why + "; " + kConfigHint);
}

} // namespace

TVRSComm32::TVRSComm32(QObject *owner)
    : VRynPortComponent(owner)
    , m_port(new QSerialPort(this))
    , m_simulator(new TRynSimModem(this))
    , m_reconnectTimer(new QTimer(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &TVRSComm32::OnReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &TVRSComm32::OnErrorOccurred);
    m_reconnectTimer->setInterval(kReconnectInterval);
    connect(m_reconnectTimer, &QTimer::timeout, this, &TVRSComm32::TryReconnect);

    WireInner(m_simulator);
}

TVRSComm32::~TVRSComm32()
{
    m_innerOpen = false;
    m_portOpen = false;
    m_recorder = nullptr;
    for (VRynPortComponent *inner : {static_cast<VRynPortComponent *>(m_simulator),
                                     static_cast<VRynPortComponent *>(m_replay)}) {
        if (!inner)
            continue;
        inner->SetOnReceiveData({});
        inner->SetOnStateChange({});
    }
    if (m_port->isOpen())
        m_port->close();
}

void TVRSComm32::WireInner(VRynPortComponent *inner)
{
    // The inner channel's data and state become this channel's while it is
    // the open channel. Its own report of the present state (posted when
    // these handlers are attached) is not a change and is dropped.
    inner->SetOnReceiveData([this](VRynCommunicationComponent *, const std::uint8_t *b, std::uint16_t n) {
        if (m_innerOpen)
            Received(b, n);
    });
    inner->SetOnStateChange([this](QObject *, TCommState state) {
        if (m_innerOpen && !m_innerStarting && state != m_state)
            ChangeState(state);
    });
    inner->SetOnNotice([this](const std::string &text) { Notice(text); });
}

bool TVRSComm32::IsSimulatedPort(const std::string &port)
{
    const std::string name = Lower(Trim(port));
    return name == "sim" || name.rfind("sim,", 0) == 0 || name.rfind("sim:", 0) == 0;
}

std::string TVRSComm32::SimulatedPortSettings(const std::string &port)
{
    const std::string name = Trim(port);
    const std::size_t comma = name.find(',');
    const std::string head = name.substr(0, comma);
    std::string settings = comma == std::string::npos ? std::string() : name.substr(comma + 1);
    const std::size_t colon = head.find(':');
    if (colon == std::string::npos)
        return settings;
    const std::string wanted = Trim(head.substr(colon + 1));
    std::string known;
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models()) {
        if (!*info.model)
            continue;
        if (Lower(wanted) == Lower(info.model))
            return "model=" + std::string(info.model) + (settings.empty() ? "" : "," + settings);
        known += (known.empty() ? "" : ", ") + std::string(info.model);
    }
    throw std::invalid_argument("the simulated modem has no model \"" + wanted + "\" (it has " + known + ")");
}

std::string TVRSComm32::SimulatedPortName(const std::string &model, const std::string &settings)
{
    std::string name = model.empty() || model == TRynSimModemEngine::kDefaultModel ? "SIM" : "SIM:" + model;
    return settings.empty() ? name : name + "," + settings;
}

bool TVRSComm32::IsReplayPort(const std::string &port)
{
    std::string file;
    std::string settings;
    return TRynReplayChannel::SplitPort(port, file, settings);
}

bool TVRSComm32::ReplayEnded() const { return IsReplay() && m_replay && m_replay->Ended(); }

std::string TVRSComm32::LastErrorText() const
{
    return m_innerOpen && m_inner ? m_inner->LastErrorText() : m_lastErrorText;
}

bool TVRSComm32::SelectInner()
{
    std::string file;
    std::string settings;
    try {
        if (TRynReplayChannel::SplitPort(m_commPort, file, settings)) {
            if (!m_replay) {
                m_replay = new TRynReplayChannel(this);
                WireInner(m_replay);
            }
            m_replay->SetFile(file);
            m_replay->SetConfigAsString(settings);
            m_inner = m_replay;
            return true;
        }
        settings = SimulatedPortSettings(m_commPort);
        if (settings != m_innerSettings) {
            m_simulator->SetConfigAsString(settings);
            m_innerSettings = settings;
        }
        m_inner = m_simulator;
        return true;
    } catch (const std::invalid_argument &e) {
        // A simulator setting or model that does not exist: no use trying
        // again, as for a path that is no serial device.
        m_lastErrorText = e.what();
        m_notASerialPort = true;
        return false;
    }
}

void TVRSComm32::SetCommPort(const std::string &port)
{
    if (port == m_commPort)
        return;
    const bool reopen = Active();
    if (reopen)
        StopComm();
    m_commPort = port;
    if (reopen)
        StartComm();
}

void TVRSComm32::SetBaudRate(std::int32_t baud)
{
    if (baud <= 0)
        throw std::invalid_argument("invalid baud rate " + std::to_string(baud));
    ChangeSettings([&] { m_baudRate = baud; });
}

void TVRSComm32::SetDataBits(int bits)
{
    if (bits < 5 || bits > 8)
        throw std::invalid_argument("invalid data bits " + std::to_string(bits) + " (5 to 8)");
    ChangeSettings([&] { m_dataBits = bits; });
}

void TVRSComm32::SetParity(TParity parity)
{
    ChangeSettings([&] { m_parity = parity; });
}

void TVRSComm32::SetStopBits(TStopBits stopBits)
{
    if (const std::string refusal = StopBitsRefusal(stopBits); !refusal.empty())
        throw std::invalid_argument(refusal);
    ChangeSettings([&] { m_stopBits = stopBits; });
}

void TVRSComm32::SetFlowControl(TFlowControl flow)
{
    ChangeSettings([&] { m_flowControl = flow; });
}

std::string TVRSComm32::StopBitsRefusal(TStopBits stopBits)
{
#ifdef Q_OS_WIN
    Q_UNUSED(stopBits);
    return {};
#else
    // The termios of POSIX systems knows one or two stop bits only; Qt would
    // set one stop bit instead, silently.
    if (stopBits == TStopBits::OneAndHalf)
        return "1.5 stop bits are not supported by serial ports on this system; use 1 or 2";
    return {};
#endif
}

void TVRSComm32::ChangeSettings(const std::function<void()> &change)
{
    const std::string before = GetConfigAsString();
    const auto saved = std::tuple{m_baudRate, m_dataBits, m_parity, m_stopBits, m_flowControl};
    change();
    std::string refused;
    if (ApplySettings(refused))
        return;
    std::tie(m_baudRate, m_dataBits, m_parity, m_stopBits, m_flowControl) = saved;
    std::string ignored;
    ApplySettings(ignored); // back to what the port had, as far as it still takes it
    throw std::invalid_argument("cannot change the serial settings of " + Trim(m_commPort) + ": " + refused +
                                "; the settings stay " + before);
}

void TVRSComm32::SetAutoReconnect(bool on)
{
    m_autoReconnect = on;
    if (!on)
        m_reconnectTimer->stop();
}

bool TVRSComm32::ApplySettings(std::string &refused)
{
    // Before an open these are only stored; QSerialPort applies them when it
    // opens (and fails the open when the device refuses one). On an open
    // port they are set at once, and the first one refused is named.
    refused.clear();
    const auto check = [&](bool ok, const std::string &what) {
        if (!ok && refused.empty())
            refused = "the port refused " + what + " (" + m_port->errorString().toStdString() + ")";
    };
    check(m_port->setBaudRate(m_baudRate), "the baud rate " + std::to_string(m_baudRate));
    check(m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_dataBits)),
          std::to_string(m_dataBits) + " data bits");
    check(m_port->setParity(ToQt(m_parity)), "the parity");
    check(m_port->setStopBits(ToQt(m_stopBits)), "the stop bits");
    check(m_port->setFlowControl(ToQt(m_flowControl)), "the flow control");
    return refused.empty();
}

std::string TVRSComm32::GetConfigAsString() const
{
    static constexpr const char parity[] = {'N', 'E', 'O', 'M', 'S'};
    static constexpr const char *stop[] = {"1", "1.5", "2"};
    static constexpr const char *flow[] = {"none", "hardware", "software"};
    return std::to_string(m_baudRate) + "," + std::to_string(m_dataBits) + "," +
           parity[static_cast<int>(m_parity)] + "," + stop[static_cast<int>(m_stopBits)] + "," +
           flow[static_cast<int>(m_flowControl)];
}

void TVRSComm32::SetConfigAsString(const std::string &config)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = config.find(',', start);
        fields.push_back(Lower(Trim(config.substr(start, comma == std::string::npos ? comma : comma - start))));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 5)
        ConfigError(config, std::to_string(fields.size()) + " fields instead of 5");

    const std::string &b = fields[0];
    if (b.empty() || b.size() > 9 || !std::all_of(b.begin(), b.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stol(b) <= 0)
        ConfigError(config, "baud rate \"" + b + "\" is not a positive number");
    const auto baud = static_cast<std::int32_t>(std::stol(b));

    const std::string &d = fields[1];
    if (d.size() != 1 || d[0] < '5' || d[0] > '8')
        ConfigError(config, "data bits \"" + d + "\" are not 5 to 8");

    const std::string &p = fields[2];
    static constexpr const char *parityNames = "neoms";
    const char *pp = p.size() == 1 ? std::strchr(parityNames, p[0]) : nullptr;
    if (pp == nullptr || p[0] == '\0')
        ConfigError(config, "parity \"" + p + "\" is not N, E, O, M or S");
    const auto parity = static_cast<TParity>(pp - parityNames);

    const std::string &s = fields[3];
    TStopBits stop;
    if (s == "1")
        stop = TStopBits::One;
    else if (s == "1.5")
        stop = TStopBits::OneAndHalf;
    else if (s == "2")
        stop = TStopBits::Two;
    else
        ConfigError(config, "stop bits \"" + s + "\" are not 1, 1.5 or 2");
    if (const std::string refusal = StopBitsRefusal(stop); !refusal.empty())
        ConfigError(config, refusal);

    const std::string &f = fields[4];
    TFlowControl flow;
    if (f == "none")
        flow = TFlowControl::None;
    else if (f == "hardware" || f == "rts/cts")
        flow = TFlowControl::Hardware;
    else if (f == "software" || f == "xon/xoff")
        flow = TFlowControl::Software;
    else
        ConfigError(config, "flow control \"" + f + "\" is not none, hardware or software");

    // All parsed: only now is anything changed.
    ChangeSettings([&] {
        m_baudRate = baud;
        m_dataBits = d[0] - '0';
        m_parity = parity;
        m_stopBits = stop;
        m_flowControl = flow;
    });
}

bool TVRSComm32::Active() const
{
    return m_innerOpen ? m_inner->Active() : m_portOpen;
}

bool TVRSComm32::StartComm()
{
    if (Active())
        return true;
    m_reconnectTimer->stop();
    SetLastErrorCode(0);
    m_lastErrorText.clear();
    m_notASerialPort = false;
    if (IsSimulated() || IsReplay()) {
        ++m_session;
        if (!SelectInner()) {
            ChangeState(TCommState::CommStateFailed);
            return false;
        }
        m_innerOpen = true;
        m_innerStarting = true;
        const bool started = m_inner->StartComm();
        m_innerStarting = false;
        if (!started) {
            m_lastErrorText = m_inner->LastErrorText();
            m_innerOpen = false;
        }
        ChangeState(started ? TCommState::CommStateConnected : TCommState::CommStateFailed);
        return started;
    }
    if (OpenPort())
        return true;
    ChangeState(TCommState::CommStateFailed);
    return false;
}

bool TVRSComm32::OpenPort()
{
    ++m_session;
    m_lossPending = false;
    m_noRingLine = false;
    if (m_port->isOpen())
        m_port->close();
    // A name starting with '/' is a device path, which is how
    // pseudo-terminals and symlinks open: they are never in the list of
    // available ports. The device itself is opened (links resolved), so
    // every name of one device shares Qt's lock file in the system's lock
    // folder.
    const std::string name = Trim(m_commPort);
    const std::string device = !name.empty() && name.front() == '/' ? name : "/dev/" + name;
    const QString resolved = QFileInfo(QString::fromStdString(device)).canonicalFilePath();
    m_port->setPortName(resolved.isEmpty() ? QString::fromStdString(name) : resolved);
    std::string refused;
    if (!ApplySettings(refused)) {
        m_lastErrorText = refused;
        return false;
    }
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port->error();
        SetLastErrorCode(static_cast<std::uint32_t>(error));
        m_lastErrorText = m_port->errorString().toStdString();
        // A lock held (Qt's lock file, or the exclusive mode of a terminal)
        // reads as a permission error too: the holder is named instead.
        // Other programs that merely hold a device open (every process
        // has /dev/null) are no reason for another failure.
        if (IsNotASerialDevice(device)) {
            m_notASerialPort = true;
            m_lastErrorText = device + ": not a serial port";
        } else if (error != QSerialPort::PermissionError) {
        } else if (const auto holders = DeviceHolders(device); !holders.empty())
            m_lastErrorText = PortInUseText(device, holders);
        else
            m_lastErrorText += ". " + PermissionDeniedHint(device, DeviceGroup(device));
        m_port->clearError();
        return false;
    }
    m_port->clearError();
    // The exclusive mode Qt sets does not stop a privileged process, nor a
    // lock file another name of the device: an exclusive lock on the device
    // does, between all programs that take one.
    if (::flock(m_port->handle(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        m_port->close();
        m_port->clearError();
        SetLastErrorCode(static_cast<std::uint32_t>(QSerialPort::PermissionError));
        m_lastErrorText = PortInUseText(device, DeviceHolders(device));
        return false;
    }
    m_portOpen = true;
    ChangeState(TCommState::CommStateConnected);
    return true;
}

void TVRSComm32::StopComm()
{
    m_reconnectTimer->stop();
    ++m_session;
    if (m_innerOpen) {
        m_inner->StopComm();
        m_innerOpen = false;
        return;
    }
    const bool wasOpen = m_portOpen;
    const bool lossUnreported = m_lossPending;
    m_portOpen = false;
    m_lossPending = false;
    if (m_port->isOpen())
        m_port->close();
    if (lossUnreported) {
        // Lost before this close, and not reported yet: the owner hears of
        // the loss rather than of an orderly close of a healthy port.
        Guarded("notice", [&] { Notice("serial port " + m_commPort + ": " + m_lastErrorText); });
        Guarded("state", [&] { ChangeState(TCommState::CommStateFailed); });
    } else if (wasOpen) {
        ChangeState(TCommState::CommStateDisconnected);
    }
}

bool TVRSComm32::Send(const std::uint8_t *buffer, std::size_t length)
{
    if (m_recorder && length > 0 && Active())
        m_recorder->Sent(buffer, length);
    if (m_innerOpen)
        return m_inner->Send(buffer, length);
    if (!m_portOpen)
        return false;
    if (length == 0)
        return true;
    if (m_port->bytesToWrite() == 0) {
        // Straight to the device when nothing waits before these bytes:
        // QSerialPort's own write only queues them and waits for its write
        // notifier, a turn of the event loop per command (and under GLib
        // two more, for switching the notifier on and off). What the device
        // does not take at once, and every error, goes the queued way below,
        // which reports a lost device as before.
        const ssize_t direct = ::write(int(m_port->handle()), buffer, length);
        if (direct == static_cast<ssize_t>(length))
            return true;
        if (direct > 0) {
            buffer += direct;
            length -= std::size_t(direct);
        }
    }
    const qint64 written = m_port->write(reinterpret_cast<const char *>(buffer), static_cast<qint64>(length));
    if (written != static_cast<qint64>(length)) {
        // QSerialPort buffers every write; a short one means the device is gone.
        ConnectionLost(QString("write failed (%1)").arg(m_port->errorString()));
        return false;
    }
    return true;
}

void TVRSComm32::OnReadyRead()
{
    // All that has arrived, read in one go into a buffer kept from read to
    // read. QSerialPort does not emit readyRead again while a handler of it
    // runs, so the buffer is never read into while its bytes are handed on.
    // A burst beyond the kept size gets a buffer of its own.
    constexpr qint64 kKeptBuffer = 64 * 1024;
    const qint64 available = m_port->bytesAvailable();
    if (available <= 0)
        return;
    std::vector<std::uint8_t> burst;
    std::vector<std::uint8_t> &buffer = available <= kKeptBuffer ? m_readBuffer : burst;
    if (buffer.size() < std::size_t(available))
        buffer.resize(std::size_t(available));
    const qint64 n = m_port->read(reinterpret_cast<char *>(buffer.data()), available);
    if (!m_portOpen || n <= 0)
        return;
    Guarded("receive", [&] { Received(buffer.data(), std::size_t(n)); });
}

void TVRSComm32::Received(const std::uint8_t *buffer, std::size_t length)
{
    if (m_recorder)
        m_recorder->Received(buffer, length);
    DeliverData(buffer, length);
}

void TVRSComm32::OnErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // A pseudo-terminal whose master closed raises ReadError on every
        // turn of the event loop with the port still open, and ResourceError
        // only after a write: the first one of either is the loss.
        if (m_portOpen) {
            const char *kind = error == QSerialPort::ReadError    ? "read error"
                               : error == QSerialPort::WriteError ? "write error"
                                                                  : "device removed or failed";
            ConnectionLost(QString("%1 (%2)").arg(kind, m_port->errorString()));
        }
        break;
    default:
        // NoError (on open and clearError), UnsupportedOperationError (line
        // signals on a pty) and time-outs are not a lost port.
        break;
    }
}

void TVRSComm32::ConnectionLost(const QString &reason)
{
    if (!m_portOpen || m_lossPending)
        return;
    m_portOpen = false;
    m_lossPending = true;
    m_lastErrorText = "connection lost: " + reason.toStdString();
    // The close runs from the event loop, not from inside QSerialPort's own
    // notification that reported the error, whose notifier the close deletes.
    const std::uint64_t session = m_session;
    QMetaObject::invokeMethod(this, [this, session] { HandleLoss(session); }, Qt::QueuedConnection);
}

void TVRSComm32::HandleLoss(std::uint64_t session)
{
    if (session != m_session || !m_lossPending)
        return; // closed or reopened by the owner meanwhile
    m_lossPending = false;
    if (m_port->isOpen())
        m_port->close();
    Guarded("notice", [&] { Notice("serial port " + m_commPort + ": " + m_lastErrorText); });
    Guarded("state", [&] { ChangeState(TCommState::CommStateFailed); });
    if (m_autoReconnect && !Active() && session == m_session)
        m_reconnectTimer->start();
}

void TVRSComm32::TryReconnect()
{
    if (Active() || !m_autoReconnect) {
        m_reconnectTimer->stop();
        return;
    }
    // Quiet attempts: the state is already Failed; success reports Connected.
    Guarded("state", [&] {
        if (OpenPort())
            m_reconnectTimer->stop();
    });
}

void TVRSComm32::ChangeState(TCommState state)
{
    const TCommState before = m_state;
    m_state = state;
    if (m_recorder) {
        switch (state) {
        case TCommState::CommStateConnected: m_recorder->Opened(ReportsRingIndicator()); break;
        case TCommState::CommStateDisconnected: m_recorder->Closed(); break;
        case TCommState::CommStateFailed:
            if (before == TCommState::CommStateConnected)
                m_recorder->Lost(LastErrorText());
            else
                m_recorder->OpenFailed(LastErrorText());
            break;
        case TCommState::CommStateFirst: break;
        }
    }
    DeliverState(nullptr, state);
}

bool TVRSComm32::RingIndicator()
{
    const bool ring = ReadRingIndicator();
    if (m_recorder && Active()) {
        m_recorder->RingLine(ReportsRingIndicator());
        m_recorder->Ring(ring);
    }
    return ring;
}

bool TVRSComm32::ReadRingIndicator()
{
    if (m_innerOpen)
        return m_inner->RingIndicator();
    // A device that once said it has no lines is not asked again until it
    // is opened anew: the question is a system call (and an error text) on
    // every poll cycle.
    if (!m_portOpen || m_noRingLine)
        return false;
    m_port->clearError();
    const QSerialPort::PinoutSignals pins = m_port->pinoutSignals();
    if (m_port->error() == QSerialPort::UnsupportedOperationError) {
        // Pseudo-terminals and some USB adapters cannot report their lines
        // ("Inappropriate ioctl for device"): the ring reads as off.
        m_noRingLine = true;
        Notice("serial port " + m_commPort + " cannot report its ring indicator (" +
               m_port->errorString().toStdString() + "); it reads as off");
        m_port->clearError();
        return false;
    }
    return pins.testFlag(QSerialPort::RingIndicatorSignal);
}

bool TVRSComm32::ReportsRingIndicator() const
{
    if (m_innerOpen)
        return m_inner->ReportsRingIndicator();
    if (m_noRingLine)
        return false;
    // The AT interfaces of USB modems (ACM, or the option driver's ttyUSB)
    // carry no ring line, and a pseudo-terminal has none at all.
    const QString device = QFileInfo(QSerialPortInfo(*m_port).systemLocation()).canonicalFilePath();
    const QString name = QFileInfo(device).fileName();
    return !(name.startsWith("ttyUSB") || name.startsWith("ttyACM") || device.startsWith("/dev/pts/"));
}

bool TVRSComm32::ConfigurationDialog()
{
    return m_dialogHandler ? m_dialogHandler(*this) : false;
}

std::vector<std::string> TVRSComm32::PortList(const std::string &filter)
{
    std::vector<std::string> names;
    for (const SerialPortDetails &port : SystemSerialPorts())
        if (filter.empty() || Lower(port.name).find(Lower(filter)) != std::string::npos)
            names.push_back(port.name);
    for (const SerialPortDetails &port : SimulatedPorts())
        names.push_back(port.name);
    return names;
}
