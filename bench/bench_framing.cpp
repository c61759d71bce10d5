// Throughput of the receive framing over a realistic stream from the service:
// status and GPS pushes, the odd reply, and some line noise between packets.
// BM_ChecksumReference walks the same buffer with a plain byte-wise checksum
// loop and is the yardstick for BM_ProcessByte.
#include "brfncodec.h"
#include "cbrfnframer.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <random>

namespace {

class CountingFramer : public CBRFNFramer
{
public:
    int64_t nPackets = 0;
    int64_t nPayloadBytes = 0;

protected:
    void OnPacketReceived(uint16_t, const uint8_t*, uint16_t nLength) override
    {
        ++nPackets;
        nPayloadBytes += nLength;
    }
};

// About 4 MB: per simulated second one status push (82 bytes) and one GPS
// push (1208 bytes); every tenth second a reply; every seventh a burst of
// noise bytes.
const QByteArray& Stream(int64_t* pPackets = nullptr)
{
    static int64_t s_nPackets = 0;
    static const QByteArray s_stream = [] {
        std::mt19937 rng(7);
        QByteArray out;
        BRFN::CMD_DATA_CONTROL_LOOP_STATUS status;
        BRFN::CMD_DATA_GPS_STATUS gps;
        gps.nSatsInView = 12;
        for (int i = 0; i < 12; ++i)
            gps.aSats[i] = {i % 4, i + 1, i * 30, 10 + i * 6, 20 + i, i % 2 == 0};
        for (int second = 0; out.size() < 4 * 1024 * 1024; ++second) {
            status.dTimeDiff = std::uniform_real_distribution<double>(-1e-3, 1e-3)(rng);
            status.nSamples = second;
            out += FramePacket(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(status));
            gps.nGPSTime = 1700000000 + second;
            out += FramePacket(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));
            s_nPackets += 2;
            if (second % 10 == 0) {
                out += FramePacket(BRFN::CMD_NTP_CALIBRATION, BRFN::EncodeNTPValues(0, 0.0125));
                ++s_nPackets;
            }
            if (second % 7 == 0)
                for (int k = 0; k < 37; ++k)
                    out.append(char(rng() & 0xFF));
        }
        return out;
    }();
    if (pPackets)
        *pPackets = s_nPackets;
    return s_stream;
}

void BM_ProcessByte(benchmark::State& state)
{
    int64_t nSent = 0;
    const QByteArray& stream = Stream(&nSent);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(stream.constData());
    const int n = stream.size();
    CountingFramer framer;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i)
            framer.ProcessByte(p[i]);
        benchmark::DoNotOptimize(framer.nPackets);
    }
    // Noise can swallow a packet now and then; nearly all must come through.
    if (framer.nPackets < int64_t(state.iterations()) * nSent * 99 / 100)
        state.SkipWithError("packets lost in the stream");
    state.SetBytesProcessed(int64_t(state.iterations()) * n);
    state.counters["packets/s"] = benchmark::Counter(double(framer.nPackets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessByte)->Unit(benchmark::kMillisecond);

// What the client does with each read from the socket: the same stream in
// reads of 4 KiB through ProcessBytes.
void BM_ProcessBytes(benchmark::State& state)
{
    int64_t nSent = 0;
    const QByteArray& stream = Stream(&nSent);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(stream.constData());
    const int n = stream.size();
    const int nRead = 4096;
    CountingFramer framer;
    for (auto _ : state) {
        for (int i = 0; i < n; i += nRead)
            framer.ProcessBytes(p + i, size_t(std::min(nRead, n - i)));
        benchmark::DoNotOptimize(framer.nPackets);
    }
    if (framer.nPackets < int64_t(state.iterations()) * nSent * 99 / 100)
        state.SkipWithError("packets lost in the stream");
    state.SetBytesProcessed(int64_t(state.iterations()) * n);
    state.counters["packets/s"] = benchmark::Counter(double(framer.nPackets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessBytes)->Unit(benchmark::kMillisecond);

// The yardstick: one pass over the same bytes, adding each to an 8-bit sum.
void BM_ChecksumReference(benchmark::State& state)
{
    const QByteArray& stream = Stream();
    const uint8_t* p = reinterpret_cast<const uint8_t*>(stream.constData());
    const int n = stream.size();
    for (auto _ : state) {
        uint8_t nSum = 0;
        for (int i = 0; i < n; ++i)
            nSum = uint8_t(nSum + p[i]);
        benchmark::DoNotOptimize(nSum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * n);
}
BENCHMARK(BM_ChecksumReference)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
