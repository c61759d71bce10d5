#include "checkforswupdate.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

// The version document is a few hundred bytes; a body beyond this is not one,
// and the transfer is cut off rather than held in memory.
constexpr qint64 kMaxDocumentBytes = 64 * 1024;

// A version field of the document: a whole number that fits an int, else 0
// (missing, text, fraction, 1e300), as a missing field reads.
int VersionField(const QJsonObject& Version, const char* pszKey)
{
    const double d = Version.value(QLatin1String(pszKey)).toDouble(0.0);
    if (!std::isfinite(d) || d != std::trunc(d) || d < -2147483648.0 || d > 2147483647.0)
        return 0;
    return int(d);
}

// Major first; the first field that differs decides.
CheckForSWUpdate::SW_UPDATE_STATUS Compare(const int published[3], const int own[3])
{
    for (int i = 0; i < 3; ++i) {
        if (published[i] > own[i])
            return CheckForSWUpdate::SW_UPDATE_AVAILABLE;
        if (published[i] < own[i])
            return CheckForSWUpdate::SW_UPDATE_NEWER;
    }
    return CheckForSWUpdate::SW_UPDATE_CURRENT;
}

} // namespace

bool CheckForSWUpdate::ChecksEnabled()
{
    return TELLURIX_UPDATE_CHECK != 0;
}

QString CheckForSWUpdate::WebServer()
{
    return QStringLiteral(TELLURIX_UPDATE_URL);
}

CheckForSWUpdate::CheckForSWUpdate(QObject* pParent) : QObject(pParent)
{
    m_pNetworkManager = new QNetworkAccessManager(this);
    connect(m_pNetworkManager, SIGNAL(finished(QNetworkReply*)), this, SLOT(OnFinished(QNetworkReply*)));
}

void CheckForSWUpdate::CheckVersion(const QString& strAddress, int nMajor, int nMinor, int nBuild)
{
    m_nWebMajor = m_nWebMinor = m_nWebBuild = -1;
    m_bReplyHandled = false;
    m_nMajor = nMajor;
    m_nMinor = nMinor;
    m_nBuild = nBuild;

    QNetworkReply* pReply = m_pNetworkManager->get(QNetworkRequest(QUrl(strAddress)));
    connect(pReply, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(OnDownloadProgress(qint64, qint64)));

    // The timer is the checker's child: once the checker is gone (its About
    // box closed), the time-out no longer fires. A precise timer: a coarse one
    // may end a 15 s wait up to 750 ms early.
    QTimer* pTimeout = new QTimer(this);
    pTimeout->setSingleShot(true);
    pTimeout->setTimerType(Qt::PreciseTimer);
    connect(pTimeout, SIGNAL(timeout()), this, SLOT(OnTimeout()));
    connect(pTimeout, SIGNAL(timeout()), pTimeout, SLOT(deleteLater()));
    pTimeout->start(m_nTimeoutMs);
}

void CheckForSWUpdate::OnDownloadProgress(qint64 nReceived, qint64 nTotal)
{
    Q_UNUSED(nTotal);
    QNetworkReply* pReply = qobject_cast<QNetworkReply*>(sender());
    if (pReply && nReceived > kMaxDocumentBytes)
        pReply->abort();
}

void CheckForSWUpdate::OnFinished(QNetworkReply* pReply)
{
    // A failed transfer (no server, error page, cut-off body) is no answer,
    // even when the error page happens to hold JSON; the time-out reports it.
    if (pReply->error() != QNetworkReply::NoError) {
        qDebug() << "CheckForSWUpdate::OnFinished - Transfer Error:" << pReply->errorString();
        return;
    }

    // Progress reports come at most every 150 ms, so a fast transfer can end
    // before the cut-off above; its length is checked here as well.
    const QByteArray body = pReply->read(kMaxDocumentBytes + 1);
    if (body.size() > kMaxDocumentBytes) {
        qDebug() << "CheckForSWUpdate::OnFinished - Document too long";
        return;
    }

    QJsonParseError Error;
    const QJsonDocument Doc = QJsonDocument::fromJson(body, &Error);
    if (Error.error != QJsonParseError::NoError) {
        qDebug() << "CheckForSWUpdate::OnFinished - Parse Error: at:" << Error.offset
                 << "of:" << Error.errorString();
        return;
    }

    // A document without "version" (or not an object at all) reads as 0.0.0.
    const QJsonObject Version = Doc.object().value(QLatin1String("version")).toObject();
    m_nWebMajor = VersionField(Version, "major");
    m_nWebMinor = VersionField(Version, "minor");
    m_nWebBuild = VersionField(Version, "build");
    qDebug() << "Version Description:" << Version.value(QLatin1String("description")).toString();
    qDebug() << "WebVersion:" << m_nWebMajor << "." << m_nWebMinor << "." << m_nWebBuild;

    const int published[3] = {m_nWebMajor, m_nWebMinor, m_nWebBuild};
    const int own[3] = {m_nMajor, m_nMinor, m_nBuild};
    // Marked before the report: a receiver may start the next check or
    // destroy the checker from its slot.
    m_bReplyHandled = true;
    emit SoftwareUpdateStatus(Compare(published, own));
}

void CheckForSWUpdate::OnTimeout()
{
    if (!m_bReplyHandled)
        emit SoftwareUpdateStatus(SW_UPDATE_FAILED);
}
