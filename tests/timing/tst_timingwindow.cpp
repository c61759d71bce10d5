// The timing displays inside the window, fed by a loopback service (where the
// chart points land: tests/app). Expected pixels: texts drawn by the test.
#include "chartgeometry.h"
#include "cstripchartwidget.h"
#include "csystemstatswidget.h"
#include "csystemstatuswidget.h"
#include "fakeservice.h"
#include "imagetools.h"
#include "testwindow.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QPainter>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>

using Status = CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS;
using Draw = std::function<void(QPainter&, QRectF)>;

namespace {
// The panel's interior (clear of outline and corners) matches the fill with
// the texts drawn on it; glyph edges may blend a few levels apart.
bool Matches(QWidget* pPanel, QSize size, const QColor& fill, const Draw& fnDraw)
{
    pPanel->setFixedSize(size); // kept by the host's layout
    QImage expected(size, QImage::Format_RGB32);
    expected.fill(fill);
    QPainter painter(&expected);
    painter.setRenderHints(QPainter::TextAntialiasing);
    fnDraw(painter, QRectF(0, 0, size.width() - 1, size.height() - 1));
    const QImage actual = Render(pPanel);
    for (int y = 1; y < size.height() - 2; ++y)
        for (int x = 10; x < size.width() - 10; ++x)
            if (Find(actual, expected.pixelColor(x, y), QRect(x, y, 1, 1), nullptr, 8).isNull())
                return false;
    return true;
}
} // namespace

class tst_TimingWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(StartWindowTests(m_service));
    }

    void init()
    {
        m_pWindow = std::make_unique<TestWindow>();
        QVERIFY(m_service.WaitForNewConnection());
    }
    void cleanup() { m_pWindow.reset(); }

    void serviceState_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<int>("state");
        QTest::addColumn<double>("error");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<QString>("errorText"); // after "Estimated Time Error: "
        const QColor yellow(255, 242, 0), red(255, 0, 0), white(Qt::white);
        auto row = [](const char* tag, bool linked, int state, double error, const char* text, QColor fill,
                      QColor ink, const char* errorText = "Not Available") {
            QTest::newRow(tag) << linked << state << error << QString(text) << fill << ink
                               << QString(errorText);
        };
        row("no link, whatever the state", false, 6, 0.1, "No Service", QColor(192, 0, 0), Qt::black,
            "100.000 Milliseconds");
        row("Off, the first state", true, 0, 0.1, "Off", QColor(192, 192, 192), Qt::black);
        row("Locked 0.5 s", true, 6, 0.5, "Locked", QColor(0, 128, 0), white, "500.000 Milliseconds");
        row("Locked 0.5000001 s", true, 6, 0.5000001, "Locked", QColor(0, 128, 0), white, "0.500 Seconds");
        row("Recovery, the last state", true, 8, 0.1, "Recovery", QColor(0, 0, 128), white);
        row("9", true, 9, 0.1, "Unknown", red, yellow);
        row("-1", true, -1, 0.1, "Unknown", red, yellow);
    }

    void serviceState()
    {
        QFETCH(bool, linked);
        QFETCH(int, state);
        QFETCH(double, error);
        QFETCH(QString, text);
        QFETCH(QColor, fill);
        QFETCH(QColor, ink);
        QFETCH(QString, errorText);
        Status s;
        s.nLoopState = state;
        s.dEstTimeError = error;
        Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
        m_pWindow->Protocol()->m_bConnected = linked; // read by the panel at every paint
        auto* pPanel = m_pWindow->findChild<CSystemStatusWidget*>();
        QVERIFY(Matches(pPanel, QSize(400, 200), fill, [&](QPainter& p, QRectF r) {
            p.setPen(ink);
            // 399 x 0.15 = 59 pt, smaller where the word would not fit the panel
            QFont font = ChartGeometry::DisplayFont(59);
            while (QFontMetricsF(font).horizontalAdvance(text) > r.width())
                font.setPointSize(font.pointSize() - 1);
            p.setFont(font);
            p.drawText(r, Qt::AlignCenter, text);
            p.setFont(ChartGeometry::DisplayFont(11)); // 399 x 0.03
            p.drawText(r, Qt::AlignHCenter | Qt::AlignBottom, "Estimated Time Error: " + errorText);
        }));
        QCOMPARE(Render(pPanel).pixelColor(200, 0).rgb(), ink.rgb()); // the outline
    }

    void statistics_data()
    {
        QTest::addColumn<double>("stdDev");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("timeSource"); // -1: no GPS status
        QTest::addColumn<QString>("text");
        QTest::newRow("0.8 s in ms") << 0.8 << 5 << -1
                                     << "1σ = 800.000 ms \nSamples: 5\nUsing time from: --\n";
        QTest::newRow("0.8000001 s in seconds")
            << 0.8000001 << 0 << 0 << "1σ = 0.800 Seconds \nSamples: 0\nUsing time from: GGA & RMC\n";
        QTest::newRow("0.000015 s, 2^32-1 samples")
            << 0.000015 << -1 << 1 << "1σ = 0.015 ms \nSamples: -1\nUsing time from: ZDA\n";
        QTest::newRow("source 2") << 0.0 << 0 << 2
                                  << "1σ = 0.000 ms \nSamples: 0\nUsing time from: Unknown\n";
    }

    void statistics()
    {
        QFETCH(double, stdDev);
        QFETCH(int, samples);
        QFETCH(int, timeSource);
        QFETCH(QString, text);
        BRFN::CMD_DATA_GPS_STATUS gps;
        gps.nTimeSource = timeSource;
        if (timeSource >= 0)
            Send(BRFN::CMD_GPS_STATUS, BRFN::EncodeGPSStatus(gps));
        Status s;
        s.dStdDev = stdDev;
        s.nSamples = samples;
        Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(s));
        QVERIFY(Matches(m_pWindow->findChild<CSystemStatsWidget*>(), QSize(400, 200),
                        QPalette().color(QPalette::Window), [&](QPainter& p, QRectF r) {
                            p.setPen(QPalette().color(QPalette::Text));
                            p.setFont(ChartGeometry::DisplayFont(19)); // 399 x 0.05
                            p.drawText(r.adjusted(5, 5, -5, -5), text, QTextOption());
                        }));
    }

    void historyWithoutPaintLiveRecordWithPaint()
    {
        m_pWindow->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(2);
        m_pWindow->layout()->activate(); // size limits settled before showing, or offscreen warns
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
        auto* pChart = m_pWindow->findChild<QWidget*>("widgetTimeDiff")->findChild<CStripChartWidget*>();
        struct PaintCounter : QObject
        {
            int n = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                return (n += e->type() == QEvent::Paint), false;
            }
        } paints;
        pChart->installEventFilter(&paints);
        QTest::qWait(100);
        const int nBefore = paints.n;

        CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS_HISTORY history;
        history.nCount = 10;
        Send(BRFN::CMD_CONTROL_LOOP_STATUS_HISTORY, BRFN::EncodeHistory(history));
        QTRY_COMPARE(pChart->DataSet(2).arrayPoints.size(), 10);
        QTest::qWait(100);
        QCOMPARE(paints.n, nBefore);
        Send(BRFN::CMD_CONTROL_LOOP_STATUS, BRFN::EncodeControlLoopStatus(Status()));
        QTRY_VERIFY(paints.n > nBefore);
    }

private:
    void Send(quint16 nCommand, const QByteArray& payload)
    {
        QSignalSpy spy(m_pWindow.get(),
                       SIGNAL(SignalControlLoopStatus(CBRFNProtocolQt::CMD_DATA_CONTROL_LOOP_STATUS)));
        m_service.Send(nCommand, payload);
        if (nCommand == BRFN::CMD_CONTROL_LOOP_STATUS)
            QTRY_COMPARE(spy.count(), 1);
    }

    FakeService m_service;
    std::unique_ptr<TestWindow> m_pWindow;
};

QTEST_MAIN(tst_TimingWindow)
#include "tst_timingwindow.moc"
