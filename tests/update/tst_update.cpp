// The update check and the About box against the maker's web server, played
// by the test on loopback at a free port.
#include "caboutdlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using Reports = QList<int>;

namespace {

constexpr int kTimeoutMs = 800;

// What the About box shows for each report.
const QStringList TEXTS = {
    "Software is up to date.",
    "An update (Version: 2.1.10) of Software is available from the Brightfen, LLC. web site.",
    "Software is up to date.+",
    "Could not determine if a new version is available. Please check back later",
};

QByteArray Doc(int nMajor, int nMinor, int nBuild)
{
    return QString::asprintf(R"({"version":{"major":%d,"minor":%d,"build":%d}})", nMajor, nMinor, nBuild)
        .toUtf8();
}

// Answers every GET with one status and body after a delay; counts requests
// and the askers that hung up before their answer.
struct WebServer : QTcpServer
{
    int m_nStatus, m_nDelayMs;
    QByteArray m_body;
    int m_nRequests = 0, m_nHungUp = 0;

    WebServer(int nStatus, const QByteArray& body, int nDelayMs)
        : m_nStatus(nStatus), m_nDelayMs(nDelayMs), m_body(body)
    {
        listen(QHostAddress::LocalHost, 0);
    }
    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

    void incomingConnection(qintptr nSocket) override
    {
        auto p = new QTcpSocket(this);
        p->setSocketDescriptor(nSocket);
        connect(p, &QTcpSocket::disconnected, [this, p] { m_nHungUp += !p->property("answered").toBool(); });
        connect(p, &QTcpSocket::readyRead, [this, p] {
            if (!p->peek(p->bytesAvailable()).endsWith("\r\n\r\n"))
                return; // the request head is not complete yet
            ++m_nRequests;
            QTimer::singleShot(m_nDelayMs, p, [this, p] {
                p->setProperty("answered", true);
                p->write("HTTP/1.1 " + QByteArray::number(m_nStatus) + " R\r\nContent-Length: " +
                         QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
                p->disconnectFromHost();
            });
        });
    }
};

} // namespace

class tst_Update : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

public slots:
    void OpenInBrowser(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler("http", this, "OpenInBrowser"); }

    // The About box shows the report of its check; a failure comes with the time-out.
    void check_data()
    {
        QTest::addColumn<int>("status"); // HTTP
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<Reports>("reports");
        QTest::newRow("current") << 200 << Doc(2, 1, 9) << 0 << Reports{0};
        QTest::newRow("2.1.10 newer: the build counts") << 200 << Doc(2, 1, 10) << 0 << Reports{1};
        QTest::newRow("2.0.99 older: minor before build") << 200 << Doc(2, 0, 99) << 0 << Reports{2};
        QTest::newRow("malformed") << 200 << QByteArray(R"({"version":)") << 0 << Reports{3};
        QTest::newRow("fraction, text, 1e300 read 0")
            << 200 << QByteArray(R"({"version":{"major":2.5,"minor":"9","build":1e300}})") << 0 << Reports{2};
        QTest::newRow("error page holding a document") << 500 << Doc(9, 0, 0) << 0 << Reports{3};
        QTest::newRow("body too long") << 200 << QByteArray(70000, ' ') + "{}" << 0 << Reports{3};
        QTest::newRow("answer after the time-out")
            << 200 << Doc(2, 1, 10) << kTimeoutMs + 1200 << Reports{3, 1};
    }
    void check()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, delayMs);
        QFETCH(Reports, reports);
        WebServer server(status, body, delayMs);
        const QDeadlineTimer timedOut(kTimeoutMs + 300);
        CAboutDlg dlg(nullptr, server.Base(), kTimeoutMs, true);
        Reports seen;
        connect(dlg.findChild<CheckForSWUpdate*>(), &CheckForSWUpdate::SoftwareUpdateStatus,
                [&seen](int nStatus) { seen.append(nStatus); });
        QLabel* pStatus = dlg.findChild<QLabel*>("labelNewVersionStatus");
        QCOMPARE(dlg.findChild<QLabel*>("labelVersion")->text(), "Version: 2.1.9");
        dlg.show();

        QTRY_COMPARE_WITH_TIMEOUT(seen, reports, kTimeoutMs + 5000);
        QTest::qWait(int(timedOut.remainingTime()));
        QCOMPARE(seen, reports); // nothing more, even after the time-out
        QCOMPARE(server.m_nRequests, 1);
        QCOMPARE(pStatus->text(), "Version Status:<br/>" + TEXTS[reports.last()]);
        QVERIFY2(pStatus->heightForWidth(pStatus->width()) <= pStatus->height(), "the whole text shows");

        QLabel* pLink = dlg.findChild<QLabel*>("labelWebPage"); // opens the system browser
        m_opened.clear();
        QTest::mouseClick(pLink, Qt::LeftButton, {},
                          QPoint(pLink->fontMetrics().averageCharWidth() * 3, pLink->height() / 2));
        QCOMPARE(m_opened, QList<QUrl>{QUrl(server.Base() + "/Tellurix2")});
    }

    // A build without the check says so at once and asks nothing, not even past the time-out.
    void checksTurnedOff()
    {
        WebServer server(200, Doc(2, 1, 10), 0);
        CAboutDlg dlg(nullptr, server.Base(), kTimeoutMs, false);
        QCOMPARE(dlg.findChild<QLabel*>("labelNewVersionStatus")->text(),
                 "Version Status:<br/>Update checks are turned off in this build.");
        QTest::qWait(kTimeoutMs + 300); // no report without a request to the server
        QCOMPARE(server.m_nRequests, 0);
    }

    // A box with the checker's own time-out waits 15 s for the document, and
    // the check goes with the box: the request is dropped, the time-out with it,
    // and the answer reaches nothing.
    void aboutBoxClosedWhileChecking()
    {
        WebServer server(200, Doc(2, 2, 0), kTimeoutMs / 2);
        auto pDlg = new CAboutDlg(nullptr, server.Base(), CheckForSWUpdate::TIMEOUT_MS, true);
        QPointer<QTimer> pTimeout =
            pDlg->findChild<CheckForSWUpdate*>()->findChild<QTimer*>({}, Qt::FindDirectChildrenOnly);
        QCOMPARE(pTimeout && pTimeout->isActive() ? pTimeout->interval() : 0, 15000);
        QTRY_COMPARE(server.m_nRequests, 1);
        delete pDlg;
        QVERIFY(pTimeout.isNull());
        QTRY_COMPARE(server.m_nHungUp, 1);
        QTest::qWait(kTimeoutMs); // past the answer
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"
