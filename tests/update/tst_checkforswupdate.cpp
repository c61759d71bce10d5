// The update check against a web server on loopback.
#include "checkforswupdate.h"
#include "httpstub.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

using Status = CheckForSWUpdate::SW_UPDATE_STATUS;
using Reports = QList<int>;

namespace {

QByteArray Document(const char* pszVersion)
{
    return QByteArray(R"({"version":{)") + pszVersion +
           R"(,"description":"Release notes","downloadLink":"x"}})";
}

// The statuses reported so far, in order.
Reports Collected(const QSignalSpy& spy)
{
    Reports reports;
    for (const QList<QVariant>& args : spy)
        reports.append(args.at(0).value<Status>());
    return reports;
}

QStringList g_debugLines;
QtMessageHandler g_pPreviousHandler = nullptr;

// Keeps the debug lines; everything else goes on as before.
void CollectDebugLines(QtMsgType nType, const QMessageLogContext& Context, const QString& strMessage)
{
    if (nType == QtDebugMsg)
        g_debugLines.append(strMessage);
    else
        g_pPreviousHandler(nType, Context, strMessage);
}

} // namespace

class tst_CheckForSWUpdate : public QObject
{
    Q_OBJECT

    static constexpr int kTimeoutMs = 800;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Status>();
        g_pPreviousHandler = qInstallMessageHandler(CollectDebugLines);
    }
    void init() { g_debugLines.clear(); }
    void answer_data();
    void answer();
    void answerAfterTheTimeoutReportsTwice();
    void overlappingChecks_data();
    void overlappingChecks();
    void fifteenSecondsWithoutAnswerFail();
};

void tst_CheckForSWUpdate::answer_data()
{
    QTest::addColumn<int>("httpStatus"); // 0: no server
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("reported");
    QTest::addColumn<QString>("web"); // published version read, "major.minor.build"
    QTest::addColumn<QString>("debug");

    const auto ok = [](const char* pszName, const char* pszVersion, int nStatus, const char* pszWeb) {
        const QStringList web = QString(pszWeb).split('.');
        QTest::newRow(pszName) << 200 << Document(pszVersion) << nStatus << pszWeb
                               << "^WebVersion: " + web.join(" \\. ") + "$";
    };
    ok("2.1.9 is current", R"("major":2,"minor":1,"build":9)", 0, "2.1.9");
    ok("2.2.0 is available", R"("major":2,"minor":2,"build":0)", 1, "2.2.0");
    ok("2.0.99 is older", R"("major":2,"minor":0,"build":99)", 2, "2.0.99");
    ok("3.0.0 is available", R"("major":3,"minor":0,"build":0)", 1, "3.0.0");
    ok("2.1.10 compares as numbers", R"("build":10,"minor":1,"major":2)", 1, "2.1.10");
    ok("fraction, text and 1e300 read 0", R"("major":2.5,"minor":"1","build":1e300)", 2, "0.0.0");
    QTest::newRow("empty object reads 0.0.0") << 200 << QByteArray("{}") << 2 << "0.0.0"
                                              << "^WebVersion: 0 \\. 0 \\. 0$";
    QTest::newRow("description is logged")
        << 200 << Document(R"("major":2,"minor":1,"build":9)") << 0 << "2.1.9"
        << R"(^Version Description: "Release notes"$)";
    QTest::newRow("malformed JSON") << 200 << QByteArray(R"({"version":)") << 3 << "-1.-1.-1"
                                    << R"(^CheckForSWUpdate::OnFinished - Parse Error: at: 11 of: ".+"$)";
    QTest::newRow("HTML error page") << 404 << QByteArray("<html>Not Found</html>") << 3 << "-1.-1.-1"
                                     << "Transfer Error";
    QTest::newRow("error page holding a document")
        << 500 << Document(R"("major":9,"minor":0,"build":0)") << 3 << "-1.-1.-1"
        << "Transfer Error";
    QTest::newRow("body too long to be the document")
        << 200 << QByteArray(CheckForSWUpdate::MAX_DOCUMENT_BYTES + 1, ' ') + "{}" << 3 << "-1.-1.-1"
        << "Transfer Error|Document too long";
    QTest::newRow("no server") << 0 << QByteArray() << 3 << "-1.-1.-1"
                               << "Transfer Error";
}

// Exactly one report per check, and none after it even once the time-out
// has passed.
void tst_CheckForSWUpdate::answer()
{
    QFETCH(int, httpStatus);
    QFETCH(QByteArray, body);
    QFETCH(int, reported);
    QFETCH(QString, web);
    QFETCH(QString, debug);

    HttpStub server;
    server.m_routes["/Tellurix2/version.json"] = {httpStatus, body, 0};
    CheckForSWUpdate check;
    check.SetTimeout(kTimeoutMs);
    QSignalSpy spy(&check, &CheckForSWUpdate::SoftwareUpdateStatus);

    QElapsedTimer started;
    started.start();
    check.CheckVersion(
        (httpStatus ? server.Url() : HttpStub::ClosedUrl()) + CheckForSWUpdate::VERSION_DOCUMENT, 2, 1, 9);
    QTRY_COMPARE(Collected(spy), Reports{reported});
    if (reported != CheckForSWUpdate::SW_UPDATE_FAILED)
        QVERIFY2(started.elapsed() < kTimeoutMs, "the document decides, not the time-out");
    QTest::qWait(kTimeoutMs + 200 - int(qMin<qint64>(started.elapsed(), kTimeoutMs)));
    QCOMPARE(Collected(spy), Reports{reported});
    QVERIFY2(!g_debugLines.filter(QRegularExpression(debug)).isEmpty(), qPrintable(g_debugLines.join('\n')));
    QCOMPARE(QStringLiteral("%1.%2.%3").arg(check.m_nWebMajor).arg(check.m_nWebMinor).arg(check.m_nWebBuild),
             web);
    if (httpStatus)
        QCOMPARE(server.m_requests, QByteArrayList{"GET /Tellurix2/version.json HTTP/1.1"});
}

void tst_CheckForSWUpdate::answerAfterTheTimeoutReportsTwice()
{
    HttpStub server;
    server.m_routes["/late"] = {200, Document(R"("major":2,"minor":2,"build":0)"), kTimeoutMs + 1200};
    CheckForSWUpdate check;
    check.SetTimeout(kTimeoutMs);
    QSignalSpy spy(&check, &CheckForSWUpdate::SoftwareUpdateStatus);
    check.CheckVersion(server.Url() + "/late", 2, 1, 9);
    QTRY_COMPARE_WITH_TIMEOUT(Collected(spy), (Reports{3, 1}), 10000);
}

// A second check started at once after the first: the first one's time-out
// still runs and reports a failure unless the second answer came first.
void tst_CheckForSWUpdate::overlappingChecks_data()
{
    QTest::addColumn<int>("secondDelay");
    QTest::addColumn<Reports>("reports");
    QTest::newRow("second answered before the first time-out") << 0 << Reports{0};
    QTest::newRow("both time-outs before the second answer") << kTimeoutMs + 1200 << Reports{3, 3, 0};
}

void tst_CheckForSWUpdate::overlappingChecks()
{
    QFETCH(int, secondDelay);
    QFETCH(Reports, reports);

    HttpStub server;
    server.m_routes["/first"] = {200, Document(R"("major":1,"minor":0,"build":0)"), -1};
    server.m_routes["/second"] = {200, Document(R"("major":2,"minor":1,"build":9)"), secondDelay};
    CheckForSWUpdate check;
    check.SetTimeout(kTimeoutMs);
    QSignalSpy spy(&check, &CheckForSWUpdate::SoftwareUpdateStatus);
    check.CheckVersion(server.Url() + "/first", 2, 1, 9);
    check.CheckVersion(server.Url() + "/second", 2, 1, 9);
    QTRY_COMPARE_WITH_TIMEOUT(Collected(spy), reports, 10000);
    QTest::qWait(kTimeoutMs + 200);
    QCOMPARE(Collected(spy), reports);
}

// The one case in real time: a server that takes the request and never answers.
void tst_CheckForSWUpdate::fifteenSecondsWithoutAnswerFail()
{
    HttpStub server;
    server.m_routes["/silent"] = {200, QByteArray(), -1};
    CheckForSWUpdate check;
    QSignalSpy spy(&check, &CheckForSWUpdate::SoftwareUpdateStatus);
    QElapsedTimer started;
    started.start();
    check.CheckVersion(server.Url() + "/silent", 2, 1, 9);
    QTRY_COMPARE_WITH_TIMEOUT(Collected(spy), Reports{3}, 20000);
    QVERIFY2(started.elapsed() >= 15000, qPrintable(QString::number(started.elapsed())));
}

QTEST_MAIN(tst_CheckForSWUpdate)
#include "tst_checkforswupdate.moc"
