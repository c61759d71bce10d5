#include "simconnection.h"

#include "simservice.h"

#include <QDebug>
#include <QTcpSocket>

namespace {
// A panel that stops reading must not make the service hold its pushes
// without end: once this many written bytes wait in the socket, the panel is
// dropped (it reconnects and starts afresh).
const qint64 kMaxPendingBytes = 1024 * 1024;
} // namespace

CSimConnection::CSimConnection(QTcpSocket* pSocket, CSimService* pService)
    : QObject(pService), m_pSocket(pSocket), m_pService(pService)
{
    m_pSocket->setParent(this);
    connect(m_pSocket, SIGNAL(readyRead()), this, SLOT(OnReadyRead()));
    connect(m_pSocket, SIGNAL(disconnected()), this, SLOT(OnDisconnected()));
}

void CSimConnection::Send(uint16_t nCommand, const QByteArray& payload)
{
    if (m_bClosed)
        return;
    CBRFNFramer::Send(nCommand, payload);
}

void CSimConnection::SendRaw(const QByteArray& bytes)
{
    if (m_bClosed)
        return;
    m_pSocket->write(bytes);
    DropIfBacklogged();
}

void CSimConnection::DropIfBacklogged()
{
    if (m_bClosed || m_pSocket->bytesToWrite() <= kMaxPendingBytes)
        return;
    qDebug() << "tellurix-sim: panel does not read, dropped with" << m_pSocket->bytesToWrite()
             << "bytes unsent";
    m_bClosed = true;
    m_pSocket->abort();
    OnDisconnected();
}

void CSimConnection::Close()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    m_pSocket->disconnectFromHost();
    if (m_pSocket->state() == QAbstractSocket::UnconnectedState)
        OnDisconnected();
}

void CSimConnection::OnReadyRead()
{
    const QByteArray bytes = m_pSocket->readAll();
    for (char c : bytes) {
        if (m_bClosed)
            break;
        ProcessByte(uint8_t(c));
    }
}

void CSimConnection::OnDisconnected()
{
    m_bClosed = true;
    // Once only: the socket may report the end after Close() did.
    if (m_bGone)
        return;
    m_bGone = true;
    disconnect(m_pSocket, nullptr, this, nullptr);
    emit SignalClosed(this);
}

void CSimConnection::OnPacketReceived(uint16_t nCommand, const uint8_t* pPayload, uint16_t nLength)
{
    m_pService->HandlePacket(this, nCommand, pPayload, nLength);
}

void CSimConnection::WriteBytes(const uint8_t* pData, uint16_t nCount)
{
    m_pSocket->write(reinterpret_cast<const char*>(pData), nCount);
    DropIfBacklogged();
}
