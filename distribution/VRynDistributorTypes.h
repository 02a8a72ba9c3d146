#pragma once
// Callback types and data records of the distributor chain.
//
// Every buffer operation takes an index = channel number * 2 + direction
// (direction 0 receive, 1 send). Channel number 0 is the communication
// handler's main channel (channel object nullptr); further channels get
// numbers 1, 2 ... in the order in which they are first seen. Callbacks
// without a Channel parameter are called for indexes 0 and 1 only.
//
// TheTime is the tick count in milliseconds: 32 bits, wrapping.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class QObject;
class VRynGeneralDistributor;
class VRynCommunicationComponent;

// A colour as 0x00BBGGRR.
using TColor = std::uint32_t;
// "No colour": a filter that has nothing to report.
inline constexpr TColor kDistributorNoColor = 0x1FFFFFFF;

inline constexpr int kDirectionReceive = 0;
inline constexpr int kDirectionSend = 1;

// Writing this interval to SetTimeout disarms the time-out.
inline constexpr std::uint32_t kTimeoutDisarm = 0xFFFFFFFF;

struct VRynDistributor_ChannelRecord;
using PVRynDistributor_ChannelRecord = VRynDistributor_ChannelRecord *;

using TDistributorPollProc = std::function<void(VRynGeneralDistributor *Sender, std::uint32_t &TheTime)>;
using TDistributorAdvancedPollProc =
    std::function<void(VRynGeneralDistributor *Sender, QObject *Channel, std::uint32_t &TheTime)>;
using TDistributorDataProc = std::function<void(VRynGeneralDistributor *Sender, std::uint32_t &TheTime,
                                                const std::string &Data, bool &processed)>;
using TDistributorAdvancedDataProc =
    std::function<void(VRynGeneralDistributor *Sender, QObject *Channel, std::uint32_t &TheTime,
                       const std::string &Data, bool &processed)>;
using TDistributorCharProc = std::function<void(VRynGeneralDistributor *Sender, std::uint32_t &TheTime, char Data)>;
using TDistributorAdvancedCharProc =
    std::function<void(VRynGeneralDistributor *Sender, QObject *Channel, std::uint32_t &TheTime, char Data)>;
// failed: this distributor's own decoded length differs from the message
// transferred (another decoder's shorter message won, or nobody decoded).
using TDistributorTransferProc =
    std::function<void(VRynGeneralDistributor *Sender, std::uint32_t TheTime, const std::string &Data,
                       VRynGeneralDistributor *Lowest, bool failed)>;
using TDistributorAdvancedTransferProc =
    std::function<void(VRynGeneralDistributor *Sender, QObject *Channel, std::uint32_t &TheTime,
                       const std::string &Data, VRynGeneralDistributor *Lowest, bool failed)>;
// rec is valid during the call only.
using TDistributorChannelProc = std::function<void(VRynGeneralDistributor *Sender, QObject *Channel,
                                                   PVRynDistributor_ChannelRecord rec, std::uint32_t TheTime)>;
using TDistributorAdvancedGetColorProc =
    std::function<void(VRynGeneralDistributor *Sender, QObject *Channel, const std::string &Data,
                       std::uint32_t TheTime, TColor &FilterColor)>;
using TDistributorConfigLineProc =
    std::function<void(VRynGeneralDistributor *Sender, int code, const std::string &key, const std::string &value,
                       bool &processed)>;
using TDistributorUpdateComHandlerProc =
    std::function<void(VRynGeneralDistributor *Sender, VRynCommunicationComponent *&handler, QObject *&channel)>;
using TDistributorUpdateComSendRecvProc = std::function<void(QObject *&Sender, QObject *&channel)>;
using TDistributorExceptionProc =
    std::function<void(VRynGeneralDistributor *Sender, const std::exception &e, int cbackid, bool &Handled)>;
// A registered timer's callback.
using TDistributorTimerProc = std::function<void(VRynGeneralDistributor *Sender)>;

// The cbackid handed to OnCallbackException: which callback raised.
enum TDistributorCallbackId : int {
    dcbTimerPoll = 1,
    dcbTimeout,
    dcbRegisteredTimer,
    dcbDecode,
    dcbAdvancedDecode,
    dcbAdvancedComDecode,
    dcbGetColor,
    dcbCharPoll,
    dcbAdvancedCharPoll,
    dcbTransfer,
    dcbAdvancedTransfer,
    dcbPoll,
    dcbAdvancedPoll,
    dcbConfigLine,
    dcbUpdateHandler,
    dcbUpdateComReceive,
    dcbUpdateComSend,
};

// Per distributor, direction and channel.
struct VRynDistributor_ChannelRecord {
    // Bytes at the head of the buffer recognised as one message in the
    // current decode phase; 0 = none.
    int DecodedLength = 0;
    // Set at the start of every decode phase; the decoder clears it when its
    // decoded length is settled for good.
    bool DecodePending = false;
    TColor FilterColor = kDistributorNoColor;
    TColor ReportedFilterColor = kDistributorNoColor;
};

// The callbacks of one direction of one distributor, and its channel records.
struct VRynDistributor_DataRecord {
    TDistributorPollProc OnDecode;
    TDistributorTransferProc OnTransfer;
    TDistributorDataProc OnPoll;
    TDistributorCharProc OnCharPoll;
    TDistributorAdvancedPollProc OnAdvancedDecode;
    TDistributorAdvancedTransferProc OnAdvancedTransfer;
    TDistributorAdvancedDataProc OnAdvancedPoll;
    TDistributorAdvancedCharProc OnAdvancedCharPoll;
    TDistributorAdvancedGetColorProc OnAdvancedGetColor;
    // One per channel number; as long as the top's channel count while the
    // distributor hangs in a chain, 1 otherwise.
    std::vector<VRynDistributor_ChannelRecord> Channels = std::vector<VRynDistributor_ChannelRecord>(1);
    // Set while one of this record's pipeline callbacks runs.
    bool Polling = false;
    // A disabled record is skipped, with its sub-chain, by every pipeline phase.
    bool Enabled = true;
};

// Held by the top only, two per channel number (receive, send). The live
// bytes are Buffer[Head..]: cutting a message only moves Head, and the
// consumed head is dropped once it outweighs the rest, so cutting costs
// O(message) amortised.
struct VRynDistributor_TopDataRecord {
    std::string Buffer;
    std::size_t Head = 0;
    QObject *Channel = nullptr;
    // True once DeleteChannel released the channel; cleared whenever it is used.
    bool Freed = false;
    // True while a pipeline pass runs on this index: a nested pass request
    // only appends, and the running pass picks the new bytes up.
    bool InPass = false;
    // Bytes cut by anyone but a pass's own cut (CutComBuffer,
    // DeleteChannel(nullptr)); a pass subtracts what was cut under it from
    // its message, so no byte is cut twice.
    std::uint64_t ExternallyCut = 0;
};
