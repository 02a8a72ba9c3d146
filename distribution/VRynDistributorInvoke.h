#pragma once
// How the chain calls an application callback; internal to the library.

#include "VRynGeneralDistributor.h"

#include <QPointer>

#include <exception>

template <typename F>
bool VRynGeneralDistributor::Invoke(VRynGeneralDistributor *d, int cbackid, int pollingDirection,
                                    std::uint32_t *polledTime, F &&f)
{
    // Locked while the callback runs, so Release() from inside it defers the
    // free to the Unlock below; a plain delete is noticed through the guard.
    QPointer<VRynGeneralDistributor> alive(d);
    d->Lock();
    bool previousRecordPolling = false;
    if (pollingDirection >= 0) {
        previousRecordPolling = d->m_data[pollingDirection].Polling;
        d->m_data[pollingDirection].Polling = true;
    }
    if (polledTime != nullptr)
        d->m_polling = true;

    auto finish = [&] {
        if (!alive)
            return;
        if (pollingDirection >= 0)
            d->m_data[pollingDirection].Polling = previousRecordPolling;
        if (polledTime != nullptr) {
            if (d->m_reentry) {
                d->m_reentry = false;
                *polledTime = d->FreshTickCount();
                d->m_currentTime = *polledTime;
            }
            d->m_polling = false;
        }
        d->Unlock(); // may free d
    };

    try {
        f();
    } catch (const std::exception &e) {
        bool handled = false;
        if (alive) {
            if (auto handler = d->m_onCallbackException) {
                try {
                    handler(d, e, cbackid, handled);
                } catch (...) {
                    finish();
                    throw;
                }
            }
        }
        finish();
        if (!handled)
            throw;
        return !alive.isNull();
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return !alive.isNull();
}
