#include "savefile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSaveFile>

namespace DataOut {

namespace {
// The folder of the last save: every save of a session starts there.
QString& LastFolder()
{
    static QString s_strFolder = QDir::homePath();
    return s_strFolder;
}
} // namespace

QString AskSaveFileName(QWidget* pParent, const QString& strTitle, const QString& strSuggestedName,
                        const QStringList& filters, QString* pstrFilter)
{
    QString strName = QFileDialog::getSaveFileName(
        pParent, strTitle, QDir(LastFolder()).filePath(strSuggestedName), filters.join(QStringLiteral(";;")),
        pstrFilter, QFileDialog::DontUseNativeDialog);
    if (strName.isEmpty())
        return strName;
    const QFileInfo info(strName);
    if (info.suffix().isEmpty() && pstrFilter) {
        // "PNG image (*.png)" gives ".png".
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("\\*(\\.\\w+)")).match(*pstrFilter);
        if (match.hasMatch())
            strName += match.captured(1);
    }
    LastFolder() = info.absolutePath();
    return strName;
}

bool SaveFile(QWidget* pParent, const QString& strTitle, const QString& strPath,
              const std::function<bool(QIODevice&)>& fnWrite)
{
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        ReportFailure(pParent, strTitle, strPath, file.errorString());
        return false;
    }
    if (!fnWrite(file)) {
        QString strReason = file.errorString();
        if (strReason.isEmpty() || file.error() == QFileDevice::NoError)
            strReason = QObject::tr("the data could not be written");
        file.cancelWriting();
        ReportFailure(pParent, strTitle, strPath, strReason);
        return false;
    }
    if (!file.commit()) {
        ReportFailure(pParent, strTitle, strPath, file.errorString());
        return false;
    }
    return true;
}

void ReportFailure(QWidget* pParent, const QString& strTitle, const QString& strPath,
                   const QString& strReason)
{
    QMessageBox::warning(
        pParent, strTitle,
        QObject::tr("Could not write %1: %2").arg(QDir::toNativeSeparators(strPath), strReason));
}

QString FileStem(const QString& strTitle)
{
    QString strStem = strTitle.toLower();
    strStem.replace(QRegularExpression(QStringLiteral("[^\\w]+")), QStringLiteral("-"));
    strStem.remove(QLatin1Char('_'));
    while (strStem.startsWith(QLatin1Char('-')))
        strStem.remove(0, 1);
    while (strStem.endsWith(QLatin1Char('-')))
        strStem.chop(1);
    return strStem.isEmpty() ? QStringLiteral("export") : strStem;
}

} // namespace DataOut
