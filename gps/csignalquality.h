#ifndef CSIGNALQUALITY_H
#define CSIGNALQUALITY_H

#include "cgpsdisplaydata.h"

#include <QFont>
#include <QWidget>

class QPalette;

// Signal bars: one slot per satellite in view, a bar as tall as its
// signal-to-noise ratio (55 fills the slot) coloured by its state code, the
// ratio on top of the bar and the PRN under the slot. Satellites outside the
// solution are greyed unless their state is 1.
class CSignalQuality : public QWidget
{
    Q_OBJECT

public:
    explicit CSignalQuality(QWidget* pParent);
    ~CSignalQuality() override;

    Q_INVOKABLE QSize sizeHint() const override;

    // Keeps a copy of the record; bRepaint has the slots that change drawn as
    // soon as the event loop runs (requests from a burst of records make one
    // paint).
    bool SetData(const CGPSDisplayData& data, bool bRepaint);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    // Copy Image and Save Image….
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    // How a record's slots are laid out at the widget's size.
    struct LAYOUT
    {
        int nSlots = 0;
        double dSlotWidth = 0.0;
        QFont font;
        int nLineHeight = 0;
        int nRows = 1; // of PRN labels
        double dArea = 0.0;
    };
    LAYOUT Layout(const CGPSDisplayData& data) const;
    // The layout of m_Data at the widget's size, made again after a resize.
    const LAYOUT& CurrentLayout();
    static QColor BarColour(const CGPSDisplayData::SAT_DATA& sat, const QPalette& palette);
    // Asks for a paint of the slots whose bar or labels next changes.
    void UpdateChangedSlots(const CGPSDisplayData& next);
    // What the paint of the slot at dX may cover, with its numbers.
    QRect SlotReach(const LAYOUT& layout, double dX) const;

    CGPSDisplayData m_Data;
    LAYOUT m_Layout;    // of m_Data
    QSize m_layoutSize; // the size m_Layout was made for; empty when stale
};

#endif // CSIGNALQUALITY_H
