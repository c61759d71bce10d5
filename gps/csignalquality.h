#ifndef CSIGNALQUALITY_H
#define CSIGNALQUALITY_H

#include "cgpsdisplaydata.h"

#include <QWidget>

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

private:
    // Asks for a paint of the slots whose bar or labels next changes.
    void UpdateChangedSlots(const CGPSDisplayData& next);
    // What the paint of a slot at dX may cover.
    QRect SlotReach(double dX, double dSlotWidth) const;

    CGPSDisplayData m_Data;
};

#endif // CSIGNALQUALITY_H
