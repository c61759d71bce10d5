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
class WebServer : public QTcpServer
{
public:
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

protected:
    void incomingConnection(qintptr nSocket) override
    {
        auto p = new QTcpSocket(this);
        p->setSocketDescriptor(nSocket);
        connect(p, &QTcpSocket::disconnected, [this, p] { m_nHungUp += !p->property("answered").toBool(); });
        connect(p, &QTcpSocket::readyRead, [this, p] {
            p->setProperty("head", p->property("head").toByteArray() + p->readAll());
            const QByteArray head = p->property("head").toByteArray();
            if (!head.endsWith("\r\n\r\n"))
                return;
            ++m_nRequests;
            const Answer a = m_answers.value(head.split(' ').value(1).split('/').value(1).toInt());
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

    // One check per answer, started back to back. The About box rows below
    // cover current, available, newer and malformed.
    void check_data()
    {
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<Reports>("reports");
        const int late = kTimeoutMs + 1200;
        QTest::newRow("3.0.0 available") << Answers{{200, Doc(3, 0, 0), 0}} << Reports{1};
        QTest::newRow("fraction, text, 1e300 read 0")
            << Answers{{200, R"({"version":{"major":2.5,"minor":"9","build":1e300}})", 0}} << Reports{2};
        QTest::newRow("error page holding a document") << Answers{{500, Doc(9, 0, 0), 0}} << Reports{3};
        QTest::newRow("body too long") << Answers{{200, QByteArray(70000, ' ') + "{}", 0}} << Reports{3};
        QTest::newRow("no server") << Answers{{0, "", 0}} << Reports{3};
        QTest::newRow("answer after the time-out") << Answers{{200, Doc(2, 2, 0), late}} << Reports{3, 1};
        QTest::newRow("second check answered in time")
            << Answers{{200, "{}", -1}, {200, Doc(2, 1, 9), 0}} << Reports{0};
        QTest::newRow("both time-outs before the answer")
            << Answers{{200, "{}", -1}, {200, Doc(2, 1, 9), late}} << Reports{3, 3, 0};
    }
    void check()
    {
        QFETCH(Answers, answers);
        QFETCH(Reports, reports);
        WebServer server(answers);
        CheckForSWUpdate check;
        check.SetTimeout(kTimeoutMs);
        Reports seen;
        connect(&check, &CheckForSWUpdate::SoftwareUpdateStatus,
                [&seen](int nStatus) { seen.append(nStatus); });
        QElapsedTimer started;
        started.start();
        for (int n = 0; n < answers.size(); ++n)
            check.CheckVersion(server.m_strBase + QStringLiteral("/%1/version.json").arg(n), 2, 1, 9);

        QTRY_COMPARE_WITH_TIMEOUT(seen, reports, kTimeoutMs + 5000);
        QVERIFY2((reports.first() == 3) == (started.elapsed() >= kTimeoutMs), "only the time-out reports 3");
        QTest::qWait(qMax<qint64>(0, kTimeoutMs + 300 - started.elapsed()));
        QCOMPARE(seen, reports); // nothing more, even after every time-out
    }

    // Every box shows its version, runs its own check and shows the outcome;
    // its link opens the browser and Escape closes it.
    void aboutStatusLine_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const QString s = "Version Status:<br/>";
        QTest::newRow("current") << Doc(2, 1, 9) << s + "Software is up to date.";
        QTest::newRow("2.2.0")
            << Doc(2, 2, 0)
            << s + "An update (Version: 2.2.0) of Software is available from the Brightfen, LLC. web site.";
        QTest::newRow("own newer") << Doc(2, 0, 99) << s + "Software is up to date.+";
        QTest::newRow("malformed")
            << QByteArray(R"({"version":)")
            << s + "Could not determine if a new version is available. Please check back later";
    }
    void aboutStatusLine()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        WebServer server({{200, body, 0}});
        CAboutDlg dlg(nullptr, server.m_strBase, kTimeoutMs);
        const auto label = [&dlg](const char* pszName) { return dlg.findChild<QLabel*>(pszName); };
        QLabel* pStatus = label("labelNewVersionStatus");
        QCOMPARE(label("labelVersion")->text(), "Version: 2.1.9");
        QCOMPARE(pStatus->text(), "<html><head/><body><p>Checking version status...</p></body></html>");
        dlg.show();
        QTRY_COMPARE(pStatus->text(), text);
        QTest::qWait(kTimeoutMs); // the time-out of a check that reported changes nothing
        QCOMPARE(pStatus->text(), text);
        QCOMPARE(server.m_nRequests, 1);
        QVERIFY2(pStatus->heightForWidth(pStatus->width()) <= pStatus->height(), "the whole text shows");

        QLabel* pLink = label("labelWebPage"); // opens the system browser
        m_opened.clear();
        QTest::mouseClick(pLink, Qt::LeftButton, {},
                          QPoint(pLink->fontMetrics().averageCharWidth() * 3, pLink->height() / 2));
        QCOMPARE(m_opened, QList<QUrl>{QUrl(server.m_strBase + "/Tellurix2")});
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
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
