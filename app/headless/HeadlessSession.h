#pragma once
// What a monitor without a window runs its session on: the channel (a
// serial port, the simulator or a replay, by the port's name), the top
// distributor, the timer that ticks it, and the session itself, all owned
// by one QObject.

#include "ModemSession.h"
#include "VRSComm32.h"
#include "VRynTopDistributor.h"

#include <QTimer>

#include <cstdint>
#include <memory>

struct HeadlessSession {
    // baud 0 keeps the channel's default.
    HeadlessSession(QObject *owner, ModemSessionView &view, std::int32_t baud)
        : channel(new TVRSComm32(owner))
        , top(new VRynTopDistributor(owner))
        , timer(new QTimer(owner))
    {
        if (baud > 0)
            channel->SetBaudRate(baud);
        session = std::make_unique<ModemSession>(*top, *channel, view);
    }
    HeadlessSession(const HeadlessSession &) = delete;
    HeadlessSession &operator=(const HeadlessSession &) = delete;

    void Start() { session->Start(*timer); }

    // Stops polling and closes the port; false when it was stopped already.
    bool Stop()
    {
        if (!session)
            return false;
        timer->stop();
        session.reset();
        channel->SetOnStateChange({});
        channel->StopComm();
        return true;
    }

    TVRSComm32 *channel;
    VRynTopDistributor *top;
    QTimer *timer;
    std::unique_ptr<ModemSession> session;
};
