#ifndef CBRFNFRAMER_H
#define CBRFNFRAMER_H

#include "cbrfnprotocolpacket.h"

#include <QByteArray>

// The framing with no transport behind it: every hook does nothing. The
// stand-in service, the tests, the benchmarks and the fuzzer derive from it
// and override the hooks they care about; the panel itself does not use it.
class CBRFNFramer : public CBRFNProtocolPacket
{
public:
    // Frames one packet through WriteBytes. A payload longer than
    // MAX_TX_PAYLOAD, however long, is refused with one debug line.
    void Send(uint16_t nCommand, const QByteArray& payload)
    {
        SendPayload(nCommand, payload.constData(), size_t(payload.size()));
    }

protected:
    int ReadBytes(uint8_t*, int) override { return 0; }
    void WriteBytes(const uint8_t*, uint16_t) override {}
    void OnActivity(int, int) override {}
    void SpareHook() override {}
    void BeginTransmit() override {}
    void EndTransmit() override {}
};

// One packet as SendPacket frames it, as bytes; empty when the payload is
// refused.
inline QByteArray FramePacket(uint16_t nCommand, const QByteArray& payload)
{
    class Writer : public CBRFNFramer
    {
    public:
        QByteArray out;

    protected:
        void WriteBytes(const uint8_t* p, uint16_t n) override
        {
            out.append(reinterpret_cast<const char*>(p), n);
        }
    } writer;
    writer.Send(nCommand, payload);
    return writer.out;
}

#endif // CBRFNFRAMER_H
