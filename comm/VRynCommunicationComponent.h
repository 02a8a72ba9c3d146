#pragma once
// Base of every communication channel: connection state, received-data and
// state-change callbacks, and the operations through which owners open,
// close, configure and write to a channel without knowing its transport.
//
// A component is a QObject: its owner (QObject parent) frees it, and users
// that keep a pointer to it listen to destroyed() to forget it.

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>

enum class TCommState : std::uint8_t {
    CommStateFailed = 0,       // the last open failed or the connection was lost
    CommStateDisconnected = 1, // closed in an orderly way, or never opened
    CommStateConnected = 2,    // open and usable
    CommStateFirst = 3,        // nothing reported yet; also "report the present state"
};

const char *CommStateName(TCommState state);

class VRynCommunicationComponent;

// Buffer is valid only during the call; BufferLength is a 16-bit count, so a
// larger delivery arrives as several calls.
using TEventReceiveData =
    std::function<void(VRynCommunicationComponent *Sender, const std::uint8_t *Buffer, std::uint16_t BufferLength)>;
using TEventChangeState = std::function<void(QObject *Sender, TCommState State)>;
using TAdvancedEventReceiveData = std::function<void(VRynCommunicationComponent *Sender, QObject *Channel,
                                                     const std::uint8_t *Buffer, std::uint16_t BufferLength)>;
using TAdvancedEventChangeState =
    std::function<void(VRynCommunicationComponent *Sender, QObject *Channel, TCommState State)>;

class VRynCommunicationComponent : public QObject {
    Q_OBJECT
public:
    explicit VRynCommunicationComponent(QObject *owner = nullptr);
    ~VRynCommunicationComponent() override;

    bool TreatMainChannelAsNil() const { return m_treatMainChannelAsNil; }
    void SetTreatMainChannelAsNil(bool on) { m_treatMainChannelAsNil = on; }

    // Operating-system error code of the last failed open; cleared when an
    // open starts.
    std::uint32_t LastErrorCode() const { return m_lastErrorCode; }

    virtual TEventReceiveData OnReceiveData() const;
    virtual void SetOnReceiveData(TEventReceiveData handler);
    virtual TEventChangeState OnStateChange() const;
    virtual void SetOnStateChange(TEventChangeState handler);
    virtual TAdvancedEventReceiveData OnAdvancedReceiveData() const;
    virtual void SetOnAdvancedReceiveData(TAdvancedEventReceiveData handler);
    virtual TAdvancedEventChangeState OnAdvancedStateChange() const;
    virtual void SetOnAdvancedStateChange(TAdvancedEventChangeState handler);

    virtual std::string GetConfigAsString() const = 0;
    // Throws std::invalid_argument with a readable message on malformed text.
    virtual void SetConfigAsString(const std::string &config) = 0;

    virtual void DebugStep() {}
    virtual int DebugText(const std::string &) { return 0; }

    // Frees a sub-channel object handed out in the advanced events.
    virtual void ReleaseChannel(QObject *channel);

    virtual bool StartComm() = 0;
    virtual void StopComm() = 0;
    // Queues bytes for the main channel; true when accepted.
    virtual bool Send(const std::uint8_t *buffer, std::size_t length) = 0;
    bool Send(const std::string &data)
    {
        return Send(reinterpret_cast<const std::uint8_t *>(data.data()), data.size());
    }
    // Sends only when channel denotes the main channel: nil while
    // TreatMainChannelAsNil is on, this component otherwise.
    virtual bool SendToChannel(QObject *channel, const std::uint8_t *buffer, std::size_t length);
    virtual bool Active() const = 0;
    virtual TCommState GetState() const = 0;
    virtual bool ConfigurationDialog() { return true; }

protected:
    // Calls OnReceiveData, then OnAdvancedReceiveData (plain first), in
    // slices of at most 65535 bytes.
    void DeliverData(const std::uint8_t *buffer, std::size_t length);
    // channel nil means the main channel.
    void DeliverState(QObject *channel, TCommState state);
    void SetLastErrorCode(std::uint32_t code) { m_lastErrorCode = code; }

private:
    bool m_treatMainChannelAsNil = true;
    std::uint32_t m_lastErrorCode = 0;
    TEventReceiveData m_onReceiveData;
    TEventChangeState m_onStateChange;
    TAdvancedEventReceiveData m_onAdvancedReceiveData;
    TAdvancedEventChangeState m_onAdvancedStateChange;
};

// A channel that talks to one port by name and can read the modem's ring
// line: what the modem session needs of its channel.
class VRynPortComponent : public VRynCommunicationComponent {
    Q_OBJECT
public:
    using VRynCommunicationComponent::VRynCommunicationComponent;

    // Short readable notices about the port (a line the device cannot
    // report, a lost connection), meant for the user's terminal. Without a
    // handler they go to the Qt message log.
    using TPortNotice = std::function<void(const std::string &text)>;
    void SetOnNotice(TPortNotice handler) { m_onNotice = std::move(handler); }

    virtual std::string CommPort() const = 0;
    virtual void SetCommPort(const std::string &port) = 0;
    // State of the ring indicator at the moment of the call.
    virtual bool RingIndicator() = 0;
    // False when the device cannot report its ring indicator line (a USB
    // modem's ACM or serial converter interface, a pseudo-terminal): the
    // session then takes a RING line as the sign of a call.
    virtual bool ReportsRingIndicator() const { return true; }
    // Readable text of the last failure (open error, lost connection).
    virtual std::string LastErrorText() const = 0;

    // A newly attached state handler hears the present state (GetState())
    // from the event loop, once its owner has finished wiring.
    void SetOnStateChange(TEventChangeState handler) override;
    void SetOnAdvancedStateChange(TAdvancedEventChangeState handler) override;

protected:
    void Notice(const std::string &text);
    // Runs f from a Qt slot: whatever a handler throws is reported with the
    // port's name and never reaches the event loop.
    void Guarded(const char *what, const std::function<void()> &f);

private:
    void PostPresentState();

    TPortNotice m_onNotice;
};
