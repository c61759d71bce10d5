#ifndef CHECKFORSWUPDATE_H
#define CHECKFORSWUPDATE_H

#include <QObject>
#include <QString>

// Compares the panel's own version with the newest published release and
// reports the outcome with SoftwareUpdateStatus.
//
// Still to come: the HTTP request of the version document, its parsing and
// comparison (OnFinished) and the 15-second failure report (OnTimeout). Until
// then CheckVersion only records the check it was asked for and nothing is
// reported.
class CheckForSWUpdate : public QObject
{
    Q_OBJECT

public:
    enum SW_UPDATE_STATUS {
        SW_UPDATE_CURRENT = 0,   // published version equals the running one
        SW_UPDATE_AVAILABLE = 1, // published version is newer
        SW_UPDATE_NEWER = 2,     // running version is newer than the published one
        SW_UPDATE_FAILED = 3,    // no usable answer within 15 seconds
    };
    Q_ENUM(SW_UPDATE_STATUS)

    // The maker's web server. A reserved name: a request fails at once and
    // contacts nobody until the real address is known.
    static constexpr const char* WEB_SERVER = "https://brightfen.example";
    // The document that describes the newest release, on WEB_SERVER.
    static constexpr const char* VERSION_DOCUMENT = "/Tellurix2/version.json";
    // The running panel's own version, 2.1.9.
    enum : int { OWN_VERSION_MAJOR = 2, OWN_VERSION_MINOR = 1, OWN_VERSION_BUILD = 9 };

    explicit CheckForSWUpdate(QObject* pParent = nullptr);

    // Starts a check of the document at strAddress against the given own
    // version. Returns at once; the outcome comes through SoftwareUpdateStatus.
    void CheckVersion(const QString& strAddress, int nMajor, int nMinor, int nBuild);

    // Version read from the document; -1 until a document has been read.
    int m_nWebMajor = -1;
    int m_nWebMinor = -1;
    int m_nWebBuild = -1;

signals:
    void SoftwareUpdateStatus(CheckForSWUpdate::SW_UPDATE_STATUS nStatus);

private:
    QString m_strAddress;
    int m_nMajor = 0;
    int m_nMinor = 0;
    int m_nBuild = 0;
    bool m_bReplyHandled = false;
};

#endif // CHECKFORSWUPDATE_H
