#include "cstabilitywindow.h"

#include "imageexport.h"
#include "savefile.h"
#include "stabilitytext.h"
#include "ui_cstabilitywindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <utility>

CStabilityWindow::CStabilityWindow(const CPhaseRecorder& recorder, QWidget* pParent)
    : QWidget(pParent, Qt::Window), m_Recorder(recorder), ui(std::make_unique<Ui_CStabilityWindow>())
{
    ui->setupUi(this);
    // Filled before anything can be shown: the first item's selection asks
    // for a refresh, which a hidden window ignores.
    for (Stability::Kind kind : StabilityText::OfferedKinds())
        ui->comboKind->addItem(StabilityText::KindTitle(kind), int(kind));
    // The plot over the table, which has room for about ten rows at first
    // (a day at a record a second gives sixteen).
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 2);
    ui->splitter->setSizes({440, 300});
    ui->tableRows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->tableRows->viewport()->installEventFilter(this);
    // Rows as high as their text needs, so that more of them show.
    ui->tableRows->verticalHeader()->setDefaultSectionSize(ui->tableRows->fontMetrics().height() + 8);
    ui->plot->SetEmptyText(StabilityText::Collecting(0));

    m_pRefreshTimer = new QTimer(this);
    m_pRefreshTimer->setInterval(kRefreshMs);
    connect(m_pRefreshTimer, SIGNAL(timeout()), this, SLOT(OnRefreshTimer()));
    connect(&m_Watcher, SIGNAL(finished()), this, SLOT(OnAnalysisFinished()));
    ShowStatus();
}

CStabilityWindow::~CStabilityWindow()
{
    // The computation reads its own copy of the run and the window's cancel
    // flag: once it has returned, nothing on another thread refers to the
    // window.
    StopAnalysis();
    ui->tableRows->viewport()->removeEventFilter(this);
}

Stability::Kind CStabilityWindow::ChosenKind() const
{
    const QVariant kind = ui->comboKind->currentData();
    return kind.isValid() ? Stability::Kind(kind.toInt()) : Stability::Kind::Oadev;
}

void CStabilityWindow::showEvent(QShowEvent* pEvent)
{
    QWidget::showEvent(pEvent);
    m_pRefreshTimer->start();
    Refresh();
}

void CStabilityWindow::hideEvent(QHideEvent* pEvent)
{
    m_pRefreshTimer->stop();
    QWidget::hideEvent(pEvent);
}

void CStabilityWindow::closeEvent(QCloseEvent* pEvent)
{
    StopAnalysis();
    QWidget::closeEvent(pEvent);
}

void CStabilityWindow::on_comboKind_currentIndexChanged(int)
{
    Refresh();
}

void CStabilityWindow::OnRefreshTimer()
{
    Refresh();
}

void CStabilityWindow::StopAnalysis()
{
    if (!m_bRunning)
        return;
    m_bCancel = true;
    m_Watcher.waitForFinished();
}

void CStabilityWindow::Refresh()
{
    if (!isVisible())
        return;
    const Stability::Kind kind = ChosenKind();
    if (m_bRunning) {
        // One computation at a time. One for a kind no longer chosen is not
        // worth finishing; in either case the recorder is looked at again
        // when it ends.
        if (m_nRunningKind != kind)
            m_bCancel = true;
        m_bLookAgain = true;
        return;
    }
    const std::uint64_t nGeneration = m_Recorder.Generation();
    if (m_bShowing && m_nShownKind == kind && m_nShownGeneration == nGeneration)
        return;
    const std::size_t nPoints = m_Recorder.Size();
    const double dTau0 = m_Recorder.Tau0();
    if (nPoints < 3 || !(dTau0 > 0.0)) {
        Stability::Analysis none;
        none.bOk = true;
        Show(none, kind, nPoints, dTau0);
        m_nShownGeneration = nGeneration;
        m_Computed = QDateTime();
        ui->plot->SetEmptyText(StabilityText::Collecting(nPoints));
        ShowStatus();
        return;
    }
    // The pool thread works on a copy: the recorder goes on taking records.
    const auto pPhase = std::make_shared<const std::vector<double>>(m_Recorder.Phase());
    const std::atomic_bool* pCancel = &m_bCancel;
    m_bCancel = false;
    m_bRunning = true;
    m_nRunningKind = kind;
    m_nRunningGeneration = nGeneration;
    m_nRunningPoints = nPoints;
    m_dRunningTau0 = dTau0;
    m_Watcher.setFuture(QtConcurrent::run([pPhase, dTau0, kind, pCancel] {
        return Stability::Analyse(*pPhase, dTau0, kind, Stability::TauSet::Octave, pCancel);
    }));
    ShowStatus();
}

void CStabilityWindow::OnAnalysisFinished()
{
    m_bRunning = false;
    const Stability::Analysis analysis = m_Watcher.result();
    const bool bDropped = m_bCancel || m_nRunningKind != ChosenKind();
    m_bCancel = false;
    if (!bDropped) {
        Show(analysis, m_nRunningKind, m_nRunningPoints, m_dRunningTau0);
        m_nShownGeneration = m_nRunningGeneration;
    }
    ShowStatus();
    if (std::exchange(m_bLookAgain, false) || bDropped)
        Refresh();
}

void CStabilityWindow::Show(const Stability::Analysis& analysis, Stability::Kind kind, std::size_t nPoints,
                            double dTau0)
{
    m_bShowing = true;
    m_nShownKind = kind;
    m_nShownPoints = nPoints;
    m_dShownTau0 = dTau0;
    m_Computed = QDateTime::currentDateTime();

    const std::vector<Stability::Row> none;
    const std::vector<Stability::Row>& rows = analysis.bOk ? analysis.rows : none;
    ui->plot->SetRows(kind, rows);
    if (!analysis.bOk)
        ui->plot->SetEmptyText(QString::fromStdString(analysis.strError));
    else if (rows.empty())
        ui->plot->SetEmptyText(tr("%1 points are too few for this deviation").arg(qulonglong(nPoints)));
    else
        ui->plot->SetEmptyText(tr("No value above zero to plot"));

    QTableWidget* pTable = ui->tableRows;
    const QStringList headers = StabilityText::TableHeaders(kind);
    pTable->setColumnCount(headers.size());
    pTable->setHorizontalHeaderLabels(headers);
    pTable->setRowCount(int(rows.size()));
    for (int nRow = 0; nRow < int(rows.size()); ++nRow) {
        const QStringList cells = StabilityText::TableCells(kind, rows[std::size_t(nRow)]);
        for (int nColumn = 0; nColumn < cells.size(); ++nColumn) {
            auto* pItem = new QTableWidgetItem(cells[nColumn]);
            pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            pTable->setItem(nRow, nColumn, pItem);
        }
    }
    // Each column as wide as its widest text, measured here (the view
    // measures only the rows it has laid out), the rest of the width shared
    // out; the window never gets so narrow that a number would be cut short.
    const QFontMetrics metrics = pTable->fontMetrics();
    const int nPadding = 2 * metrics.averageCharWidth();
    m_ColumnWidths.clear();
    int nWidth = 2 * pTable->frameWidth() + pTable->verticalScrollBar()->sizeHint().width();
    for (int nColumn = 0; nColumn < pTable->columnCount(); ++nColumn) {
        int nColumnWidth = pTable->horizontalHeader()->sectionSizeHint(nColumn);
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
            nColumnWidth = std::max(
                nColumnWidth, metrics.horizontalAdvance(pTable->item(nRow, nColumn)->text()) + nPadding);
        m_ColumnWidths << nColumnWidth;
        nWidth += nColumnWidth;
    }
    pTable->setMinimumWidth(nWidth);
    FitColumns();
}

void CStabilityWindow::FitColumns()
{
    QTableWidget* pTable = ui->tableRows;
    const int nColumns = m_ColumnWidths.size();
    if (nColumns == 0 || pTable->columnCount() != nColumns)
        return;
    int nExtra = pTable->viewport()->width();
    for (int nColumnWidth : qAsConst(m_ColumnWidths))
        nExtra -= nColumnWidth;
    nExtra = std::max(nExtra, 0);
    for (int nColumn = 0; nColumn < nColumns; ++nColumn)
        pTable->setColumnWidth(nColumn,
                               m_ColumnWidths[nColumn] + nExtra / nColumns + (nColumn < nExtra % nColumns));
}

bool CStabilityWindow::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == ui->tableRows->viewport() && pEvent->type() == QEvent::Resize)
        FitColumns();
    return QWidget::eventFilter(pWatched, pEvent);
}

// The run being computed, else the one shown; when the shown one was computed.
void CStabilityWindow::ShowStatus()
{
    ui->labelStatus->setText(StabilityText::Status(m_bRunning ? m_nRunningPoints : m_nShownPoints,
                                                   m_bRunning ? m_dRunningTau0 : m_dShownTau0, m_Computed,
                                                   m_bRunning));
}

// ---- Export -------------------------------------------------------------------

void CStabilityWindow::on_pushButtonExport_clicked()
{
    const QString strCsv = tr("CSV table (*.csv)");
    const QString strPng = tr("PNG image (*.png)");
    const QString strSvg = tr("SVG image (*.svg)");
    QString strFilter = strCsv;
    CStabilityPlot* pPlot = ui->plot;
    const QString strPath = DataOut::AskSaveFileName(
        this, tr("Export"), QString::fromLatin1(Stability::KindName(pPlot->Kind())) + ".csv",
        {strCsv, strPng, strSvg}, &strFilter);
    if (strPath.isEmpty())
        return;
    // The name's suffix says what to write; any other suffix, the chosen filter.
    const QString strSuffix = QFileInfo(strPath).suffix().toLower();
    const bool bPng =
        strSuffix == QLatin1String("png") ||
        (strSuffix != QLatin1String("csv") && strSuffix != QLatin1String("svg") && strFilter == strPng);
    const bool bSvg =
        strSuffix == QLatin1String("svg") ||
        (strSuffix != QLatin1String("csv") && strSuffix != QLatin1String("png") && strFilter == strSvg);
    DataOut::SaveFile(this, tr("Export"), strPath, [&](QIODevice& file) {
        if (bPng)
            return DataOut::WritePng(pPlot, file);
        if (bSvg)
            return DataOut::WriteSvg(pPlot, file, StabilityText::KindTitle(pPlot->Kind()));
        const QByteArray bytes = StabilityText::Csv(pPlot->Kind(), pPlot->Rows()).toUtf8();
        return file.write(bytes) == bytes.size();
    });
}
