#pragma once
// Common base of the distributor chain: every callback property, the
// per-distributor buffer state (decoded length, decode pending, filter
// colours), the time-out, registered timers and deferred freeing.
//
// A distributor's callbacks are called with the distributor as Sender; inside
// them the application calls the buffer operations on Sender. Everything
// runs on the GUI thread.

#include "VRynDistributorTypes.h"

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class VRynDistributor;
class VRynTopDistributor;

class VRynGeneralDistributor : public QObject {
    Q_OBJECT
public:
    explicit VRynGeneralDistributor(QObject *owner = nullptr);
    ~VRynGeneralDistributor() override;

    // True when now lies more than interval milliseconds after start on the
    // wrapping 32-bit tick count. A now before start counts as elapsed,
    // except where the counter wrapped (start in the upper half, now in the
    // lower), where the modular difference decides.
    static bool Elapsed(std::uint32_t start, std::uint32_t interval, std::uint32_t now);
    // True when start lies after now (within half the counter's range): a
    // time-out or timer armed later than the time a walk runs with, as in a
    // pass that a nested tick overtook. Elapsed counts such a start as
    // elapsed; the walks leave it for a later tick.
    static bool ArmedAfter(std::uint32_t start, std::uint32_t now);

    // The head of the chain; nullptr when the chain does not lead to a top.
    virtual VRynTopDistributor *TopDistributor() = 0;
    // The parent in the chain; nullptr for a top or a detached element.
    virtual VRynGeneralDistributor *ParentDistributor() const { return nullptr; }
    const std::vector<VRynDistributor *> &Children() const { return m_children; }

    // Buffer operations. An index beyond the channel records is refused
    // through the debug check ("Tohle musis opravit").
    // The live unconsumed bytes of index, held by the top; valid until the
    // buffer next changes. Throws RynException when the chain has no top.
    virtual std::string_view GetComBuffer(int index);
    virtual int GetDecodedLength(int index);
    // A negative count is refused through the debug check ("ses peknej jeliman").
    virtual void SetDecodedLength(int index, int count);
    virtual bool GetDecodePending(int index);
    virtual void SetDecodePending(int index, bool value);
    // The same with a channel object and a direction; the channel is added to
    // the top when it is new.
    std::string_view GetComBuffer(QObject *Channel, int direction);
    int GetDecodedLength(QObject *Channel, int direction);
    void SetDecodedLength(QObject *Channel, int direction, int count);
    bool GetDecodePending(QObject *Channel, int direction);
    void SetDecodePending(QObject *Channel, int direction, bool value);

    // The filter colour of (direction, Channel) when it changed since last
    // asked, else kDistributorNoColor: each change is reported once.
    TColor GetFilterColor(int direction, QObject *Channel);

    // Sends with this distributor's current time as TheTime.
    void SendComData(const std::string &Data);
    // Forward to the top; throw RynException when the chain has none.
    virtual void SendComData(std::uint32_t &TheTime, const std::string &Data);
    virtual void SendComData(QObject *Channel, std::uint32_t &TheTime, const std::string &Data);

    // Deferred freeing: Release frees at once when unlocked, else at the last
    // Unlock. The chain locks a distributor while its callbacks run, so a
    // callback may Release its own Sender.
    void Lock();
    void Unlock();
    void Release();
    int LockCount() const { return m_lockCount; }

    // Time-out: arms with start := the clock read now (not the current time
    // of the last walk); kTimeoutDisarm disarms. RegisterTimer starts so too.
    void SetTimeout(std::uint32_t intervalMs);
    bool TimeoutArmed() const { return m_timeoutArmed; }
    // TheTime of the call in progress (or of the last one).
    std::uint32_t CurrentTime() const { return m_currentTime; }
    std::uint32_t &CurrentTimeRef() { return m_currentTime; }

    // Registered timers, keyed by the caller (usually its this pointer).
    // Registering a listed key updates its start, interval, repeat flag and
    // callback.
    void RegisterTimer(const void *key, TDistributorTimerProc callback, std::uint32_t intervalMs, bool repeat);
    void UnregisterTimer(const void *key);
    int RegisteredTimerCount() const { return int(m_timers.size()); }

    // Hands a configuration line to OnConfigLinePoll of this distributor and
    // its sub-chain (parent first); true when one of them processed it.
    bool PollConfigLine(int code, const std::string &key, const std::string &value);

    // Direction 0 or 1; the record's callbacks are the Recv/Send properties.
    VRynDistributor_DataRecord &DataRecord(int direction);
    bool IsDirectionEnabled(int direction) const;
    void SetDirectionEnabled(int direction, bool on);

    bool GlobalEnabled() const { return m_globalEnabled; }
    void SetGlobalEnabled(bool on) { m_globalEnabled = on; }

    // Callback properties.
    TDistributorPollProc OnTimerPoll() const { return m_onTimerPoll; }
    void SetOnTimerPoll(TDistributorPollProc f);
    TDistributorPollProc OnTimeout() const { return m_onTimeout; }
    void SetOnTimeout(TDistributorPollProc f) { m_onTimeout = std::move(f); }

    TDistributorPollProc OnComRecvDecode() const { return m_data[0].OnDecode; }
    void SetOnComRecvDecode(TDistributorPollProc f) { m_data[0].OnDecode = std::move(f); }
    TDistributorDataProc OnComRecvPoll() const { return m_data[0].OnPoll; }
    void SetOnComRecvPoll(TDistributorDataProc f) { m_data[0].OnPoll = std::move(f); }
    TDistributorCharProc OnComRecvCharPoll() const { return m_data[0].OnCharPoll; }
    void SetOnComRecvCharPoll(TDistributorCharProc f) { m_data[0].OnCharPoll = std::move(f); }
    TDistributorTransferProc OnComRecvTransfer() const { return m_data[0].OnTransfer; }
    void SetOnComRecvTransfer(TDistributorTransferProc f) { m_data[0].OnTransfer = std::move(f); }
    TDistributorPollProc OnComSendDecode() const { return m_data[1].OnDecode; }
    void SetOnComSendDecode(TDistributorPollProc f) { m_data[1].OnDecode = std::move(f); }
    TDistributorDataProc OnComSendPoll() const { return m_data[1].OnPoll; }
    void SetOnComSendPoll(TDistributorDataProc f) { m_data[1].OnPoll = std::move(f); }
    TDistributorCharProc OnComSendCharPoll() const { return m_data[1].OnCharPoll; }
    void SetOnComSendCharPoll(TDistributorCharProc f) { m_data[1].OnCharPoll = std::move(f); }
    TDistributorTransferProc OnComSendTransfer() const { return m_data[1].OnTransfer; }
    void SetOnComSendTransfer(TDistributorTransferProc f) { m_data[1].OnTransfer = std::move(f); }

    TDistributorChannelProc OnAdvancedComDecode() const { return m_onAdvancedComDecode; }
    void SetOnAdvancedComDecode(TDistributorChannelProc f) { m_onAdvancedComDecode = std::move(f); }
    TDistributorAdvancedPollProc OnAdvancedRecvDecode() const { return m_data[0].OnAdvancedDecode; }
    void SetOnAdvancedRecvDecode(TDistributorAdvancedPollProc f) { m_data[0].OnAdvancedDecode = std::move(f); }
    TDistributorAdvancedDataProc OnAdvancedRecvPoll() const { return m_data[0].OnAdvancedPoll; }
    void SetOnAdvancedRecvPoll(TDistributorAdvancedDataProc f) { m_data[0].OnAdvancedPoll = std::move(f); }
    TDistributorAdvancedCharProc OnAdvancedRecvCharPoll() const { return m_data[0].OnAdvancedCharPoll; }
    void SetOnAdvancedRecvCharPoll(TDistributorAdvancedCharProc f) { m_data[0].OnAdvancedCharPoll = std::move(f); }
    TDistributorAdvancedTransferProc OnAdvancedRecvTransfer() const { return m_data[0].OnAdvancedTransfer; }
    void SetOnAdvancedRecvTransfer(TDistributorAdvancedTransferProc f) { m_data[0].OnAdvancedTransfer = std::move(f); }
    TDistributorAdvancedGetColorProc OnAdvancedRecvGetColor() const { return m_data[0].OnAdvancedGetColor; }
    void SetOnAdvancedRecvGetColor(TDistributorAdvancedGetColorProc f) { m_data[0].OnAdvancedGetColor = std::move(f); }
    TDistributorAdvancedPollProc OnAdvancedSendDecode() const { return m_data[1].OnAdvancedDecode; }
    void SetOnAdvancedSendDecode(TDistributorAdvancedPollProc f) { m_data[1].OnAdvancedDecode = std::move(f); }
    TDistributorAdvancedDataProc OnAdvancedSendPoll() const { return m_data[1].OnAdvancedPoll; }
    void SetOnAdvancedSendPoll(TDistributorAdvancedDataProc f) { m_data[1].OnAdvancedPoll = std::move(f); }
    TDistributorAdvancedCharProc OnAdvancedSendCharPoll() const { return m_data[1].OnAdvancedCharPoll; }
    void SetOnAdvancedSendCharPoll(TDistributorAdvancedCharProc f) { m_data[1].OnAdvancedCharPoll = std::move(f); }
    TDistributorAdvancedTransferProc OnAdvancedSendTransfer() const { return m_data[1].OnAdvancedTransfer; }
    void SetOnAdvancedSendTransfer(TDistributorAdvancedTransferProc f) { m_data[1].OnAdvancedTransfer = std::move(f); }
    TDistributorAdvancedGetColorProc OnAdvancedSendGetColor() const { return m_data[1].OnAdvancedGetColor; }
    void SetOnAdvancedSendGetColor(TDistributorAdvancedGetColorProc f) { m_data[1].OnAdvancedGetColor = std::move(f); }

    TDistributorConfigLineProc OnConfigLinePoll() const { return m_onConfigLinePoll; }
    void SetOnConfigLinePoll(TDistributorConfigLineProc f) { m_onConfigLinePoll = std::move(f); }
    // Handled true swallows the callback's exception; otherwise it goes on
    // to whoever started the pass.
    TDistributorExceptionProc OnCallbackException() const { return m_onCallbackException; }
    void SetOnCallbackException(TDistributorExceptionProc f) { m_onCallbackException = std::move(f); }

protected:
    friend class VRynTopDistributor;
    friend class VRynDistributor;

    // Drops the timer callbacks and registered timers and detaches every
    // child, last first. Called by the most derived destructor.
    void BeforeDestruction();

    // Runs f (a callback of this distributor) locked, reporting a
    // std::exception through OnCallbackException. Returns false when the
    // distributor was destroyed meanwhile. Rethrows an unhandled exception.
    // pollingDirection >= 0 marks that data record as polling meanwhile; a
    // non-null polledTime applies the polling/re-entry rule of timer
    // callbacks (a re-entry refreshes *polledTime and the current time).
    // Defined in VRynDistributorInvoke.h, used inside this library only.
    template <typename F>
    static bool Invoke(VRynGeneralDistributor *d, int cbackid, int pollingDirection, std::uint32_t *polledTime, F &&f);

    // The tick's walks over this distributor and its sub-chain.
    void TimerPollWalk(std::uint32_t &TheTime);
    void TimeoutWalk(std::uint32_t &TheTime);
    void RegisteredTimersWalk(std::uint32_t &TheTime);

    std::uint32_t FreshTickCount();
    // Tells the top that a tick may be due sooner than it planned.
    void NotifyTickNeed();
    // Throws when the chain has no top.
    VRynTopDistributor *RequireTop(const char *operation);
    // The channel record of index, or nullptr after the debug check refused it.
    VRynDistributor_ChannelRecord *Record(int index);
    void ClearCachedTopInSubChain();
    void ResizeChannelRecordsInSubChain(std::size_t count);
    void ReportDestructionWarning(const std::string &message);

    std::vector<VRynDistributor *> m_children;
    VRynTopDistributor *m_cachedTop = nullptr;
    VRynDistributor_DataRecord m_data[2];

private:
    struct TimerEntry {
        const void *key = nullptr;
        TDistributorTimerProc callback;
        std::uint32_t start = 0;
        std::uint32_t interval = 0;
        bool repeat = false;
    };

    bool m_globalEnabled = true;
    std::uint32_t m_currentTime = 0;
    bool m_timeoutArmed = false;
    std::uint32_t m_timeoutStart = 0;
    std::uint32_t m_timeoutInterval = 0;
    bool m_polling = false;
    bool m_reentry = false;
    std::vector<TimerEntry> m_timers;
    // Bumped on every register/unregister, so a timer pass notices a
    // callback that changed the list under it.
    std::uint64_t m_timerListVersion = 0;
    int m_lockCount = 0;
    bool m_freePending = false;

    TDistributorPollProc m_onTimerPoll;
    TDistributorPollProc m_onTimeout;
    TDistributorChannelProc m_onAdvancedComDecode;
    TDistributorConfigLineProc m_onConfigLinePoll;
    TDistributorExceptionProc m_onCallbackException;
};
