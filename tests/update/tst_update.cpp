// The update check and the About box against the maker's web server, played
// by the test on loopback at a free port.
#include "caboutdlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

struct Answer
{
    int nStatus; // HTTP status; 0: nobody listens
    QByteArray body;
    int nDelayMs; // < 0: never answers
};
using Answers = QList<Answer>;
using Reports = QList<int>;
Q_DECLARE_METATYPE(Answers)

namespace {

constexpr int kTimeoutMs = 800;

QByteArray Doc(int nMajor, int nMinor, int nBuild)
{
    return QString::asprintf(R"({"version":{"major":%d,"minor":%d,"build":%d}})", nMajor, nMinor, nBuild)
        .toUtf8();
}

// Answers a GET of "/<n>/..." with answers[n] ("/Tellurix2/..." is n = 0);
// counts requests and the askers that hung up before their answer.
struct WebServer : QTcpServer
{
    Answers m_answers;
    int m_nRequests = 0, m_nHungUp = 0;
    QString m_strBase;

    explicit WebServer(const Answers& answers) : m_answers(answers)
    {
        listen(QHostAddress::LocalHost, 0);
        m_strBase = QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
        if (answers.value(0).nStatus == 0)
            close();
    }

    void incomingConnection(qintptr nSocket) override
    {
        auto p = new QTcpSocket(this);
        p->setSocketDescriptor(nSocket);
        connect(p, &QTcpSocket::disconnected, [this, p] { m_nHungUp += !p->property("answered").toBool(); });
        connect(p, &QTcpSocket::readyRead, [this, p] {
            if (!p->peek(p->bytesAvailable()).endsWith("\r\n\r\n"))
                return; // the request head is not complete yet
            ++m_nRequests;
            const Answer a = m_answers.value(p->readAll().split(' ').value(1).split('/').value(1).toInt());
            if (a.nDelayMs >= 0)
                QTimer::singleShot(a.nDelayMs, p, [p, a] {
                    p->setProperty("answered", true);
                    p->write("HTTP/1.1 " + QByteArray::number(a.nStatus) + " R\r\nContent-Length: " +
                             QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n\r\n" + a.body);
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

    // The About box's own check gets answers[0]; each further answer is one
    // more check started at once on the box's checker. The box shows the last
    // report; a failure is only ever reported by a time-out.
    void check_data()
    {
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<Reports>("reports");
        QTest::addColumn<QString>("text");
        const int late = kTimeoutMs + 1200;
        const QString current = "Software is up to date.";
        const QString available =
            "An update (Version: 2.2.0) of Software is available from the Brightfen, LLC. web site.";
        const QString failed = "Could not determine if a new version is available. Please check back later";
        QTest::newRow("current") << Answers{{200, Doc(2, 1, 9), 0}} << Reports{0} << current;
        QTest::newRow("2.2.0 available") << Answers{{200, Doc(2, 2, 0), 0}} << Reports{1} << available;
        QTest::newRow("own newer") << Answers{{200, Doc(2, 0, 99), 0}} << Reports{2} << current + "+";
        QTest::newRow("malformed") << Answers{{200, R"({"version":)", 0}} << Reports{3} << failed;
        QTest::newRow("fraction, text, 1e300 read 0")
            << Answers{{200, R"({"version":{"major":2.5,"minor":"9","build":1e300}})", 0}} << Reports{2}
            << current + "+";
        QTest::newRow("error page holding a document")
            << Answers{{500, Doc(9, 0, 0), 0}} << Reports{3} << failed;
        QTest::newRow("body too long")
            << Answers{{200, QByteArray(70000, ' ') + "{}", 0}} << Reports{3} << failed;
        QTest::newRow("no server") << Answers{{0, "", 0}} << Reports{3} << failed;
        QTest::newRow("answer after the time-out")
            << Answers{{200, Doc(2, 2, 0), late}} << Reports{3, 1} << available;
        QTest::newRow("overlapping checks, both time-outs before the answer")
            << Answers{{200, "{}", -1}, {200, Doc(2, 1, 9), late}} << Reports{3, 3, 0} << current;
    }
    void check()
    {
        QFETCH(Answers, answers);
        QFETCH(Reports, reports);
        QFETCH(QString, text);
        WebServer server(answers);
        QElapsedTimer started;
        started.start();
        CAboutDlg dlg(nullptr, server.m_strBase, kTimeoutMs);
        auto pCheck = dlg.findChild<CheckForSWUpdate*>();
        Reports seen;
        connect(pCheck, &CheckForSWUpdate::SoftwareUpdateStatus,
                [&seen](int nStatus) { seen.append(nStatus); });
        for (int n = 1; n < answers.size(); ++n)
            pCheck->CheckVersion(server.m_strBase + QStringLiteral("/%1/version.json").arg(n), 2, 1, 9);
        QLabel* pStatus = dlg.findChild<QLabel*>("labelNewVersionStatus");
        dlg.show();

        QTRY_COMPARE_WITH_TIMEOUT(seen, reports, kTimeoutMs + 5000);
        if (reports.first() == 3)
            QVERIFY2(started.elapsed() >= kTimeoutMs, "a failure waits for the time-out");
        QTest::qWait(qMax<qint64>(0, kTimeoutMs + 300 - started.elapsed()));
        QCOMPARE(seen, reports); // nothing more, even after every time-out
        QCOMPARE(server.m_nRequests, server.isListening() ? answers.size() : 0);
        QCOMPARE(pStatus->text(), "Version Status:<br/>" + text);
        QVERIFY2(pStatus->heightForWidth(pStatus->width()) <= pStatus->height(), "the whole text shows");

        QLabel* pLink = dlg.findChild<QLabel*>("labelWebPage"); // opens the system browser
        m_opened.clear();
        QTest::mouseClick(pLink, Qt::LeftButton, {},
                          QPoint(pLink->fontMetrics().averageCharWidth() * 3, pLink->height() / 2));
        QCOMPARE(m_opened, QList<QUrl>{QUrl(server.m_strBase + "/Tellurix2")});
    }

    // The check goes with its box: the request is dropped, and neither the
    // answer nor the time-out reaches anything afterwards.
    void aboutBoxClosedWhileChecking()
    {
        WebServer server({{200, Doc(2, 2, 0), kTimeoutMs / 2}});
        auto pDlg = new CAboutDlg(nullptr, server.m_strBase, kTimeoutMs);
        QPointer<CheckForSWUpdate> pCheck = pDlg->findChild<CheckForSWUpdate*>();
        QTRY_COMPARE(server.m_nRequests, 1);
        delete pDlg;
        QVERIFY(pCheck.isNull());
        QTRY_COMPARE(server.m_nHungUp, 1);
        QTest::qWait(kTimeoutMs + 200);
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"
