// Data out: a chart's points as CSV read back exactly, the chart's and the GPS
// displays' menus, pictures as PNG and SVG, the position on the clipboard,
// and files that are written whole or not at all.
#include "cazimuthelevationwnd.h"
#include "chartcsv.h"
#include "cnavconversions.h"
#include "cpositionstatuswnd.h"
#include "csignalquality.h"
#include "cstripchartwidget.h"
#include "testwindow.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

bool Same(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

// Values that test the digits: awkward fractions, extremes, signed zeros,
// non-finite values.
double Awkward(std::mt19937_64& random, int i)
{
    const double aSpecial[] = {kNaN, kInf, -kInf, -0.0, 0.1, 5e-324, 1.7976931348623157e308, -1e-300};
    if (i % 97 < 8)
        return aSpecial[i % 97];
    return std::uniform_real_distribution<double>(-1, 1)(random) * std::pow(10.0, int(i % 41) - 20);
}

// A line on every sample, a band on every second and a line on every third,
// the last one starting later.
ChartCsv::Table MakeTable(int nRows)
{
    std::mt19937_64 random(7);
    ChartCsv::Table table;
    table.strXName = "Sample";
    table.series = {{"Time Difference", false, {}}, {"Fit, 1", true, {}}, {"Late", false, {}}};
    for (int i = 0; i < nRows; ++i) {
        table.series[0].points.append({double(i), Awkward(random, i), 0.0});
        if (i % 2 == 0)
            table.series[1].points.append({double(i), Awkward(random, i + 1), Awkward(random, i + 2)});
        if (i % 3 == 0 && i > nRows / 2)
            table.series[2].points.append({double(i), Awkward(random, i + 3), 0.0});
    }
    return table;
}

// A chart with the time-difference chart's names and styles and n records.
void Fill(CStripChartWidget& chart, int nRecords)
{
    chart.m_strTitle = "Time Difference";
    chart.m_strXName = "Sample";
    chart.SetDataSetStyle(0, CStripChartWidget::STYLE_BAND);
    chart.SetDataSetName(2, "Time Difference");
    chart.SetDataSetName(0, "Fit 1");
    chart.resize(381, 216);
    for (int i = 0; i < nRecords; ++i) {
        chart.AddPoint(2, i, 1e-3 * std::sin(i / 30.0), 0, false);
        chart.AddPoint(0, i, 2e-4, 1e-3 * std::cos(i / 30.0), false);
    }
}

QByteArray Csv(const ChartCsv::Table& table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return ChartCsv::Write(table, buffer, {}) ? buffer.data() : QByteArray("failed");
}

QByteArray Read(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}
} // namespace

class tst_DataOut : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        AllowOffscreenWindowWarnings();
        QVERIFY(m_tmp.isValid());
        // A German locale of the C library (a comma as decimal point), built here: the machine
        // need not have one.
        const QString strLocales = m_tmp.filePath("locales");
        QVERIFY(QDir().mkpath(strLocales));
        QCOMPARE(QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", strLocales + "/de_DE.UTF-8"}),
                 0);
        qputenv("LOCPATH", QFile::encodeName(strLocales));
    }

    // Every point comes back exactly, once, in its series' columns of the row of its x; the
    // other fields are empty; rows go up in x. Also in a comma locale, over several blocks.
    void csvReadsBack_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("all");
        QTest::addColumn<QString>("locale");
        QTest::newRow("all") << 500 << true << "C";
        QTest::newRow("visible 100..300") << 500 << false << "C";
        QTest::newRow("comma locale") << 500 << true << "de_DE.UTF-8";
        QTest::newRow("many blocks") << 150001 << true << "C";
    }
    void csvReadsBack()
    {
        QFETCH(int, rows);
        QFETCH(bool, all);
        QFETCH(QString, locale);
        ChartCsv::Table table = MakeTable(rows);
        table.bAll = all;
        table.dXMin = 100;
        table.dXMax = 300;
        QLocale::setDefault(QLocale(locale));
        QVERIFY(std::setlocale(LC_NUMERIC, qPrintable(locale)));
        QCOMPARE(*std::localeconv()->decimal_point, locale == "C" ? '.' : ',');
        const QByteArray csv = Csv(table);
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(QLocale::c());

        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.first(), "Sample,Time Difference,\"Fit, 1 centre\",\"Fit, 1 half-height\",Late");
        QCOMPARE(lines.last(), ""); // the last row ends its line
        QVector<int> next(3, 0);
        double dLastX = -1;
        for (int r = 1; r < lines.size() - 1; ++r) {
            const QList<QByteArray> fields = lines[r].split(',');
            QCOMPARE(fields.size(), 5);
            bool bOk = false;
            const double dX = fields[0].toDouble(&bOk);
            QVERIFY(bOk && dX > dLastX && (all || (dX >= 100 && dX <= 300)));
            dLastX = dX;
            int nField = 1;
            for (int k = 0; k < 3; ++k) {
                const QVector<ChartCsv::Point>& points = table.series[k].points;
                while (!all && next[k] < points.size() && points[next[k]].dX < 100)
                    ++next[k];
                const bool bHere = next[k] < points.size() && points[next[k]].dX == dX;
                const int nWidth = table.series[k].bBand ? 2 : 1;
                for (int f = 0; f < nWidth; ++f) {
                    const QByteArray& field = fields[nField + f];
                    if (!bHere) {
                        QVERIFY2(field.isEmpty(), lines[r].constData());
                        continue;
                    }
                    const ChartCsv::Point& point = points[next[k]];
                    const double dWant = nWidth == 2 && f == 0 ? point.dZ : point.dY;
                    // "nan", "inf", "-inf" as written; every other number as %.17g in the C locale.
                    const double dGot = field == "nan"    ? kNaN
                                        : field == "inf"  ? kInf
                                        : field == "-inf" ? -kInf
                                                          : field.toDouble(&bOk);
                    QVERIFY2(Same(dGot, dWant) && !field.contains(' '), lines[r].constData());
                }
                nField += nWidth;
                next[k] += bHere;
            }
        }
        for (int k = 0; k < 3; ++k) { // nothing left out
            const QVector<ChartCsv::Point>& points = table.series[k].points;
            while (next[k] < points.size() && !all && points[next[k]].dX > 300)
                ++next[k];
            QCOMPARE(next[k], points.size());
        }
    }

    // A cancelled export leaves no file, temporary or not, and an older file as it was.
    void cancelledExportLeavesNothing()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath("time-difference.csv");
        const ChartCsv::Table table = MakeTable(200000);
        const std::atomic<bool> bCancel{true};
        std::atomic<qint64> nDone{0};
        QString strError;
        QCOMPARE(int(ChartCsv::Save(table, strPath, bCancel, nDone, &strError)),
                 int(ChartCsv::Result::Cancelled));
        QVERIFY(nDone > 0 && nDone < ChartCsv::PointCount(table));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        {
            QFile older(strPath);
            QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        }
        ChartCsv::Save(table, strPath, bCancel, nDone, &strError);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"time-difference.csv"}));
        QCOMPARE(Read(strPath), "older");
    }

    // The chart's menu: exports through the file dialog, all or the visible range, with the
    // chart's own names; an empty chart offers no export; a file that cannot be written is said.
    void chartMenuExports_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("name");
        QTest::newRow("all") << "Export All Data…"
                             << "all.csv";
        QTest::newRow("visible") << "Export Visible Data…"
                                 << "visible.csv";
        QTest::newRow("unwritable") << "Export All Data…"
                                    << "missing/all.csv";
    }
    void chartMenuExports()
    {
        CStripChartWidget chart(nullptr);
        chart.resize(381, 216);
        QCOMPARE(ContextMenu(&chart, {}),
                 QStringList({"Copy Image", "Save Image…", "-", "(disabled) Export Visible Data…",
                              "(disabled) Export All Data…"}));
        Fill(chart, 1000);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart)); // window mode: the newest ~300 samples shown
        QVERIFY(chart.XMin() > 500);

        QFETCH(QString, choice);
        QFETCH(QString, name);
        const QString strPath = m_tmp.filePath(name);
        DialogDriver dialogs;
        dialogs.m_scripts = QStringList{"=" + strPath + " Return", "Return"};
        const ChartCsv::Table table = chart.ExportTable(choice.contains("All"));
        ContextMenu(&chart, choice);
        if (name.startsWith("missing")) {
            QTRY_COMPARE(dialogs.m_opened, QStringList({"QFileDialog", "QMessageBox"}));
            QVERIFY2(dialogs.m_strShown.startsWith("Could not write " + strPath + ": ") &&
                         !dialogs.m_strShown.endsWith(": "),
                     qPrintable(dialogs.m_strShown));
            QVERIFY(!QFileInfo::exists(strPath));
            return;
        }
        // Points that arrive while the file is written are not in it, and the chart keeps them.
        chart.AddPoint(2, 1000, 0.5, 0, true);
        QTRY_VERIFY(QFileInfo::exists(strPath));
        QTRY_COMPARE(chart.DataSet(2).arrayPoints.size(), 1001);
        QCOMPARE(chart.DataSet(2).arrayPoints.last().dY, 0.5);
        const QByteArray csv = Read(strPath);
        QVERIFY(csv.startsWith("Sample,Time Difference,Fit 1 centre,Fit 1 half-height\n"));
        QCOMPARE(csv.count('\n'), choice.contains("All") ? 1001 : int(chart.XMax() - chart.XMin()) + 2);
        QCOMPARE(csv, Csv(table));
    }

    // Save Image… writes a PNG of the display as painted (a name without a suffix gets the
    // chosen kind's) and an SVG at its size whose pixels are close to the PNG's; the chart's
    // SVG is vectors and text. Copy Image puts the PNG's picture on the clipboard.
    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("chart") << "chart";
        QTest::newRow("sky plot") << "sky";
        QTest::newRow("signal bars") << "bars";
    }
    void pictures()
    {
        QFETCH(QString, name);
        std::unique_ptr<QWidget> pWidget;
        if (name == "chart") {
            auto* pChart = new CStripChartWidget(nullptr);
            Fill(*pChart, 400);
            pWidget.reset(pChart);
        } else {
            pWidget.reset(name == "sky" ? static_cast<QWidget*>(new CAzimuthElevationWnd(nullptr))
                                        : new CSignalQuality(nullptr));
            pWidget->resize(240, 180);
        }
        pWidget->show();
        QVERIFY(QTest::qWaitForWindowExposed(pWidget.get()));
        DialogDriver dialogs;
        dialogs.m_scripts = QStringList{"=" + m_tmp.filePath(name) + " Return",
                                        "=" + m_tmp.filePath(name + ".svg") + " Return"};
        QCOMPARE(ContextMenu(pWidget.get(), "Save Image…").mid(0, 2),
                 QStringList({"Copy Image", "Save Image…"}));
        ContextMenu(pWidget.get(), "Save Image…");
        ContextMenu(pWidget.get(), "Copy Image");
        QCOMPARE(dialogs.m_opened, QStringList({"QFileDialog", "QFileDialog"}));

        const QImage png(m_tmp.filePath(name + ".png"));
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32),
                 pWidget->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(png.format()), png);
        const QByteArray svgBytes = Read(m_tmp.filePath(name + ".svg"));
        QVERIFY(name != "chart" || (svgBytes.contains("<polyline") && svgBytes.contains("<text") &&
                                    !svgBytes.contains("<image")));
        QSvgRenderer svg(svgBytes);
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBoxF(), QRectF(QPointF(0, 0), pWidget->size()));
        QVERIFY(
            svgBytes.contains(QString::asprintf("width=\"%gmm\"", pWidget->width() * 25.4 / 96).toLatin1()));
        QImage rendered(png.size(), QImage::Format_ARGB32);
        rendered.fill(Qt::white);
        QPainter painter(&rendered);
        svg.render(&painter);
        painter.end();
        // The SVG renderer antialiases every line and draws text its own way: compared in 8 x 8
        // blocks, the chart's pictures differ by 1.5 % on average (a blank picture: 11 %; the PNG
        // moved by 4 pixels: 1.7 %).
        const QSize small = png.size() / 8;
        const QImage a = png.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage b = rendered.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double dSum = 0;
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x) {
                const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
                dSum += qAbs(p.red() - q.red()) + qAbs(p.green() - q.green()) + qAbs(p.blue() - q.blue());
            }
        const double dMean = dSum / (3 * 255.0 * small.width() * small.height());
        QVERIFY2(dMean < 0.025, qPrintable(QString::number(dMean)));
    }

    // The position panel's menu copies the position as shown, in decimal degrees and as a geo:
    // URI (metres, whatever the panel shows), and the grid square.
    void positionClipboard_data()
    {
        QTest::addColumn<uint>("format");
        QTest::addColumn<uint>("units");
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("alt");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("degrees");
        QTest::addColumn<QString>("uri");
        const QString d = QString::fromUtf8("°");
        QTest::newRow("S E, dd mm") << 0u << 1u << -33.8688 << 151.2093 << 58.0
                                    << "S 33" + d + " 52.1280', E 151" + d + " 12.5580'"
                                    << "-33.8688, 151.2093"
                                    << "geo:-33.8688,151.2093,58.0";
        QTest::newRow("N W, dd mm ss, feet") << 1u << 0u << 40.6892 << -74.0445 << 93.04
                                             << "N 40" + d + " 41' 21.120\", W 074" + d + " 02' 40.200\""
                                             << "40.6892, -74.0445"
                                             << "geo:40.6892,-74.0445,93.0";
        QTest::newRow("dd.dd, rounds to zero") << 2u << 1u << -0.00001 << 0.0 << -3.26
                                               << "S 00.000010" + d + ", E 000.000000" + d << "0.0000, 0.0000"
                                               << "geo:0.0000,0.0000,-3.3";
        QTest::newRow("no altitude") << 0u << 1u << 10.0 << 20.0 << kNaN
                                     << "N 10" + d + " 00.0000', E 020" + d + " 00.0000'"
                                     << "10.0000, 20.0000"
                                     << "geo:10.0000,20.0000";
        QTest::newRow("not a place") << 0u << 1u << kNaN << 200.0 << 0.0
                                     << "N 00" + d + " 00.0000', E 200" + d + " 00.0000'"
                                     << ""
                                     << "";
    }
    void positionClipboard()
    {
        QFETCH(uint, format);
        QFETCH(uint, units);
        QFETCH(double, lat);
        QFETCH(double, lon);
        QFETCH(double, alt);
        QFETCH(QString, degrees);
        QFETCH(QString, uri);
        CNavConversions nav(format, units);
        CPositionStatusWnd panel(&nav, nullptr);
        panel.resize(300, 300);
        CGPSDisplayData data;
        data.dLatitude = lat;
        data.dLongitude = lon;
        data.dAltitude = alt;
        panel.SetData(data);
        QClipboard* pClipboard = QApplication::clipboard();
        const QStringList entries = ContextMenu(&panel, "Copy Position");
        QTEST(pClipboard->text(), "shown");
        const QString strDisabled = degrees.isEmpty() ? "(disabled) " : "";
        QCOMPARE(entries, QStringList({"Copy Position", strDisabled + "Copy as Decimal Degrees",
                                       strDisabled + "Copy geo: URI", "Copy Grid Square"}));
        ContextMenu(&panel, "Copy Grid Square");
        QCOMPARE(pClipboard->text(), QString::fromStdString(nav.GridSquare(lat, lon)));
        if (degrees.isEmpty())
            return;
        ContextMenu(&panel, "Copy as Decimal Degrees");
        QCOMPARE(pClipboard->text(), degrees);
        ContextMenu(&panel, "Copy geo: URI");
        QCOMPARE(pClipboard->text(), uri);
    }
};

QTEST_MAIN(tst_DataOut)
#include "tst_dataout.moc"
