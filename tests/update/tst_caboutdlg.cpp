// The About box and the update check it runs, against a web server on loopback.
#include "caboutdlg.h"
#include "httpstub.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QtTest>

namespace {

const char* const kPath = "/Tellurix2/version.json";

QByteArray Document(int nMajor, int nMinor, int nBuild)
{
    return QStringLiteral(R"({"version":{"major":%1,"minor":%2,"build":%3,"description":"d"}})")
        .arg(nMajor)
        .arg(nMinor)
        .arg(nBuild)
        .toUtf8();
}

QString Text(const CAboutDlg& dlg, const char* pszLabel)
{
    return dlg.findChild<QLabel*>(pszLabel)->text();
}

} // namespace

class tst_CAboutDlg : public QObject
{
    Q_OBJECT

    static constexpr int kTimeoutMs = 800;

public slots:
    // Stands in for the system browser.
    void OpenInBrowser(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler("http", this, "OpenInBrowser"); }
    void boxWhileTheCheckRuns();
    void statusLine_data();
    void statusLine();
    void everyBoxChecksAfresh();
    void closingTheBoxEndsItsCheck();

private:
    QList<QUrl> m_opened;
};

// Before the check reports: fixed size, version, notice, a link that opens the
// browser, the waiting text; Escape closes the box.
void tst_CAboutDlg::boxWhileTheCheckRuns()
{
    HttpStub server;
    server.m_routes[kPath] = {200, QByteArray(), -1};
    CAboutDlg dlg(nullptr, server.Url(), kTimeoutMs);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    QCOMPARE(dlg.windowTitle(), "About Tellurix");
    QCOMPARE(dlg.size(), QSize(630, 247));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QCOMPARE(Text(dlg, "label"), "© Brightfen, LLC. All rights reserved.");
    QCOMPARE(Text(dlg, "labelVersion"), "Version: 2.1.9");
    QCOMPARE(Text(dlg, "labelNewVersionStatus"),
             "<html><head/><body><p>Checking version status...</p></body></html>");

    QLabel* pLink = dlg.findChild<QLabel*>("labelWebPage");
    QVERIFY(pLink->text().endsWith(">Tellurix Page</a>"));
    m_opened.clear();
    QTest::mouseClick(pLink, Qt::LeftButton, Qt::NoModifier,
                      QPoint(pLink->fontMetrics().horizontalAdvance("Tellurix") / 2, pLink->height() / 2));
    QCOMPARE(m_opened, QList<QUrl>{QUrl(server.Url() + "/Tellurix2")});

    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void tst_CAboutDlg::statusLine_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("current") << Document(2, 1, 9) << "Version Status:<br/>Software is up to date.";
    QTest::newRow("2.2.0 available")
        << Document(2, 2, 0)
        << "Version Status:<br/>An update (Version: 2.2.0) of Software is available from the Brightfen, LLC. "
           "web site.";
    QTest::newRow("own is newer") << Document(2, 0, 99) << "Version Status:<br/>Software is up to date.+";
    QTest::newRow("failed")
        << QByteArray("{\"version\"")
        << "Version Status:<br/>Could not determine if a new version is available. Please "
           "check back later";
}

void tst_CAboutDlg::statusLine()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);

    HttpStub server;
    server.m_routes[kPath] = {200, body, 0};
    CAboutDlg dlg(nullptr, server.Url(), kTimeoutMs);
    QTRY_COMPARE(Text(dlg, "labelNewVersionStatus"), text);
    QTest::qWait(kTimeoutMs); // the time-out of a reported check changes nothing
    QCOMPARE(Text(dlg, "labelNewVersionStatus"), text);
    const QLabel* pStatus = dlg.findChild<QLabel*>("labelNewVersionStatus");
    QVERIFY2(pStatus->heightForWidth(pStatus->width()) <= pStatus->height(), "the whole text shows");
}

// Opening the box again asks the server again and shows the new answer.
void tst_CAboutDlg::everyBoxChecksAfresh()
{
    HttpStub server;
    server.m_routes[kPath] = {200, Document(2, 1, 9), 0};
    {
        CAboutDlg first(nullptr, server.Url(), kTimeoutMs);
        QTRY_VERIFY(Text(first, "labelNewVersionStatus").endsWith("up to date."));
    }
    server.m_routes[kPath] = {200, Document(2, 1, 10), 0};
    CAboutDlg second(nullptr, server.Url(), kTimeoutMs);
    QTRY_VERIFY(Text(second, "labelNewVersionStatus").contains("(Version: 2.1.10)"));
    QCOMPARE(server.m_requests.size(), 2);
}

// A box closed before its answer: the check is dropped with it and neither the
// answer nor the time-out reaches anything afterwards.
void tst_CAboutDlg::closingTheBoxEndsItsCheck()
{
    HttpStub server;
    server.m_routes[kPath] = {200, Document(2, 2, 0), kTimeoutMs / 2};
    auto pDlg = new CAboutDlg(nullptr, server.Url(), kTimeoutMs);
    QPointer<CheckForSWUpdate> pCheck = pDlg->findChild<CheckForSWUpdate*>();
    QVERIFY(pCheck);
    QTRY_COMPARE(server.m_requests.size(), 1);
    delete pDlg;
    QVERIFY(pCheck.isNull());
    QTRY_COMPARE(server.m_nHungUp, 1);
    QTest::qWait(kTimeoutMs + 200);
}

QTEST_MAIN(tst_CAboutDlg)
#include "tst_caboutdlg.moc"
