#ifndef PACKETLOG_H
#define PACKETLOG_H

// Either end of the service link as the tests play it: the link's framing over
// a real socket, and a log of every packet that passes, both ways.

#include "cbrfnframer.h"

#include <QAbstractSocket>
#include <QByteArrayList>
#include <QList>
#include <QPointer>

class PacketLog : public CBRFNFramer
{
public:
    struct Packet
    {
        bool bIncoming = false; // read from the socket, not written to it
        quint16 nCommand = 0;
        QByteArray payload; // the sub-command is its first byte
    };
    QList<Packet> m_packets;
    QByteArray m_incomingBytes; // as read, on the current socket

    // Incoming payloads of a command (-1: any) whose first byte is nSub (-1: any), in arrival order.
    QByteArrayList Incoming(int nCommand = -1, int nSub = -1) const;
    QByteArray LastIncoming(quint16 nCommand, int nSub = -1) const;
    void ClearIncoming();
    // Frames the packets and writes them in one write, so that they arrive together.
    void Send(const QList<QPair<quint16, QByteArray>>& packets);
    void Send(quint16 nCommand, const QByteArray& payload) { Send({{nCommand, payload}}); }
    // Sends a packet and waits up to 5 s for an incoming one with the same
    // command and first byte; returns its payload, or an empty one.
    QByteArray Ask(quint16 nCommand, const QByteArray& payload);

protected:
    // Takes the socket whose bytes are framed and logged (nullptr: none).
    void Attach(QAbstractSocket* pSocket);
    QPointer<QAbstractSocket> m_pSocket;

    void WriteBytes(const uint8_t* pData, uint16_t nCount) override;
    void OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength) override;

private:
    void Read();
    QByteArray m_out; // frames gathered for the next write
};

#endif // PACKETLOG_H
