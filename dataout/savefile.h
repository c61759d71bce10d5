#ifndef SAVEFILE_H
#define SAVEFILE_H

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;
class QWidget;

namespace DataOut {

// Asks where to save, in the panel's own file dialog, starting in the folder
// of the last save of this session (the home folder at first) with
// strSuggestedName filled in. pstrFilter holds the filter shown first and
// returns the one chosen. A name without a suffix gets the chosen filter's
// first one. Returns an empty string when the user cancels.
QString AskSaveFileName(QWidget* pParent, const QString& strTitle, const QString& strSuggestedName,
                        const QStringList& filters, QString* pstrFilter);

// Writes strPath whole or not at all: fnWrite fills a temporary file beside
// it, which replaces strPath only when fnWrite returns true and the file is
// complete. A failure leaves no temporary file and an older strPath as it
// was, and is said in a message box over pParent with the reason. Returns
// whether the file was written.
bool SaveFile(QWidget* pParent, const QString& strTitle, const QString& strPath,
              const std::function<bool(QIODevice&)>& fnWrite);

// "Could not write <path>: <reason>" in a warning box over pParent.
void ReportFailure(QWidget* pParent, const QString& strTitle, const QString& strPath,
                   const QString& strReason);

// A file name from a title: lower case, words joined by '-', only letters,
// digits and '-' kept ("Time Difference" gives "time-difference").
QString FileStem(const QString& strTitle);

} // namespace DataOut

#endif // SAVEFILE_H
