// One burst of 40-byte CR-terminated lines, as a channel delivers it (in
// 16-bit slices), through a top distributor whose decoder cuts at the first
// CR, as the main window's does. Each line reaches the receive poll.
//
//   bench_pipeline --benchmark_format=json

#include "VRynCommunicationComponent.h"
#include "VRynTopDistributor.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

constexpr std::size_t kLineLength = 40;

// The least channel that delivers bytes the way every channel does.
class BurstChannel : public VRynCommunicationComponent {
public:
    std::string GetConfigAsString() const override { return {}; }
    void SetConfigAsString(const std::string &) override {}
    bool StartComm() override { return true; }
    void StopComm() override {}
    bool Send(const std::uint8_t *, std::size_t) override { return true; }
    using VRynCommunicationComponent::Send;
    bool Active() const override { return true; }
    TCommState GetState() const override { return TCommState::CommStateConnected; }
    void Deliver(const std::string &bytes)
    {
        DeliverData(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    }
};

std::string MakeBurst(std::size_t size)
{
    std::string burst;
    burst.reserve(size);
    for (std::size_t line = 0; burst.size() < size; ++line) {
        std::string text = "+CSQ: " + std::to_string(line % 32) + ",99 ";
        text.resize(kLineLength - 1, 'x');
        text.push_back('\r');
        burst += text;
    }
    burst.resize(size);
    return burst;
}

void CrDecode(VRynGeneralDistributor *sender, std::uint32_t &)
{
    const std::string_view buffer = sender->GetComBuffer(0);
    const auto p = buffer.find('\r');
    if (p == std::string_view::npos)
        return;
    sender->SetDecodedLength(0, int(p + 1));
    sender->SetDecodePending(0, false);
}

void BM_PipelineBurst(benchmark::State &state)
{
    const std::string burst = MakeBurst(std::size_t(state.range(0)));
    BurstChannel channel;
    VRynTopDistributor top;
    top.SetComHandler(&channel);
    top.SetOnComRecvDecode(&CrDecode);
    std::size_t bytes = 0;
    std::size_t messages = 0;
    top.SetOnComRecvPoll([&](VRynGeneralDistributor *, std::uint32_t &, const std::string &data, bool &processed) {
        if (processed)
            return;
        processed = true;
        bytes += data.size();
        ++messages;
    });
    for (auto _ : state)
        channel.Deliver(burst);

    const std::size_t pushed = std::size_t(state.iterations()) * burst.size();
    const std::size_t held = top.GetComBuffer(0).size();
    if (bytes + held != pushed)
        state.SkipWithError("bytes lost or duplicated");
    state.SetBytesProcessed(std::int64_t(pushed));
    state.counters["messages"] = benchmark::Counter(double(messages), benchmark::Counter::kIsRate);
    top.SetComHandler(nullptr);
}

BENCHMARK(BM_PipelineBurst)->Arg(64 * 1024)->Arg(8 * 1024 * 1024)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
