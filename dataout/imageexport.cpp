#include "imageexport.h"

#include "savefile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>

namespace DataOut {

QImage WidgetImage(QWidget* pWidget)
{
    const qreal dRatio = pWidget->devicePixelRatioF();
    QImage image(pWidget->size() * dRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dRatio);
    // Under what a widget leaves unpainted (a widget without its own
    // background), white, as on a page.
    image.fill(Qt::white);
    pWidget->render(&image);
    return image;
}

bool WritePng(QWidget* pWidget, QIODevice& device)
{
    return WidgetImage(pWidget).save(&device, "PNG");
}

bool WriteSvg(QWidget* pWidget, QIODevice& device, const QString& strTitle)
{
    QSvgGenerator generator;
    generator.setOutputDevice(&device);
    generator.setSize(pWidget->size());
    generator.setViewBox(QRect(QPoint(0, 0), pWidget->size()));
    // The file gives its size in millimetres: at CSS's 96 pixels an inch,
    // browsers and editors show it at the widget's size in pixels.
    generator.setResolution(96);
    generator.setTitle(strTitle);
    QPainter painter;
    if (!painter.begin(&generator))
        return false;
    painter.fillRect(QRect(QPoint(0, 0), pWidget->size()), Qt::white);
    pWidget->render(&painter);
    return painter.end();
}

void CopyImage(QWidget* pWidget)
{
    QApplication::clipboard()->setImage(WidgetImage(pWidget));
}

void SaveImage(QWidget* pWidget, const QString& strTitle)
{
    const QString strPng = QObject::tr("PNG image (*.png)");
    const QString strSvg = QObject::tr("SVG image (*.svg)");
    QString strFilter = strPng;
    const QString strPath =
        AskSaveFileName(pWidget, QObject::tr("Save Image"), FileStem(strTitle) + QStringLiteral(".png"),
                        {strPng, strSvg}, &strFilter);
    if (strPath.isEmpty())
        return;
    // The name's suffix says what to write; any other suffix, the chosen filter.
    const QString strSuffix = QFileInfo(strPath).suffix().toLower();
    const bool bSvg =
        strSuffix == QLatin1String("svg") || (strSuffix != QLatin1String("png") && strFilter == strSvg);
    SaveFile(pWidget, QObject::tr("Save Image"), strPath, [&](QIODevice& device) {
        return bSvg ? WriteSvg(pWidget, device, strTitle) : WritePng(pWidget, device);
    });
}

void AddImageActions(QMenu* pMenu, QWidget* pWidget, const QString& strTitle)
{
    QAction* pCopy = pMenu->addAction(QObject::tr("Copy Image"));
    QObject::connect(pCopy, &QAction::triggered, pWidget, [pWidget] { CopyImage(pWidget); });
    QAction* pSave = pMenu->addAction(QObject::tr("Save Image…"));
    QObject::connect(pSave, &QAction::triggered, pWidget,
                     [pWidget, strTitle] { SaveImage(pWidget, strTitle); });
}

} // namespace DataOut
