#ifndef CBRFNFRAMER_H
#define CBRFNFRAMER_H

#include "cbrfnprotocolpacket.h"

#include <QByteArray>

// The framing with no transport behind it: every hook does nothing. Tools that
// only frame or unframe bytes (benchmarks, the fuzzer, tests) derive from it
// and override the hooks they care about.
class CBRFNFramer : public CBRFNProtocolPacket
{
protected:
    int ReadBytes(uint8_t*, int) override { return 0; }
    void WriteBytes(const uint8_t*, uint16_t) override {}
    void OnActivity(int, int) override {}
    void SpareHook() override {}
    void BeginTransmit() override {}
    void EndTransmit() override {}
};

// One packet as SendPacket frames it, as bytes.
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
    writer.SendPacket(nCommand, reinterpret_cast<const uint8_t*>(payload.constData()),
                      uint16_t(payload.size()));
    return writer.out;
}

#endif // CBRFNFRAMER_H
