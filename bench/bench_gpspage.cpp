// Cost of a full paint of the GPS Status page: the signal bars, the position
// panel and the sky plot of a 1000 x 700 page rendered into a QImage, with
// every one of the record's 96 satellite slots in view, used and placed on
// the sky, as a receiver tracking four constellations could report them.
// The page's target is under 3 ms a paint, with DejaVu Sans and with Nimbus Sans
// (FONTCONFIG_FILE=bench/fontconfig/<face>.conf pins each).
#include "cgpsdisplaydata.h"
#include "cgpsstatuswnd.h"
#include "cnavconversions.h"
#include "displayfont.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLayout>

#include <cstdio>

namespace {

CGPSDisplayData FullSky()
{
    CGPSDisplayData data;
    data.nSatsTracked = 96;
    data.nSatsInView = 96;
    data.dLatitude = -45.8788;
    data.dLongitude = 170.5028;
    data.dAltitude = 112.5;
    data.nGPSTime = 1700000000;
    data.nGPSTimeFlag = 1;
    for (int i = 0; i < CGPSDisplayData::MAX_SATELLITES; ++i)
        data.aSats[i] = {i + 1, 20 + i % 35, true, (i * 37) % 359 + 1, (i * 13) % 89 + 1, i % 4};
    return data;
}

void BM_GPSPagePaint(benchmark::State& state)
{
    CGPSDisplayData data = FullSky();
    CNavConversions nav(CNavConversions::PosFormatDD_MM_SS_SSS, CNavConversions::AltitudeMetric);
    CGPSStatusWnd page(&data, &nav, nullptr);
    page.resize(1000, 700);
    page.layout()->activate();
    page.UpdateGPSStatus();
    QImage image(page.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        page.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_GPSPagePaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Off-screen unless a display is asked for; 96 DPI like the page's worked sizes.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    // Text is most of the cost, and it depends on the face the name resolves to
    // (a private FONTCONFIG_FILE can pin one).
    benchmark::AddCustomContext("font", QFontInfo(DisplayFont::Face(10)).family().toStdString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
