// libFuzzer target: what the records feed once they are decoded.
//
// The first byte picks one of three paths, the rest drives it:
//  0. a GPS status with every field chosen by the input (doubles from raw bit
//     patterns, so NaN, infinities and huge values come up) goes through
//     CMainWindow::ConvertGPSStatus and the display record into the GPS page,
//     which is painted at an input-chosen size in an input-chosen notation;
//  1. the navigation conversions with raw doubles and any notation and unit
//     numbers, known or not; every text must stay bounded and the grid square
//     must be eight characters, of its alphabet for a position on the globe;
//  2. the input as one NMEA datagram to the main window's UDP socket, read by
//     its NMEA page; the page must keep its 1000-line cap.
//
// Runs on the offscreen platform; the main window's connection attempts need a
// network of their own (scripts/fuzz runs this target in a private network
// namespace so it never reaches a service or a test on this machine).
#include "cgpsdisplaydata.h"
#include "cgpsstatuswnd.h"
#include "cmainwindow.h"
#include "cnavconversions.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QUdpSocket>

#include <cmath>
#include <cstring>
#include <string>

namespace {

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

QApplication* App()
{
    static int argc = 1;
    static char name[] = "fuzz_display";
    static char* argv[] = {name, nullptr};
    static QApplication* s_pApp = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_FONT_DPI", "96");
        qInstallMessageHandler(Quiet);
        return new QApplication(argc, argv);
    }();
    return s_pApp;
}

double AnyDouble(FuzzedDataProvider& in)
{
    const uint64_t nBits = in.ConsumeIntegral<uint64_t>();
    double d;
    std::memcpy(&d, &nBits, sizeof d);
    return d;
}

void GpsPage(FuzzedDataProvider& in)
{
    static CGPSDisplayData s_shown; // the main window's record, copied by the page
    static CNavConversions s_nav(0, 0);
    static CGPSStatusWnd s_page(&s_shown, &s_nav, nullptr);

    CBRFNProtocolQt::CMD_DATA_GPS_STATUS status;
    status.dLatitude = AnyDouble(in);
    status.dLongitude = AnyDouble(in);
    status.dAltitude = AnyDouble(in);
    status.nSatsTracked = in.ConsumeIntegral<int32_t>();
    status.nSatsInView = in.ConsumeIntegral<int32_t>();
    status.nGPSTime = in.ConsumeIntegral<int32_t>();
    status.nGPSTimeFlag = in.ConsumeIntegral<int32_t>();
    for (auto& sat : status.aSats) {
        if (in.remaining_bytes() == 0)
            break;
        sat.nStatus = in.ConsumeIntegral<int32_t>();
        sat.nPRN = in.ConsumeIntegral<int32_t>();
        sat.nAzimuth = in.ConsumeIntegral<int32_t>();
        sat.nElevation = in.ConsumeIntegral<int32_t>();
        sat.nSNR = in.ConsumeIntegral<int32_t>();
        sat.bUsed = in.ConsumeBool();
    }
    s_nav.SetPositionFormat(in.ConsumeIntegral<unsigned int>());
    s_nav.SetAltitudeUnits(in.ConsumeIntegral<unsigned int>());
    const int nWidth = in.ConsumeIntegralInRange(0, 500);
    const int nHeight = in.ConsumeIntegralInRange(0, 400);

    CGPSDisplayData display;
    CMainWindow::ConvertGPSStatus(status, display);
    s_shown.SetData(display);
    CGPSDisplayData copy;
    if (!s_shown.GetData(&copy, sizeof copy) || std::memcmp(&copy.aSats, &display.aSats, sizeof copy.aSats))
        __builtin_trap();
    s_page.UpdateGPSStatus();
    s_page.resize(nWidth, nHeight);
    QImage image(qMax(1, nWidth), qMax(1, nHeight), QImage::Format_ARGB32_Premultiplied);
    s_page.render(&image);
}

void Navigation(FuzzedDataProvider& in)
{
    CNavConversions nav(in.ConsumeIntegral<unsigned int>(), in.ConsumeIntegral<unsigned int>());
    const double dLatitude = AnyDouble(in);
    const double dLongitude = AnyDouble(in);
    const double dAltitude = AnyDouble(in);
    for (const std::string& s :
         {nav.FormatLatitude(dLatitude), nav.FormatLongitude(dLongitude), nav.FormatAltitude(dAltitude)}) {
        // The largest double printed in full is 309 digits before the point.
        if (s.empty() || s.size() > 330)
            __builtin_trap();
    }
    // Positions off the globe are not clamped (each character keeps the low
    // eight bits of its code), so only positions on it have a known alphabet.
    const std::string strGrid = nav.GridSquare(dLatitude, dLongitude);
    if (strGrid.size() != 8)
        __builtin_trap();
    const bool bOnGlobe = std::fabs(dLatitude) < 90.0 && std::fabs(dLongitude) < 180.0;
    for (int i = 0; bOnGlobe && i < 8; ++i) {
        const char c = strGrid[i];
        const bool bOk = (i % 4 == 0 || i % 4 == 1) ? (i < 2 ? c >= 'A' && c <= 'R' : c >= 'a' && c <= 'x')
                                                    : (c >= '0' && c <= '9');
        if (!bOk)
            __builtin_trap();
    }
}

void NmeaPage(const uint8_t* data, size_t size)
{
    static CMainWindow* s_pWindow = [] {
        auto* pWindow = new CMainWindow;
        // The page shown, so datagrams go into its text rather than waiting.
        pWindow->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(3);
        pWindow->show();
        // As on every connection to the service: the NMEA socket is bound.
        QMetaObject::invokeMethod(pWindow, "OnBRFNProtocolConnected", Qt::DirectConnection);
        return pWindow;
    }();
    static QUdpSocket s_sender;
    static QPlainTextEdit* s_pEdit = s_pWindow->findChild<QPlainTextEdit*>("editNmea");
    if (!s_pEdit)
        __builtin_trap();
    s_sender.writeDatagram(reinterpret_cast<const char*>(data), qint64(qMin<size_t>(size, 65507)),
                           QHostAddress::LocalHost, CMainWindow::NMEA_PORT);
    QMetaObject::invokeMethod(s_pWindow, "OnUdpNmeaReadyRead", Qt::DirectConnection);
    if (s_pEdit->document()->blockCount() > 1000)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    App();
    if (size == 0)
        return 0;
    FuzzedDataProvider in(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        GpsPage(in);
        break;
    case 1:
        Navigation(in);
        break;
    default:
        NmeaPage(data + 1, size - 1);
        break;
    }
    return 0;
}
