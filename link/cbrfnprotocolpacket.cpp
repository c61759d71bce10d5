#include "cbrfnprotocolpacket.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

// Every state but the payload (state 8 is handled inline by ProcessByte).
void CBRFNProtocolPacket::ProcessHeaderByte(uint8_t byte)
{
    switch (m_nRxState) {
    case 0:
        OnActivity(0, DIRECTION_RX);
        if (byte == SYNC_BYTE_1)
            m_nRxState = 1;
        break;
    case 1:
        // Any other byte is consumed here: "42 42 52" does not start a packet.
        if (byte == SYNC_BYTE_2) {
            OnActivity(1, DIRECTION_RX);
            m_nRxChecksum = 0;
            m_nRxState = 2;
        } else {
            m_nRxState = 0;
        }
        break;
    case 2:
    case 3:
        m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
        ++m_nRxState;
        break;
    case 4:
        m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
        m_nRxCommand = uint16_t(byte << 8);
        m_nRxState = 5;
        break;
    case 5:
        m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
        m_nRxCommand = uint16_t(m_nRxCommand | byte);
        m_nRxState = 6;
        break;
    case 6:
        m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
        m_nRxLength = uint16_t(byte << 8);
        m_nRxState = 7;
        break;
    case 7:
        m_nRxChecksum = uint8_t(m_nRxChecksum + byte);
        m_nRxLength = uint16_t(m_nRxLength | byte);
        // The length is checked before any payload byte is stored, so the
        // buffer always has room for the payload.
        if (m_nRxLength > MAX_RX_PAYLOAD) {
            m_nRxState = 0;
        } else if (m_nRxLength == 0) {
            m_nRxState = 9;
        } else {
            m_nRxCount = 0;
            m_nRxState = 8;
        }
        break;
    case 9:
        if (byte == m_nRxChecksum) {
            OnPacketReceived(m_nRxCommand, reinterpret_cast<const uint8_t*>(m_aRxBuffer),
                             uint16_t(m_nRxLength));
            OnActivity(0, DIRECTION_RX);
        }
        m_nRxState = 0;
        break;
    default:
        m_nRxState = 0;
        break;
    }
}

void CBRFNProtocolPacket::ProcessBytes(const uint8_t* pData, size_t nCount)
{
    size_t i = 0;
    while (i < nCount) {
        if (m_nRxState == 8) {
            const size_t nRun = std::min<size_t>(nCount - i, size_t(m_nRxLength - m_nRxCount));
            std::memcpy(m_aRxBuffer + m_nRxCount, pData + i, nRun);
            uint8_t nSum = m_nRxChecksum;
            for (size_t k = 0; k < nRun; ++k)
                nSum = uint8_t(nSum + pData[i + k]);
            m_nRxChecksum = nSum;
            m_nRxCount = uint32_t(m_nRxCount + nRun);
            i += nRun;
            if (m_nRxCount >= m_nRxLength)
                m_nRxState = 9;
        } else {
            ProcessHeaderByte(pData[i++]);
        }
    }
}

void CBRFNProtocolPacket::SendPayload(uint16_t nCommand, const void* pPayload, size_t nLength)
{
    if (nLength > size_t(MAX_TX_PAYLOAD)) {
        qDebug() << "CBRFNProtocolPacket::SendPacket(): payload too long, not sent:" << quint64(nLength);
        return;
    }
    SendPacket(nCommand, static_cast<const uint8_t*>(pPayload), uint16_t(nLength));
}

void CBRFNProtocolPacket::SendPacket(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    if (nLength > MAX_TX_PAYLOAD) {
        qDebug() << "CBRFNProtocolPacket::SendPacket(): payload too long, not sent:" << nLength;
        return;
    }
    BeginTransmit();
    OnActivity(1, DIRECTION_TX);

    uint8_t aBuffer[HEADER_SIZE + MAX_TX_PAYLOAD + 1];
    aBuffer[0] = SYNC_BYTE_1;
    aBuffer[1] = SYNC_BYTE_2;
    aBuffer[2] = 0;
    aBuffer[3] = 0;
    aBuffer[4] = uint8_t(nCommand >> 8);
    aBuffer[5] = uint8_t(nCommand & 0xFF);
    aBuffer[6] = uint8_t(nLength >> 8);
    aBuffer[7] = uint8_t(nLength & 0xFF);
    if (nLength > 0)
        std::memcpy(aBuffer + HEADER_SIZE, pPayload, nLength);

    uint8_t nChecksum = 0;
    for (int i = 2; i < HEADER_SIZE + nLength; ++i)
        nChecksum = uint8_t(nChecksum + aBuffer[i]);
    aBuffer[HEADER_SIZE + nLength] = nChecksum;

    WriteBytes(aBuffer, uint16_t(nLength + HEADER_SIZE + 1));
    OnActivity(0, DIRECTION_TX);
    EndTransmit();
}

void CBRFNProtocolPacket::OnPacketReceived(uint16_t, const uint8_t*, uint16_t) {}
