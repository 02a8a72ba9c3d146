#include "VRynCommunicationComponent.h"

#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <limits>

const char *CommStateName(TCommState state)
{
    switch (state) {
    case TCommState::CommStateFailed: return "CommStateFailed";
    case TCommState::CommStateDisconnected: return "CommStateDisconnected";
    case TCommState::CommStateConnected: return "CommStateConnected";
    case TCommState::CommStateFirst: return "CommStateFirst";
    }
    return "?";
}

VRynCommunicationComponent::VRynCommunicationComponent(QObject *owner)
    : QObject(owner)
{
}

VRynCommunicationComponent::~VRynCommunicationComponent() = default;

TEventReceiveData VRynCommunicationComponent::OnReceiveData() const { return m_onReceiveData; }
void VRynCommunicationComponent::SetOnReceiveData(TEventReceiveData handler) { m_onReceiveData = std::move(handler); }
TEventChangeState VRynCommunicationComponent::OnStateChange() const { return m_onStateChange; }
void VRynCommunicationComponent::SetOnStateChange(TEventChangeState handler) { m_onStateChange = std::move(handler); }
TAdvancedEventReceiveData VRynCommunicationComponent::OnAdvancedReceiveData() const { return m_onAdvancedReceiveData; }
void VRynCommunicationComponent::SetOnAdvancedReceiveData(TAdvancedEventReceiveData handler)
{
    m_onAdvancedReceiveData = std::move(handler);
}
TAdvancedEventChangeState VRynCommunicationComponent::OnAdvancedStateChange() const { return m_onAdvancedStateChange; }
void VRynCommunicationComponent::SetOnAdvancedStateChange(TAdvancedEventChangeState handler)
{
    m_onAdvancedStateChange = std::move(handler);
}

void VRynCommunicationComponent::ReleaseChannel(QObject *channel)
{
    delete channel;
}

bool VRynCommunicationComponent::SendToChannel(QObject *channel, const std::uint8_t *buffer, std::size_t length)
{
    const bool isMain = m_treatMainChannelAsNil ? channel == nullptr : channel == this;
    return isMain && Send(buffer, length);
}

void VRynCommunicationComponent::DeliverData(const std::uint8_t *buffer, std::size_t length)
{
    constexpr std::size_t kSlice = std::numeric_limits<std::uint16_t>::max();
    if (length == 0)
        return;
    QObject *channel = m_treatMainChannelAsNil ? nullptr : this;
    std::size_t offset = 0;
    while (offset < length) {
        const auto n = static_cast<std::uint16_t>(std::min(kSlice, length - offset));
        // Copies: a handler may replace itself while it runs.
        if (auto plain = m_onReceiveData)
            plain(this, buffer + offset, n);
        if (auto advanced = m_onAdvancedReceiveData)
            advanced(this, channel, buffer + offset, n);
        offset += n;
    }
}

void VRynCommunicationComponent::DeliverState(QObject *channel, TCommState state)
{
    if (channel == nullptr) {
        if (auto plain = m_onStateChange)
            plain(this, state);
        if (!m_treatMainChannelAsNil)
            channel = this;
    }
    if (auto advanced = m_onAdvancedStateChange)
        advanced(this, channel, state);
}

void VRynPortComponent::SetOnStateChange(TEventChangeState handler)
{
    VRynCommunicationComponent::SetOnStateChange(std::move(handler));
    PostPresentState();
}

void VRynPortComponent::SetOnAdvancedStateChange(TAdvancedEventChangeState handler)
{
    VRynCommunicationComponent::SetOnAdvancedStateChange(std::move(handler));
    PostPresentState();
}

void VRynPortComponent::PostPresentState()
{
    QMetaObject::invokeMethod(
        this, [this] { Guarded("state", [this] { DeliverState(nullptr, GetState()); }); }, Qt::QueuedConnection);
}

void VRynPortComponent::Guarded(const char *what, const std::function<void()> &f)
{
    try {
        f();
    } catch (const std::exception &e) {
        qCritical("%s: %s handler failed: %s", CommPort().c_str(), what, e.what());
    } catch (...) {
        qCritical("%s: %s handler failed", CommPort().c_str(), what);
    }
}

void VRynPortComponent::Notice(const std::string &text)
{
    if (auto handler = m_onNotice)
        handler(text);
    else
        qWarning("%s", text.c_str());
}
