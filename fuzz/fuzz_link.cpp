// libFuzzer target: arbitrary bytes from the service through the framing and
// every decoder.
//
// Each input is used twice:
//  - as a received TCP stream, fed byte by byte to a real CBRFNProtocolQt, whose
//    dispatcher decodes every packet that passes the checksum (the client keeps
//    its framing and history state across inputs, as it does across reads);
//  - as (command, payload): framed with a correct checksum and fed to the same
//    client, so that its dispatcher sees every command without the fuzzer
//    having to find a checksum, and handed straight to every decoder with
//    every length up to the receive limit;
//  - differentially: one framer fed byte by byte with ProcessByte, another fed
//    in pieces with ProcessBytes, must deliver the same packets.
#include "brfncodec.h"
#include "cbrfnframer.h"
#include "cbrfnprotocolqt.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

CBRFNProtocolQt* Client()
{
    static int argc = 1;
    static char name[] = "fuzz_link";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static CBRFNProtocolQt client; // never connects: no event loop runs
    return &client;
}

// Remembers a digest of every packet it delivers.
class DigestFramer : public CBRFNFramer
{
public:
    uint64_t nDigest = 1469598103934665603ull;
    int nPackets = 0;

protected:
    void OnPacketReceived(uint16_t nCommand, const uint8_t* p, uint16_t n) override
    {
        ++nPackets;
        Mix(nCommand);
        Mix(n);
        for (uint16_t i = 0; i < n; ++i)
            Mix(p[i]);
    }

private:
    void Mix(uint64_t v) { nDigest = (nDigest ^ v) * 1099511628211ull; }
};

void CompareFeeds(const uint8_t* data, size_t size)
{
    static DigestFramer s_bytewise, s_chunked; // state carries across inputs
    for (size_t i = 0; i < size; ++i)
        s_bytewise.ProcessByte(data[i]);
    // Piece sizes come from the data itself: 1..64 bytes.
    for (size_t i = 0; i < size;) {
        const size_t n = std::min<size_t>(size - i, size_t(data[i] & 0x3F) + 1);
        s_chunked.ProcessBytes(data + i, n);
        i += n;
    }
    if (s_bytewise.nDigest != s_chunked.nDigest || s_bytewise.nPackets != s_chunked.nPackets ||
        s_bytewise.ReceiveState() != s_chunked.ReceiveState())
        __builtin_trap();
}

void DecodeAll(const uint8_t* p, int n)
{
    volatile double sink = 0;
    BRFN::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
    BRFN::LOG_REPLY reply;
    double a = 0, b = 0;
    sink = sink + BRFN::DecodeMessage(p, n).size();
    sink = sink + BRFN::DecodeCommPort(p, n).nBaud;
    sink = sink + BRFN::DecodeTimeDiffOffset(p, n).dTimeDiffOffset;
    sink = sink + BRFN::DecodeControlLoopStatus(p, n).dStdDev2;
    const BRFN::CMD_DATA_GPS_STATUS gps = BRFN::DecodeGPSStatus(p, n);
    sink = sink + gps.aSats[95].nSNR + gps.nGPSTime;
    sink = sink + BRFN::DecodeLoopParameters(p, n).bLoopEnabled;
    sink = sink + BRFN::DecodeGPSLockConfig(p, n).nDelay;
    BRFN::DecodeHistory(p, n, history);
    for (int i = 0; i < history.nCount; ++i) // nCount must stay within the array
        sink = sink + history.aEntries[i].nSamples;
    if (history.nCount < 0 || history.nCount > BRFN::MAX_HISTORY_ENTRIES)
        __builtin_trap();
    if (BRFN::DecodeLogReply(p, n, reply))
        sink = sink + reply.strFileName.size();
    BRFN::DecodeNTPValues(p, n, a, b);
    sink = sink + a + b + BRFN::DecodeNTPAddress(p, n).size() + BRFN::DecodeLogStartFileName(p, n).size();
    (void)sink;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(Quiet);
    Client();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBRFNProtocolQt* client = Client();
    client->ProcessBytes(data, size);
    CompareFeeds(data, size);

    if (size >= 2) {
        const uint16_t nCommand = uint16_t(data[0] << 8 | data[1]);
        const uint8_t* p = data + 2;
        const int n = int(size - 2 > 16384 ? 16384 : size - 2);
        const QByteArray packet =
            FramePacket(nCommand, QByteArray(reinterpret_cast<const char*>(p),
                                             std::min(n, int(CBRFNFramer::MAX_TX_PAYLOAD))));
        client->ProcessBytes(reinterpret_cast<const uint8_t*>(packet.constData()), size_t(packet.size()));
        DecodeAll(p, n);
    }
    return 0;
}
