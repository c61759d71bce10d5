#ifndef SERVICESTATE_H
#define SERVICESTATE_H

#include <QColor>
#include <QString>
#include <QStringList>

// The words and colours of the service's state, as the state panel shows
// them. Pure functions: the connection decides first (without one it is "No
// Service" whatever the last record said), then the loop state, "Unknown"
// outside 0..8. The panel, its accessible description, the tray icon and the
// desktop notifications all take their words and colours from here.
namespace ServiceState {

constexpr int kLoopStateNoGPS = 2;
constexpr int kLoopStateLocked = 6;

struct LOOK
{
    QString strText; // "Locked", "Holdover", ... "No Service"
    QColor colorFill;
    QColor colorText; // outline and text
};

LOOK Look(bool bConnected, int nLoopState);

// Every state word the panel can show, for its minimum size.
QStringList AllTexts();

// "Estimated Time Error: ..." in seconds above 0.5 s, else in milliseconds;
// only a locked loop (state 6) has one, any other state "Not Available".
QString ErrorText(int nLoopState, double dEstTimeError);

// What assistive technology hears for the panel: the state word and the
// error line as sentences, e.g. "Locked. Estimated Time Error: 0.012 Milliseconds".
QString AccessibleDescription(bool bConnected, int nLoopState, double dEstTimeError);

} // namespace ServiceState

#endif // SERVICESTATE_H
