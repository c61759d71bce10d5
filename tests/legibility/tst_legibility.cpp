// What the displays paint, read as text. Legibility over every display at the sizes the main
// window gives it, fed with real receiver epochs: no text clipped or outside its widget, none
// under another text or a marker, whole satellite numbers, a cap height of 8 px, readable bar
// numbers, titles that do not fit elided. Then the texts themselves: what stands in which box
// of each display, in which colour.

#include "cazimuthelevationwnd.h"
#include "cmainwindow.h"
#include "cnavconversions.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "cstripchartwidget.h"
#include "csystemstatswidget.h"
#include "csystemstatuswidget.h"
#include "ctimestatuswidget.h"
#include "nmeareplay.h"
#include "paintedtext.h"
#include "pixels.h"

#include <QPainter>
#include <QTcpSocket>
#include <QtTest>

#include <cmath>
#include <ctime>
#include <memory>

using Texts = QVector<PaintedText>;

namespace {
// Receiver epochs (tests/data) and the title their GPS time box shows: the second after the
// reported one, as asctime writes it.
const QMap<QString, QString> kTimeTitles = {{"neo-m9n", "GPS Time Sat Jul 11 22:37:46 2020"},
                                            {"s2525f8-bd-dgps", "GPS Time Thu Apr  7 21:31:24 2016"},
                                            {"he910-nofix", "GPS Time Thu Jan  1 00:00:00 1970"},
                                            {"he910-2019", "GPS Time Tue Mar 12 10:55:00 2019"}};

const QStringList kPositionTitles = {"Latitude", "Longitude",          "Grid Square",
                                     "Altitude", "Satellites Tracked", "Satellites In View"};

// The sizes each display has in the main window at 640 x 480 (the window is then 650 wide),
// the default 916 x 649, 1280 x 1000 and 2560 x 1440, measured in the offscreen window.
const char* const kWindows[] = {"640x480", "916x649", "1280x1000", "2560x1440"};
const QVector<QSize> kGpsHalf = {{292, 137}, {425, 221}, {607, 397}, {1247, 617}};
const QVector<QSize> kStatusHalf = {{280, 109}, {413, 194}, {595, 369}, {1235, 589}};
const QMap<QString, QVector<QSize>> kSizes = {{"sky", kGpsHalf},
                                              {"position", kGpsHalf},
                                              {"bars", {{588, 137}, {854, 222}, {1218, 397}, {2498, 617}}},
                                              {"chart", {{584, 115}, {850, 200}, {1214, 375}, {2494, 595}}},
                                              {"clock", {{584, 110}, {850, 194}, {1214, 370}, {2494, 590}}},
                                              {"state", kStatusHalf},
                                              {"stats", kStatusHalf}};
// What each display is fed with.
const QMap<QString, QStringList> kData = {{"sky", kTimeTitles.keys()},
                                          {"position", kTimeTitles.keys()},
                                          {"bars", kTimeTitles.keys()},
                                          {"chart", {"Time Difference", "Control"}},
                                          {"clock", {"local"}},
                                          {"state", {"Starting...", "NO GPS", "No Service", "Locked"}},
                                          {"stats", {"ZDA"}}};

CGPSDisplayData Epoch(const QString& strCapture)
{
    CNmeaReplay replay;
    CGPSDisplayData display;
    if (!replay.Load(qEnvironmentVariable("TELLURIX_SOURCE_DIR") + "/tests/data/" + strCapture +
                     "-epoch.nmea"))
        qFatal("no capture %s", qPrintable(strCapture));
    CNmeaGpsState state;
    BRFN::CMD_DATA_GPS_STATUS status;
    for (int i = 0; i < replay.EpochCount(); ++i)
        status = state.Apply(replay.Epoch(i));
    CMainWindow::ConvertGPSStatus(status, display);
    return display;
}

// The two charts of the main window, with three minutes of points when bData.
void SetUpChart(CStripChartWidget& chart, const QString& strTitle, bool bData)
{
    const bool bTime = strTitle == "Time Difference";
    chart.m_strTitle = strTitle;
    chart.m_strYLabel = bTime ? "Seconds" : "Clock Counter";
    chart.SetYRangeAndMinimum(bTime ? -0.025 : -50, bTime ? 0.025 : 50, false);
    chart.SetXRange(0, 300, false);
    if (!bTime)
        chart.SetValueFormat("%.01f", false);
    if (!bData)
        return;
    chart.SetValueTag(bTime ? 2 : 0, true, false);
    for (int i = 0; i < 180; ++i)
        chart.AddPoint(bTime ? 2 : 0, i, (bTime ? 0.004 : 20.0) * std::sin(i / 20.0), 0, false);
}

QString Box(const QRectF& r)
{
    return QString::asprintf("(%.1f,%.1f %.1fx%.1f)", r.x(), r.y(), r.width(), r.height());
}

QString Where(const PaintedText& t)
{
    return "\"" + t.text + "\" at " + Box(t.glyphs);
}

// Which of the position panel's seven boxes holds the glyphs' centre: four rows of
// r = (h - 1) / 4 over the width w - 1, the third row halved, the last in W/4, W/4, W/2.
int PositionBox(const PaintedText& t, QSize size)
{
    const double W = size.width() - 1, r = (size.height() - 1) / 4.0;
    const QPointF c = t.glyphs.center();
    const int nRow = int(c.y() / r);
    const int aFirst[4] = {0, 1, 2, 4};
    if (nRow < 2 || nRow > 3)
        return nRow < 2 ? nRow : -1;
    return aFirst[nRow] + (nRow == 2 ? int(c.x() / (W / 2)) : std::min(2, int(c.x() / (W / 4))));
}

// The third of a panel the glyphs' centre is in.
QString Third(const PaintedText& t, QSize size)
{
    const QStringList names = {"top", "middle", "bottom"};
    return names.value(int(3 * t.glyphs.center().y() / size.height()), "outside");
}

// Left of a chart's plot (labels, caption), in it (title, traces) or below it; "upward" for
// text that reads upwards.
QString ChartPlace(const PaintedText& t, QSize size)
{
    const double dPlotBottom = size.height() - 1 - 15.0;
    const QString strPlace = t.glyphs.right() <= 80          ? "left"
                             : t.glyphs.top() >= dPlotBottom ? "below"
                                                             : "plot";
    return strPlace + (t.glyphs.height() > t.glyphs.width() && t.text.size() > 1 ? " upward" : "");
}

// Fails with the rule and the first dozen offending texts.
void Report(const QString& strRule, const QStringList& bad)
{
    if (!bad.isEmpty())
        QFAIL(qPrintable(QStringLiteral("%1 (%2): %3%4")
                             .arg(strRule)
                             .arg(bad.size())
                             .arg(bad.mid(0, 12).join("; "))
                             .arg(bad.size() > 12 ? "; ..." : "")));
}
} // namespace

class tst_Legibility : public QObject
{
    Q_OBJECT

    CNavConversions m_nav{CNavConversions::PosFormatDD_MM_MMMM, CNavConversions::AltitudeEnglish};
    CBRFNProtocolQt m_link; // only its connection flag is read
    CGPSDisplayData m_data;

    // A display fed with the row's data: an epoch, a chart's title, a state's word.
    std::unique_ptr<QWidget> Make(const QString& strKind, const QString& strData, QSize size)
    {
        if (kTimeTitles.contains(strData))
            m_data = Epoch(strData);
        std::unique_ptr<QWidget> w;
        const auto fed = [&](auto* p) { return p->SetData(m_data, false), p; };
        if (strKind == "sky")
            w.reset(fed(new CAzimuthElevationWnd(nullptr)));
        else if (strKind == "bars")
            w.reset(fed(new CSignalQuality(nullptr)));
        else if (strKind == "clock")
            w.reset(new CTimeStatusWidget(nullptr));
        if (strKind == "position") {
            auto* p = new CPositionStatusWnd(&m_nav, nullptr);
            w.reset((p->SetData(m_data), p));
        } else if (strKind == "chart") {
            auto* p = new CStripChartWidget(nullptr);
            w.reset((SetUpChart(*p, strData, true), p));
        } else if (strKind == "state") { // the last record locked, 0.123 ms, unless the row says
            m_link.m_bConnected = strData != "No Service";
            const int nState = QStringList({"Off", "", "NO GPS", "Starting..."}).indexOf(strData);
            w.reset(StatePanel(nState < 0 ? 6 : nState, 0.000123));
        } else if (strKind == "stats") {
            w.reset(StatsPanel(0.000234, 3600, 1)); // ZDA
        }
        w->resize(size);
        return w;
    }

    QWidget* StatePanel(int nState, double dError)
    {
        auto* p = new CSystemStatusWidget(&m_link, nullptr);
        p->OnSignalControlLoopStatus({0, dError, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nState});
        return p;
    }
    // After a GPS status naming the time source (none for -1) and a locked record.
    static QWidget* StatsPanel(double dSpread, int nSamples, int nSource)
    {
        auto* p = new CSystemStatsWidget(nullptr);
        BRFN::CMD_DATA_GPS_STATUS gps;
        gps.nTimeSource = nSource;
        if (nSource >= 0)
            p->OnGPSStatus(gps);
        p->OnSignalControlLoopStatus({0, 0, 0, 0, 0, dSpread, nSamples, 0, 0, 0, 0, 0, 6});
        return p;
    }

    // Renders the row's display; fnBreach says what is wrong with text i, if anything.
    template <typename Fn> void Check(const char* pszRule, Fn fnBreach)
    {
        QFETCH(QString, kind);
        QFETCH(QString, data);
        QFETCH(QSize, size);
        QVector<PaintedShape> shapes;
        const Texts texts = RecordText(Make(kind, data, size).get(), &shapes);
        QStringList bad;
        for (int i = 0; i < texts.size(); ++i)
            bad << fnBreach(texts, i, size, shapes);
        bad.removeAll(QString());
        Report(pszRule, bad);
    }

    static void Rows(const QStringList& kinds)
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QSize>("size");
        for (const QString& kind : kinds)
            for (int i = 0; i < 4; ++i)
                for (const QString& data : kData[kind])
                    QTest::addRow("%s %s, window %s", qPrintable(kind), qPrintable(data), kWindows[i])
                        << kind << data << kSizes[kind][i];
    }

private slots:
    void initTestCase()
    {
        // No connection: the flag is set by the rows; local time is 5:30 h off UTC.
        m_link.findChild<QTcpSocket*>()->blockSignals(true);
        m_link.findChild<QTcpSocket*>()->abort();
        qputenv("TZ", "XST-5:30");
        tzset();
    }

    // The oracle itself: a child 400 x 350 at (100, 50) in its parent is read in its own
    // coordinates; a label wider than its rectangle shows as clipped by it.
    void oracle()
    {
        QWidget parent;
        auto* sky = new CAzimuthElevationWnd(&parent);
        sky->setGeometry(100, 50, 400, 350);
        CGPSDisplayData data;
        data.aSats[0] = {315, 30, true, 90, 45, 1}; // drawn at (287, 175)
        sky->SetData(data, false);
        QVector<PaintedShape> shapes;
        const Texts texts = RecordText(sky, &shapes);
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts[0].text, "315");
        QVERIFY2(qAbs(texts[0].glyphs.center().x() - 287) < 2, qPrintable(Where(texts[0])));
        QCOMPARE(shapes.last().rect, QRectF(273, 161, 28, 28)); // the marker, 400 x 0.08 px wide
        QVERIFY(shapes.last().bMarker);
        QVERIFY(!Clipped(texts[0], sky->size()));
        // A text drawn into a rectangle too small for it is cut at the rectangle: clipped.
        struct Narrow : QWidget
        {
            void paintEvent(QPaintEvent*) override
            {
                QPainter(this).drawText(QRect(20, 0, 10, 30), 0, "315");
            }
        } narrow;
        narrow.resize(100, 30);
        const Texts cut = RecordText(&narrow);
        QVERIFY(cut.size() == 1 && cut[0].clip == QRectF(20, 0, 10, 30) && Clipped(cut[0], narrow.size()));
        QCOMPARE(Contrast(Qt::black, Qt::white), 21.0);
        QVERIFY(qAbs(Contrast(QColor(0x77, 0x77, 0x77), Qt::white) - 4.48) < 0.005); // the usual example
    }

    void inside_data() { Rows(kData.keys()); }
    void inside()
    {
        Check("glyphs clipped or outside the widget", [](const Texts& t, int i, QSize size, auto&) {
            return !Clipped(t[i], size)  ? QString()
                   : t[i].clip.isEmpty() ? Where(t[i]) + " in an empty clip (not shown)"
                                         : Where(t[i]) + " beyond clip " + Box(t[i].clip) + " or widget " +
                                               Box(QRect(QPoint(), size));
        });
    }

    void noOverlap_data() { Rows(kData.keys()); }
    void noOverlap()
    {
        Check("texts overlap", [](const Texts& t, int i, QSize, auto&) {
            QStringList bad;
            for (int j = i + 1; j < t.size(); ++j)
                if (Overlap(t[i], t[j]))
                    bad << Where(t[i]) + " overlaps " + Where(t[j]);
            return bad.join("; ");
        });
    }

    void markersUnderLabels_data() { Rows({"sky"}); }
    void markersUnderLabels()
    {
        // A label may lie on a marker (its own, or another's where no side is free), as long as
        // the marker is drawn first: no marker covers a number.
        Check("sky marker over a label",
              [](const Texts& t, int i, QSize, const QVector<PaintedShape>& shapes) {
                  QStringList bad;
                  for (const PaintedShape& marker : shapes)
                      if (marker.bMarker && marker.nTextsBefore > i && t[i].glyphs.intersects(marker.rect))
                          bad << Where(t[i]) + " under marker " + Box(marker.rect);
                  return bad.join("; ");
              });
    }

    void capHeight_data() { Rows(kData.keys()); }
    void capHeight()
    {
        Check("cap height below 8 px", [](const Texts& t, int i, QSize, auto&) {
            return CapHeightPx(t[i]) >= 8.0
                       ? QString()
                       : Where(t[i]) + QString::asprintf(" cap height %.1f px (%g pt)", CapHeightPx(t[i]),
                                                         t[i].font.pointSizeF());
        });
    }

    void barContrast_data() { Rows({"bars"}); }
    void barContrast()
    {
        Check("bar number contrast below 4.5", [](const Texts& t, int i, QSize, auto&) {
            const double dContrast = t[i].fill.isValid() ? Contrast(t[i].pen, t[i].fill) : 0.0;
            return dContrast >= 4.5 ? QString()
                                    : Where(t[i]) + QString(" %1 on %2: %3")
                                                        .arg(t[i].pen.name(), t[i].fill.name())
                                                        .arg(dContrast, 0, 'f', 2);
        });
    }

    // Every satellite number drawn, and drawn whole: "315", never "31".
    void wholeNumbers_data() { Rows({"sky", "bars"}); }
    void wholeNumbers()
    {
        QFETCH(QString, kind);
        QStringList painted;
        Check("", [&](const Texts& t, int i, QSize, auto&) { return (painted << t[i].text, QString()); });
        const int nSlots = kind == "sky"             ? 96
                           : m_data.nSatsInView == 0 ? 12
                                                     : qBound(0, m_data.nSatsInView, 96);
        QStringList bad;
        for (int i = 0; i < nSlots; ++i) {
            const CGPSDisplayData::SAT_DATA& s = m_data.aSats[i];
            if (kind == "sky" && (!s.nPRN || !s.nAzimuth || !s.nElevation))
                continue;
            for (int n : kind == "sky" ? QVector<int>{s.nPRN} : QVector<int>{s.nPRN, s.nSNR})
                if (!painted.removeOne(QString::number(n)))
                    bad << QString("%1 of PRN %2 not painted whole").arg(n).arg(s.nPRN);
        }
        Report("numbers missing or cut", bad);
    }

    // A title is painted whole, or cut and ended with "…" (unclipped, as every text: inside).
    void titlesElided_data() { Rows({"position", "chart"}); }
    void titlesElided()
    {
        QFETCH(QString, data);
        QStringList painted;
        Check("", [&](const Texts& t, int i, QSize, auto&) { return (painted << t[i].text, QString()); });
        const QStringList titles = kTimeTitles.contains(data)
                                       ? kPositionTitles + QStringList{kTimeTitles[data]}
                                       : QStringList{data, data == "Control" ? "Clock Counter" : "Seconds"};
        QStringList bad;
        for (const QString& title : titles)
            if (std::none_of(painted.begin(), painted.end(), [&](const QString& text) {
                    return text == title ||
                           (text.endsWith(QChar(0x2026)) && title.startsWith(text.chopped(1)));
                }))
                bad << "\"" + title + "\" not painted, nor elided";
        Report("title neither whole nor elided", bad);
    }

    // ---- What the displays say ------------------------------------------------------------

    void positionTexts_data()
    {
        QTest::addColumn<QString>("capture");
        QTest::addColumn<QStringList>("boxes"); // "box text", in paint order
        QTest::addColumn<QColor>("timeInk");    // its fill: tests/gps
        const auto row = [](const char* tag, const QString& strCapture, const QString& strValues,
                            QColor ink) {
            const QStringList titles = kPositionTitles + QStringList{kTimeTitles[strCapture]};
            QStringList boxes;
            for (int i = 0; i < 7; ++i)
                boxes << QString("%1 %2").arg(i).arg(titles[i])
                      << QString("%1 %2").arg(i).arg(strValues.split('|')[i]);
            QTest::newRow(tag) << strCapture << boxes << ink;
        };
        row("neo-m9n, 43 in view", "neo-m9n",
            "N 38° 06.6296'|W 122° 37.6138'|CM88qc46|272.6 ft|27|43|22:37:46", Role(QPalette::WindowText));
        row("he910, no fix: time flagged invalid", "he910-nofix",
            "N 00° 00.0000'|E 000° 00.0000'|JJ00aa00|0.0 ft|4|4|00:00:00", QColor(0, 0, 0));
        row("he910, valid time in 2019", "he910-2019",
            "N 50° 50.4126'|E 004° 20.8228'|JO20eu11|334.6 ft|7|7|10:55:00", QColor(255, 255, 0));
    }
    void positionTexts()
    {
        QFETCH(QString, capture);
        QFETCH(QColor, timeInk);
        const QSize size(1000, 400); // room for every text at its full size
        QStringList shown;
        for (const PaintedText& t : RecordText(Make("position", capture, size).get())) {
            const int nBox = PositionBox(t, size);
            shown << QString("%1 %2").arg(nBox).arg(t.text);
            QCOMPARE(t.pen, nBox == 6 ? timeInk : Role(QPalette::WindowText));
            if (nBox != 6)
                QCOMPARE(t.fill, Role(QPalette::Button));
        }
        QTEST(shown, "boxes");
    }

    void clockTexts_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<QSize>("size");
        QTest::newRow("local, flat: sized by height") << true << QSize(451, 101);
        QTest::newRow("UTC, tall: sized by width") << false << QSize(450, 300);
    }
    void clockTexts()
    {
        QFETCH(bool, local);
        QFETCH(QSize, size);
        const auto now = [&] {
            return local ? QDateTime::currentDateTime() : QDateTime::currentDateTimeUtc();
        };
        auto clock = Make("clock", "", size);
        static_cast<CTimeStatusWidget*>(clock.get())->m_bShowLocalTime = local;
        QStringList shown, expected;
        for (int nTry = 0; nTry < 3 && (nTry == 0 || shown != expected); ++nTry) { // a second may begin
            const QDateTime before = now();
            shown.clear();
            for (const PaintedText& t : RecordText(clock.get())) {
                shown << Third(t, size) + " " + t.text;
                QCOMPARE(t.pen, QColor(0, 0, 0));
                QCOMPARE(t.fill, Role(QPalette::Base));
            }
            expected = QStringList{"middle " + before.toString("HH:mm:ss"),
                                   "bottom " + before.toString("ddd MMM dd yyyy")};
        }
        QCOMPARE(shown, expected);
    }

    // The state panel's word and error, the statistics' lines (the window's 400 x 200) after one
    // record and a GPS status naming the time source (-1: none); state -2: the link is down and
    // the record says locked.
    void panelTexts_data()
    {
        QTest::addColumn<bool>("stats");
        QTest::addColumn<int>("state");
        QTest::addColumn<double>("value"); // estimated error on the state panel, spread on the statistics
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("texts"); // by third of the panel, in runs of one script
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<QColor>("fill");
        const QColor yellow(255, 242, 0), red(255, 0, 0), navy(0, 0, 128), green(0, 128, 0), white(Qt::white);
        const auto state = [](const char* tag, int nState, double dError, const QString& strWord,
                              const char* pszError, QColor ink, QColor fill) {
            QTest::newRow(tag) << false << nState << dError << 0 << 0
                               << "middle " + strWord + "|bottom Estimated Time Error: " + pszError << ink
                               << fill;
        };
        const char* na = "Not Available";
        state("off", 0, 0.1, "Off", na, Qt::black, QColor(192, 192, 192));
        state("no GPS", 2, 0.1, "NO GPS", na, yellow, red);
        state("starting", 3, 0.1, "Starting...", na, navy, yellow);
        state("recovery, the last state", 8, 0.1, "Recovery", na, white, navy);
        state("9", 9, 0.1, "Unknown", na, yellow, red);
        state("-1", -1, 0.1, "Unknown", na, yellow, red);
        state("no service, last record locked", -2, 0.000123, "No Service", "0.123 Milliseconds", Qt::black,
              QColor(192, 0, 0));
        state("locked 0.5 s: in ms", 6, 0.5, "Locked", "500.000 Milliseconds", white, green);
        state("locked 0.5000001 s: in seconds", 6, 0.5000001, "Locked", "0.500 Seconds", white, green);
        const auto stats = [](const char* tag, double dStdDev, int nSamples, int nSource,
                              const char* pszTexts) {
            QTest::newRow(tag) << true << 0 << dStdDev << nSamples << nSource << QString::fromUtf8(pszTexts)
                               << Role(QPalette::Text) << Role(QPalette::Window);
        };
        stats("stats: 0.8 s in ms, no GPS status", 0.8, 5, -1,
              "top 1σ = 800.000 |top ms |top Samples: 5|middle Using time from: --");
        stats("stats: 0.8000001 s in seconds, 2^32-1 samples", 0.8000001, -1, 1,
              "top 1σ = 0.800 |top Seconds |top Samples: -1|middle Using time from: ZDA");
        stats("stats: source 2", 0, 0, 2,
              "top 1σ = 0.000 |top ms |top Samples: 0|middle Using time from: Unknown");
    }
    void panelTexts()
    {
        QFETCH(bool, stats);
        QFETCH(int, state);
        QFETCH(double, value);
        QFETCH(int, samples);
        QFETCH(int, source);
        QFETCH(QColor, ink);
        QFETCH(QColor, fill);
        const QSize size(400, 200);
        m_link.m_bConnected = state != -2;
        std::unique_ptr<QWidget> panel(stats ? StatsPanel(value, samples, source)
                                             : StatePanel(state == -2 ? 6 : state, value));
        panel->resize(size);
        QStringList shown;
        for (const PaintedText& t : RecordText(panel.get())) {
            shown << Third(t, size) + " " + t.text;
            QCOMPARE(t.pen, ink);
            QCOMPARE(t.fill, fill);
        }
        QTEST(shown.join('|'), "texts");
    }

    void chartTexts_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("texts"); // left of the plot and in it
        QTest::newRow("time difference: %.03f") << "Time Difference"
                                                << "left 0.020|left 0.010|left 0.000|left -0.010|"
                                                   "left -0.020|left upward Seconds|plot Time Difference";
        QTest::newRow("control: %.01f")
            << "Control"
            << "left 50.0|left 40.0|left 30.0|left 20.0|left 10.0|left 0.0|left -10.0|"
               "left -20.0|left -30.0|left -40.0|left upward Clock Counter|plot Control";
    }
    void chartTexts()
    {
        QFETCH(QString, title);
        const QSize size(600, 400);
        CStripChartWidget chart(nullptr);
        SetUpChart(chart, title, false);
        chart.resize(size);
        QStringList shown;
        for (const PaintedText& t : RecordText(&chart)) {
            QCOMPARE(t.pen, Role(QPalette::ButtonText));
            if (ChartPlace(t, size) != "below")
                shown << ChartPlace(t, size) + " " + t.text;
        }
        QTEST(shown.join('|'), "texts");
    }
};

// The application's own conditions: QTEST_MAIN would set Qt::AA_Use96Dpi, under
// which text measured without a device is laid out at 96 DPI while the widgets
// paint at the screen's.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tst_Legibility test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_legibility.moc"
