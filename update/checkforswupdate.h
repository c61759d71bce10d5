#ifndef CHECKFORSWUPDATE_H
#define CHECKFORSWUPDATE_H

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Compares the panel's own version with the newest published release and
// reports the outcome with SoftwareUpdateStatus.
//
// A check is Idle, then Waiting after CheckVersion, then Reported (0, 1, 2)
// when the document arrives, or Failed (3) when none has been read by the end
// of the time-out. The document is a JSON object whose "version" object holds
// "major", "minor", "build" and "description"; anything that does not parse
// reports nothing and leaves the failure to the time-out. A new check may
// start at any time; the time-outs of earlier checks keep running, so the
// first one can report 3 while a later reply is still on its way.
class CheckForSWUpdate : public QObject
{
    Q_OBJECT

public:
    enum SW_UPDATE_STATUS
    {
        SW_UPDATE_CURRENT = 0,   // published version equals the running one
        SW_UPDATE_AVAILABLE = 1, // published version is newer
        SW_UPDATE_NEWER = 2,     // running version is newer than the published one
        SW_UPDATE_FAILED = 3,    // no usable answer within the time-out
    };
    Q_ENUM(SW_UPDATE_STATUS)

    // Whether this build checks for updates at all (the TELLURIX_UPDATE_CHECK
    // build option, on by default). Without it nothing is ever fetched.
    static bool ChecksEnabled();
    // The maker's web server, scheme and host (the TELLURIX_UPDATE_URL build
    // option). By default a reserved name: a request fails at once and
    // contacts nobody until the real address is known.
    static QString WebServer();
    // The document that describes the newest release, on WebServer().
    static constexpr const char* VERSION_DOCUMENT = "/Tellurix2/version.json";
    // The product's web page, on WebServer().
    static constexpr const char* WEB_PAGE = "/Tellurix2";
    // The running panel's own version, 2.1.9.
    enum : int
    {
        OWN_VERSION_MAJOR = 2,
        OWN_VERSION_MINOR = 1,
        OWN_VERSION_BUILD = 9
    };
    // How long a check waits for a usable document before it reports 3.
    static constexpr int TIMEOUT_MS = 15000;

    explicit CheckForSWUpdate(QObject* pParent = nullptr);

    // Time-out of the checks started from now on (TIMEOUT_MS unless changed).
    void SetTimeout(int nMilliseconds) { m_nTimeoutMs = nMilliseconds; }

    // Starts a check of the document at strAddress against the given own
    // version. Returns at once; the outcome comes through SoftwareUpdateStatus.
    // Each check's time-out is a single-shot QTimer child of the checker,
    // which deletes itself once it has fired.
    void CheckVersion(const QString& strAddress, int nMajor, int nMinor, int nBuild);

    // Version read from the document; -1 until a document has been read in
    // the current check.
    int m_nWebMajor = -1;
    int m_nWebMinor = -1;
    int m_nWebBuild = -1;

signals:
    void SoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus);

private slots:
    void OnFinished(QNetworkReply* pReply);
    void OnTimeout();
    void OnDownloadProgress(qint64 nReceived, qint64 nTotal);

private:
    // Replies are children of the manager and are released with it.
    QNetworkAccessManager* m_pNetworkManager = nullptr;
    int m_nTimeoutMs = TIMEOUT_MS;
    int m_nMajor = 0;
    int m_nMinor = 0;
    int m_nBuild = 0;
    bool m_bReplyHandled = false;
};

#endif // CHECKFORSWUPDATE_H
