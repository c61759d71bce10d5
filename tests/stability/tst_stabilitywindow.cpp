// The Stability Analysis window: the log axes' geometry, the plot as painted, the recorder's runs,
// the window following its recorder and its kind, and the export of the table and the plot.
#include "cstabilityplot.h"
#include "cstabilitywindow.h"
#include "logplotgeometry.h"
#include "paintedtext.h"
#include "phaserecorder.h"
#include "pixels.h"
#include "testwindow.h"

#include <QComboBox>
#include <QFile>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <random>

using LogPlot::Decades;
using Stability::Row;
Q_DECLARE_METATYPE(Decades)

namespace {
const double kNaN = std::nan("");

// A run of white phase noise and a drift: n points, one a second.
void Feed(CPhaseRecorder& recorder, int n)
{
    std::mt19937 generator(7);
    std::normal_distribution<double> noise(0.0, 1e-6);
    for (int i = 0; i < n; ++i)
        recorder.Add(i, 1e-9 * i + noise(generator));
}

// Rows: tau 2, 20, 200 over the decades 1 .. 1000; values 1e-9 (bounds 5e-10 .. 2e-9), 1e-10
// (8e-11 .. 1.25e-10), 3e-11 without bounds: the values' decades run 1e-11 .. 1e-8.
std::vector<Row> ThreeRows()
{
    return {{1, 2, 100, 1e-9, 0, 50, 5e-10, 2e-9},
            {10, 20, 90, 1e-10, -1, 40, 8e-11, 1.25e-10},
            {100, 200, 80, 3e-11, Stability::kNoAlpha, kNaN, kNaN, kNaN}};
}
} // namespace

class tst_StabilityWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AllowOffscreenWindowWarnings(); // the export's dialogs
        QVERIFY(m_tmp.isValid());
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The decades that hold the values; unusable values, and every value without usable decades, have no
    // pixel (where the others lie the plot's painted markers show).
    void logAxis_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high"); // low == high: invalid
        QTest::newRow("across one") << QVector<double>{0.5, 3} << -1 << 1;
        QTest::newRow("on decades") << QVector<double>{1, 1000} << 0 << 3;
        QTest::newRow("inside one") << QVector<double>{2, 5} << 0 << 1;
        QTest::newRow("one value on a decade") << QVector<double>{10} << 1 << 2;
        QTest::newRow("a hair over a decade") << QVector<double>{1000.0000000001, 1e-12} << -12 << 3;
        QTest::newRow("extremes") << QVector<double>{4.9e-324, 1.7e308} << -324 << 309;
        QTest::newRow("unusable ones left out") << QVector<double>{kNaN, -1, 0, HUGE_VAL, 3e-7} << -7 << -6;
        QTest::newRow("nothing usable") << QVector<double>{0, kNaN} << 0 << 0;
    }
    void logAxis()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, low);
        QFETCH(int, high);
        const Decades d = LogPlot::DecadeRange(values);
        QCOMPARE(QList<int>({d.nLow, d.nHigh}), QList<int>({low, high}));
        QCOMPARE(std::isnan(LogPlot::Pixel(values.first(), d, 300, 0)), !(values.first() > 0) || low == high);
        QVERIFY(std::isnan(LogPlot::Pixel(1.0, Decades{3, 3}, 300, 0)));
    }

    // Decade lines, and the eight between each two once a decade is 60 px long; labels far enough apart.
    void gridAndLabels_data()
    {
        QTest::addColumn<Decades>("decades");
        QTest::addColumn<double>("pixels"); // labels 30 px long
        QTest::addColumn<int>("lines");
        QTest::addColumn<QList<int>>("labelled");
        QTest::newRow("minor lines") << Decades{0, 1} << 100.0 << 10 << QList<int>{0, 1};
        QTest::newRow("59 px a decade") << Decades{0, 2} << 118.0 << 3 << QList<int>{0, 1, 2};
        QTest::newRow("crowded, every 2nd")
            << Decades{-12, 0} << 240.0 << 13 << QList<int>{-12, -10, -8, -6, -4, -2, 0};
        QTest::newRow("every 5th") << Decades{-13, -2} << 110.0 << 12 << QList<int>{-10, -5};
        QTest::newRow("one label, not two") << Decades{0, 1} << 10.0 << 2 << QList<int>{0};
        QTest::newRow("no multiple inside") << Decades{-13, -11} << 10.0 << 3 << QList<int>{-13};
        QTest::newRow("invalid") << Decades{3, 3} << 100.0 << 0 << QList<int>{};
    }
    void gridAndLabels()
    {
        QFETCH(Decades, decades);
        QFETCH(double, pixels);
        QTEST(LogPlot::Grid(decades, pixels).size(), "lines");
        QTEST(LogPlot::LabelledExponents(decades, LogPlot::LabelStep(decades, pixels, 30)).toList(),
              "labelled");
    }

    // A label goes to the first free corner beside its point, or nowhere.
    void placeLabels_data()
    {
        QTest::addColumn<QVector<QRectF>>("taken");
        QTest::addColumn<double>("right"); // of the bounds
        QTest::addColumn<QRectF>("placed");
        const QRectF upperRight(104, 86, 30, 10), lowerRight(104, 104, 30, 10), upperLeft(66, 86, 30, 10);
        QTest::newRow("free") << QVector<QRectF>{} << 200.0 << upperRight;
        QTest::newRow("touching is free") << QVector<QRectF>{{134, 80, 10, 10}} << 200.0 << upperRight;
        QTest::newRow("bar on the right") << QVector<QRectF>{{120, 80, 4, 30}} << 200.0 << upperLeft;
        QTest::newRow("above taken") << QVector<QRectF>{{90, 80, 60, 10}} << 200.0 << lowerRight;
        QTest::newRow("near the edge") << QVector<QRectF>{} << 120.0 << upperLeft;
        QTest::newRow("all taken") << QVector<QRectF>{{0, 0, 200, 200}} << 200.0 << QRectF();
    }
    void placeLabels()
    {
        QFETCH(QVector<QRectF>, taken);
        QFETCH(double, right);
        const QVector<QRectF> boxes = LogPlot::PlaceLabels({{100, 100}, {101, 100}}, {{30, 10}, {30, 10}},
                                                           taken, {0, 0, right, 200}, 4);
        QTEST(boxes.first(), "placed");
        QVERIFY(boxes.last().isNull() || !boxes.last().intersects(boxes.first())); // never on another
    }

    // Markers at the log positions, bars from the lower to the upper bound (none without bounds), the
    // noise type beside its point.
    void plotPaintsRows()
    {
        CStabilityPlot plot;
        plot.resize(600, 400);
        plot.SetRows(Stability::Kind::Oadev, ThreeRows());
        const QRectF r = plot.ComputeLayout().plot;
        const auto x = [&](double tau) { return r.left() + std::log10(tau) / 3 * r.width(); };
        const auto y = [&](double v) { return r.bottom() - (std::log10(v) + 11) / 3 * r.height(); };
        const QImage image = Render(plot);
        const QColor data = Role(QPalette::Highlight);
        // Top and bottom of the data colour in the columns of a point.
        const auto span = [&](double dX) {
            int nTop = image.height(), nBottom = -1;
            for (int c = qRound(dX) - 1; c <= qRound(dX) + 1; ++c)
                for (int row = 0; row < image.height(); ++row)
                    if (image.pixelColor(c, row) == data) {
                        nTop = qMin(nTop, row);
                        nBottom = qMax(nBottom, row);
                    }
            return QPoint(nTop, nBottom);
        };
        for (const Row& row : ThreeRows())
            QCOMPARE(image.pixelColor(QPointF(x(row.dTau), y(row.dValue)).toPoint()), data);
        QVERIFY(qAbs(span(x(2)).x() - y(2e-9)) <= 1 && qAbs(span(x(2)).y() - y(5e-10)) <= 1);
        QVERIFY(qAbs(span(x(20)).x() - y(1.25e-10)) <= 1 && qAbs(span(x(20)).y() - y(8e-11)) <= 1);
        QVERIFY(span(x(200)).y() - span(x(200)).x() < 12); // the marker alone
        QRectF wfm;                                        // beside the first point, short of the second
        for (const PaintedText& t : RecordText(&plot))
            if (t.text == "WFM")
                wfm = t.glyphs;
        QVERIFY(wfm.left() > x(2) && wfm.right() < x(20) && qAbs(wfm.center().y() - y(1e-9)) < 20);
    }

    // Every text whole, legible and apart, and off the markers, at the smallest size, the usual one
    // and a large one, with forty rows that zigzag down 24 decades (a label beside a low point meets
    // the next high one), two in three without bounds, from a tau0 of 0.01 s; nothing but the
    // empty-state text without rows. Absurd sizes must only return.
    void plotTextsLegible_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("rows");
        for (QSize size : {QSize(240, 160), QSize(560, 340), QSize(1400, 900)})
            QTest::addRow("%dx%d, 40 rows", size.width(), size.height()) << size << 40;
        for (QSize size : {QSize(150, 100), QSize(560, 340)})
            QTest::addRow("%dx%d, empty", size.width(), size.height()) << size << 0;
    }
    void plotTextsLegible()
    {
        QFETCH(QSize, size);
        QFETCH(int, rows);
        std::vector<Row> data;
        for (int i = 0; i < rows; ++i) {
            const double v = 1e-3 / std::ldexp(1.0, 2 * i) * (i % 2 ? 3.0 : 1.0);
            const double dBound = i % 3 ? kNaN : 1.0;
            data.push_back({1LL << i, 0.01 * std::ldexp(1.0, i), 1000, v, i % 5 - 2, 10, 0.7 * v * dBound,
                            1.4 * v * dBound});
        }
        CStabilityPlot plot;
        plot.SetRows(Stability::Kind::Tdev, data);
        plot.SetEmptyText("Collecting data: 2 of at least 3 points");
        for (QSize absurd : {QSize(0, 0), QSize(1, 1), QSize(20, 5)}) {
            plot.resize(absurd);
            Render(plot);
        }
        plot.resize(size);
        QVector<PaintedShape> shapes;
        const QVector<PaintedText> texts = RecordText(&plot, &shapes);
        QStringList shown;
        for (const PaintedText& t : texts) {
            shown << t.text;
            QVERIFY2(!Clipped(t, size) && CapHeightPx(t) >= 8.0 - 1e-6, qPrintable(t.text));
            for (const PaintedShape& marker : shapes) // filled in the data colour
                QVERIFY2(marker.brush != Role(QPalette::Highlight) || !marker.rect.intersects(t.glyphs),
                         qPrintable(t.text));
            for (const PaintedText& other : texts)
                QVERIFY2(&other == &t || !Overlap(t, other), qPrintable(t.text + " on " + other.text));
        }
        if (rows == 0)
            QCOMPARE(shown.join(' '), "Collecting data: 2 of at least 3 points"); // on lines where narrow
        else
            QVERIFY2(shown.contains("x (s)") && shown.join("").contains(QString::fromUtf8("τ (s)")) &&
                         shown.contains("RWFM"),
                     qPrintable(shown.join('|'))); // "τ (" and "s)": one run of a script each
    }

    // A run ends at a gap of more than 1.5 intervals, a clock that went back, a value that is not
    // finite and a break; a full recorder drops its oldest points. Every event is a generation.
    void recorderRuns_data()
    {
        QTest::addColumn<QString>("events"); // "arrival:value", "B" for a break
        QTest::addColumn<int>("max");
        QTest::addColumn<QList<double>>("phase");
        QTest::addColumn<double>("tau0");
        QTest::newRow("gap of 1.5 intervals") << "0:1 1:2 2.5:3" << 100 << QList<double>{1, 2, 3} << 1.25;
        QTest::newRow("gap over 1.5") << "0:1 1:2 2.51:3 3.51:4" << 100 << QList<double>{3, 4} << 1.0;
        QTest::newRow("clock went back") << "0:1 1:2 0.5:3" << 100 << QList<double>{3} << 0.0;
        QTest::newRow("not finite") << "0:1 1:2 2:nan 3:4 4:5" << 100 << QList<double>{4, 5} << 1.0;
        QTest::newRow("break") << "0:1 1:2 B 2:3 3:4" << 100 << QList<double>{3, 4} << 1.0;
        QTest::newRow("full") << "0:0 1:1 2:2 3:3 4:4 5:5 6:6 7:7 8:8 9:9" << 8
                              << QList<double>{2, 3, 4, 5, 6, 7, 8, 9} << 1.0;
    }
    void recorderRuns()
    {
        QFETCH(QString, events);
        QFETCH(int, max);
        CPhaseRecorder recorder{std::size_t(max)};
        for (const QString& event : events.split(' '))
            if (event == "B")
                recorder.Break();
            else
                recorder.Add(event.section(':', 0, 0).toDouble(), event.section(':', 1).toDouble());
        QTEST(QList<double>(recorder.Phase().begin(), recorder.Phase().end()), "phase");
        QTEST(recorder.Tau0(), "tau0");
        QCOMPARE(recorder.Generation(), std::uint64_t(events.count(' ') + 1));
    }

    // Shown, the window fills its table with the recorder's analysis; another kind computes again.
    // However narrow the window is made, every number stays whole.
    void windowFollowsKind()
    {
        CPhaseRecorder recorder;
        Feed(recorder, 1000);
        CStabilityWindow window(recorder);
        auto* pTable = window.findChild<QTableWidget*>("tableRows");
        QVERIFY(pTable->rowCount() == 0);
        window.show();
        for (Stability::Kind kind : {Stability::Kind::Oadev, Stability::Kind::Mtie}) {
            window.findChild<QComboBox*>("comboKind")->setCurrentIndex(kind == Stability::Kind::Mtie ? 5 : 0);
            const Stability::Analysis expected =
                Stability::Analyse(recorder.Phase(), 1.0, kind, Stability::TauSet::Octave);
            QTRY_COMPARE(pTable->rowCount(), int(expected.rows.size()));
            const int nValue = kind == Stability::Kind::Mtie ? 3 : 5; // the value's column
            QTRY_COMPARE(pTable->horizontalHeaderItem(nValue)->text(),
                         QString::fromUtf8(kind == Stability::Kind::Mtie ? "MTIE (s)" : "σ"));
            window.resize(200, 400);
            for (int i = 0; i < pTable->rowCount(); ++i) {
                const double dShown = pTable->item(i, nValue)->text().toDouble();
                QVERIFY(qAbs(dShown / expected.rows[std::size_t(i)].dValue - 1) < 1e-3);
                for (int c = 0; c < pTable->columnCount(); ++c) {
                    const QRect cell = pTable->visualItemRect(pTable->item(i, c));
                    QTRY_VERIFY(pTable->viewport()->width() >= cell.right() &&
                                cell.width() >
                                    pTable->fontMetrics().horizontalAdvance(pTable->item(i, c)->text()));
                }
            }
        }
    }

    // Export through the file dialog: the CSV exact and with '.' in a comma locale, the images at the
    // plot's size; a file that cannot be written is reported with the reason.
    void exportWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("csv") << "table.csv";
        QTest::newRow("png") << "plot.png";
        QTest::newRow("svg") << "plot.svg";
        QTest::newRow("unwritable") << "missing/table.csv";
    }
    void exportWrites()
    {
        QFETCH(QString, name);
        QLocale::setDefault(QLocale(QLocale::German));
        CPhaseRecorder recorder;
        Feed(recorder, 300);
        CStabilityWindow window(recorder);
        window.show();
        const QString strPath = m_tmp.filePath(name);
        auto* pPlot = window.findChild<CStabilityPlot*>();
        QTRY_VERIFY(!pPlot->Rows().empty());
        DialogDriver dialogs;
        dialogs.m_scripts = QStringList{"=" + strPath + " Return", "Return"};
        QTest::mouseClick(window.findChild<QPushButton*>("pushButtonExport"), Qt::LeftButton);
        if (name.startsWith("missing")) {
            QCOMPARE(dialogs.m_opened, QStringList({"QFileDialog", "QMessageBox"}));
            QVERIFY2(dialogs.m_strShown.startsWith("Could not write " + strPath + ": ") &&
                         !dialogs.m_strShown.endsWith(": "),
                     qPrintable(dialogs.m_strShown));
            QVERIFY(!QFile::exists(strPath));
        } else if (name.endsWith("csv")) {
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            const Stability::Analysis expected =
                Stability::Analyse(recorder.Phase(), 1.0, Stability::Kind::Oadev, Stability::TauSet::Octave);
            QCOMPARE(lines.size(), int(expected.rows.size()) + 1);
            QCOMPARE(lines.first(), "af,tau_s,n,noise,edf,oadev_min,oadev,oadev_max");
            for (std::size_t i = 0; i < expected.rows.size(); ++i) {
                const QStringList fields = lines[int(i) + 1].split(',');
                // Exact (QCOMPARE would allow 1e-12), so all 17 digits.
                QVERIFY(fields[1].toDouble() == expected.rows[i].dTau &&
                        fields[6].toDouble() == expected.rows[i].dValue);
            }
        } else if (name.endsWith("png")) {
            QCOMPARE(QImage(strPath).size(), pPlot->size());
        } else {
            QSvgRenderer svg(strPath);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBox(), QRect(QPoint(0, 0), pPlot->size()));
            QImage image(pPlot->size(), QImage::Format_RGB32);
            image.fill(Qt::black);
            QPainter painter(&image);
            svg.render(&painter);
            int nData = 0; // the markers' and bars' pixels
            for (int i = 0; i < image.width() * image.height(); ++i)
                nData += image.pixelColor(i % image.width(), i / image.width()) == Role(QPalette::Highlight);
            QVERIFY(nData > 50);
        }
    }

private:
    QTemporaryDir m_tmp;
};

QTEST_MAIN(tst_StabilityWindow)
#include "tst_stabilitywindow.moc"
