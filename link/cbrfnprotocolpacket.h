#ifndef CBRFNPROTOCOLPACKET_H
#define CBRFNPROTOCOLPACKET_H

#include <cstddef>
#include <cstdint>

// Transport-independent framing of the service link.
//
// Packet on the wire (big-endian):
//   0x42 0x52 | reserved u16 | command u16 | length u16 | payload[length] | checksum u8
// The checksum is the low byte of the sum of every byte from the reserved field
// up to the last payload byte; the sync bytes are not summed. A packet is
// length + 9 bytes long.
//
// A derived class provides the transport (WriteBytes) and receives complete
// packets (OnPacketReceived). Bytes are fed one at a time to ProcessByte;
// nothing is allocated on either path.
class CBRFNProtocolPacket
{
public:
    enum : int
    {
        SYNC_BYTE_1 = 0x42,
        SYNC_BYTE_2 = 0x52,
        HEADER_SIZE = 8,
        MAX_RX_PAYLOAD = 16384, // a longer announced length abandons the packet
        MAX_TX_PAYLOAD = 4096,  // the send buffer's room for payload
    };
    enum : int
    {
        DIRECTION_RX = 1,
        DIRECTION_TX = 2
    };

    CBRFNProtocolPacket() = default;
    virtual ~CBRFNProtocolPacket() = default;
    CBRFNProtocolPacket(const CBRFNProtocolPacket&) = delete;
    CBRFNProtocolPacket& operator=(const CBRFNProtocolPacket&) = delete;

    // Feeds one received byte to the receive state machine. Payload bytes, the
    // bulk of any stream, take the inline path; the rest goes out of line.
    void ProcessByte(uint8_t byte)
    {
        if (m_nRxState == 8) {
            m_aRxBuffer[m_nRxCount++] = byte;
            m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
            if (m_nRxCount >= m_nRxLength)
                m_nRxState = 9;
            return;
        }
        ProcessHeaderByte(byte);
    }

    // The same as ProcessByte on each of the nCount bytes in turn; runs of
    // payload bytes are copied in one piece.
    void ProcessBytes(const uint8_t* pData, size_t nCount);

    // Frames a packet and hands it to WriteBytes in one piece. A payload longer
    // than MAX_TX_PAYLOAD is not sent (one debug line).
    void SendPacket(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength);

    // Receive state: 0 hunting, 1 second sync, 2-3 reserved, 4-5 command,
    // 6-7 length, 8 payload, 9 checksum.
    int ReceiveState() const { return m_nRxState; }

protected:
    // SendPacket for a payload whose length is held in a wider type. One of
    // 65,536 bytes or more would reach SendPacket with its length wrapped to
    // 16 bits and go out cut short; like every payload longer than
    // MAX_TX_PAYLOAD it is refused (one debug line).
    void SendPayload(uint16_t nCommand, const void* pPayload, size_t nLength);

    // Transport hooks, in slot order.
    virtual int ReadBytes(uint8_t* pBuffer, int nCount) = 0;
    virtual void WriteBytes(const uint8_t* pData, uint16_t nCount) = 0;
    // nActive is 1 when a packet starts and 0 when the link is idle again;
    // nDirection is DIRECTION_RX or DIRECTION_TX.
    virtual void OnActivity(int nActive, int nDirection) = 0;
    // A complete packet with a correct checksum. pPayload points into the
    // receive buffer and is valid only during the call.
    virtual void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength);
    virtual void SpareHook() = 0;
    virtual void BeginTransmit() = 0;
    virtual void EndTransmit() = 0;

private:
    void ProcessHeaderByte(uint8_t byte);

    int32_t m_nRxState = 0;
    uint16_t m_nRxCommand = 0;
    // Announced payload length and bytes stored so far: 16-bit quantities on
    // the wire, held in 32 bits because 16-bit loads and stores in the payload
    // path cost more than twice the time per byte on this hardware.
    uint32_t m_nRxLength = 0;
    uint32_t m_nRxCount = 0;
    uint8_t m_nRxChecksum = 0;
    uint8_t m_aRxBuffer[MAX_RX_PAYLOAD] = {};
};

#endif // CBRFNPROTOCOLPACKET_H
