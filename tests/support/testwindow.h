#ifndef TESTWINDOW_H
#define TESTWINDOW_H

// The real main window as the tests drive it, and the modal dialogs it opens
// driven by scripts.

#include "cmainwindow.h"

#include <QAction>
#include <QDialog>
#include <QStringList>

#include <functional>

class CStripChartWidget;
class QPlainTextEdit;

class TestWindow : public CMainWindow
{
public:
    enum Page
    {
        STATUS_PAGE,
        GPS_PAGE,
        LOOP_PAGE,
        NMEA_PAGE
    };
    // Pages are checked as the user sees them: current and shown (the window
    // at 1000 x 700 when it first shows).
    void ShowPage(int nPage);
    template <typename T> T* Find(const char* pszName) const { return findChild<T*>(pszName); }
    QAction* Action(const QString& strName) const { return findChild<QAction*>(strName); }
    CStripChartWidget* TimeDiffChart() const;
    CStripChartWidget* ControlChart() const;
    QPlainTextEdit* Nmea() const;
};

// The offscreen platform warns that it cannot raise, grab the keyboard for or
// pass size hints of a dialog's window; any other warning still ends the test,
// as QT_FATAL_WARNINGS (which must be 0 for such a test) does elsewhere.
void AllowOffscreenWindowWarnings();

// Opens pTarget's context menu as a right click at ptAt (its middle by
// default) does, and returns the menu's entries: "-" for a separator,
// "(disabled) " before an entry that is. An enabled entry named strChoice is
// then chosen with the keyboard; otherwise the menu is closed.
QStringList ContextMenu(QWidget* pTarget, const QString& strChoice, QPoint ptAt = QPoint(-1, -1));

// Every modal dialog that shows gets the next script; one that shows when none
// is left is cancelled, so an unexpected dialog fails instead of hanging.
// A script's steps, separated by spaces: a key name ("Tab", "Return") presses
// it on the focused widget; "=text" replaces the focused field's text ("="
// empties it); "@name" clicks the widget of that object name or button text;
// "?" reads the fields again into m_strShown; any other step goes to m_fnStep.
class DialogDriver : public QObject
{
public:
    DialogDriver();
    QStringList m_scripts;
    QStringList m_opened; // class names of the dialogs shown, in order
    QString m_strShown;   // the last scripted dialog's fields as its script started
    std::function<void(QDialog*, const QString&)> m_fnStep;

    // The fields as the user sees them, in form order: "[x]" for a checked box,
    // "(reason)" before a refused field, "OK disabled"; a message box's text.
    static QString Shown(const QDialog* pDlg);

private:
    void Poll();
    void RunScript(QDialog* pDlg, const QString& strScript);
};

#endif // TESTWINDOW_H
