#include "testwindow.h"

#include "cstripchartwidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdlib>

void TestWindow::ShowPage(int nPage)
{
    Find<QTabWidget>("tabWidget")->setCurrentIndex(nPage);
    if (isVisible())
        return;
    resize(1000, 700);
    layout()->activate(); // size limits settled before showing, or offscreen warns
    show();
    QVERIFY(QTest::qWaitForWindowExposed(this));
}

CStripChartWidget* TestWindow::TimeDiffChart() const
{
    return Find<QWidget>("widgetTimeDiff")->findChild<CStripChartWidget*>();
}

CStripChartWidget* TestWindow::ControlChart() const
{
    return Find<QWidget>("widgetControlValue")->findChild<CStripChartWidget*>();
}

QPlainTextEdit* TestWindow::Nmea() const
{
    return Find<QPlainTextEdit>("editNmea");
}

void AllowOffscreenWindowWarnings()
{
    static const QtMessageHandler s_previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
            s_previous(type, context, msg);
            if (type != QtDebugMsg && type != QtInfoMsg && !msg.startsWith("This plugin does not support"))
                std::abort();
        });
}

QStringList ContextMenu(QWidget* pTarget, const QString& strChoice, QPoint ptAt)
{
    if (ptAt.x() < 0)
        ptAt = pTarget->rect().center();
    QStringList entries;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!pMenu)
            return;
        poll.stop();
        QAction* pChosen = nullptr;
        for (QAction* pAction : pMenu->actions()) {
            entries << (pAction->isSeparator()
                            ? QStringLiteral("-")
                            : (pAction->isEnabled() ? "" : "(disabled) ") + pAction->text());
            if (!pAction->isSeparator() && pAction->text() == strChoice && pAction->isEnabled())
                pChosen = pAction;
        }
        if (pChosen) {
            pMenu->setActiveAction(pChosen);
            QTest::keyClick(pMenu, Qt::Key_Return);
        } else {
            QTest::keyClick(pMenu, Qt::Key_Escape);
        }
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, ptAt, pTarget->mapToGlobal(ptAt));
    QApplication::sendEvent(pTarget, &event);
    return entries;
}

DialogDriver::DialogDriver()
{
    Poll();
}

QString DialogDriver::Shown(const QDialog* pDlg)
{
    if (const auto* pBox = qobject_cast<const QMessageBox*>(pDlg))
        return pBox->text();
    QStringList shown;
    for (const QWidget* w : pDlg->findChildren<QWidget*>()) {
        if (!w->toolTip().isEmpty() && qobject_cast<const QLineEdit*>(w)) // a refused field says why
            shown << "(" + w->toolTip() + ")";
        if (const auto* pButtons = qobject_cast<const QDialogButtonBox*>(w))
            if (pButtons->button(QDialogButtonBox::Ok) &&
                !pButtons->button(QDialogButtonBox::Ok)->isEnabled())
                shown << "OK disabled";
        const auto* pLabel = qobject_cast<const QLabel*>(w);
        if (const auto* pCheck = qobject_cast<const QCheckBox*>(w))
            shown << (pCheck->isChecked() ? "[x]" : "[ ]");
        else if (const auto* pCombo = qobject_cast<const QComboBox*>(w))
            shown << pCombo->currentText(); // its line edit is skipped below
        else if ((qobject_cast<const QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parent())) ||
                 (pLabel && pLabel->frameShape() == QFrame::Box))
            shown << w->property("text").toString();
    }
    return shown.join('|');
}

void DialogDriver::Poll()
{
    QTimer::singleShot(10, this, &DialogDriver::Poll); // also while a script runs
    auto* pDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!pDlg || !pDlg->isVisible() || pDlg->property("seen").toBool())
        return;
    pDlg->setProperty("seen", true);
    m_opened << pDlg->metaObject()->className();
    if (!m_scripts.isEmpty())
        RunScript(pDlg, m_scripts.takeFirst());
    if (pDlg->isVisible())
        pDlg->reject();
}

void DialogDriver::RunScript(QDialog* pDlg, const QString& strScript)
{
    m_strShown = Shown(pDlg);
    for (const QString& step : strScript.split(' ', Qt::SkipEmptyParts)) {
        // After a dialog it opened has closed, give it back the focus as a window manager does; at
        // once, as the offscreen platform may not deliver an activation request in time on a slow build.
        if (!pDlg->isActiveWindow())
            QApplication::setActiveWindow(pDlg);
        QWidget* pFocus = QApplication::focusWidget();
        QWidget* pTarget = nullptr;
        for (QWidget* w : pDlg->findChildren<QWidget*>()) {
            const auto* pButton = qobject_cast<QAbstractButton*>(w);
            if (step == "@" + w->objectName() || (pButton && step == "@" + pButton->text()))
                pTarget = w;
        }
        const int nKey = QKeySequence(step)[0];
        if (step == "?") {
            m_strShown = Shown(pDlg);
        } else if (step.startsWith('=')) {
            QTest::keyClick(pFocus, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(pFocus, Qt::Key_Delete);
            QTest::keyClicks(pFocus, step.mid(1));
        } else if (pTarget) { // near the left end, where a check box has its text
            QTest::mouseClick(pTarget, Qt::LeftButton, {}, QPoint(8, pTarget->height() / 2));
        } else if (nKey != 0 && nKey != Qt::Key_unknown && !step.contains(':')) {
            QTest::keyClick(pFocus, Qt::Key(nKey));
        } else {
            QVERIFY2(m_fnStep, qPrintable("unknown step " + step));
            m_fnStep(pDlg, step);
        }
    }
}
