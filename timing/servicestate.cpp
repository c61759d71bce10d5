#include "servicestate.h"

namespace {
// One row of the service-state table.
struct STATE_ROW
{
    const char* pszText;
    QColor colorFill;
    QColor colorText;
};

const int kLoopStateCount = 9;
const STATE_ROW kNoService = {"No Service", QColor(192, 0, 0), QColor(0, 0, 0)};
const STATE_ROW kUnknown = {"Unknown", QColor(255, 0, 0), QColor(255, 242, 0)};
// By loop state 0..8.
const STATE_ROW kStates[kLoopStateCount] = {
    {"Off", QColor(192, 192, 192), QColor(0, 0, 0)},
    {"No Disc", QColor(0, 0, 192), QColor(192, 192, 192)},
    {"NO GPS", QColor(255, 0, 0), QColor(255, 242, 0)},
    {"Starting...", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Searching", QColor(255, 100, 0), QColor(0, 0, 128)},
    {"Synching", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Locked", QColor(0, 128, 0), QColor(255, 255, 255)},
    {"Holdover", QColor(255, 242, 0), QColor(0, 0, 128)},
    {"Recovery", QColor(0, 0, 128), QColor(255, 255, 255)},
};

ServiceState::LOOK ToLook(const STATE_ROW& row)
{
    return {QString::fromLatin1(row.pszText), row.colorFill, row.colorText};
}
} // namespace

ServiceState::LOOK ServiceState::Look(bool bConnected, int nLoopState)
{
    if (!bConnected)
        return ToLook(kNoService);
    if (nLoopState < 0 || nLoopState >= kLoopStateCount)
        return ToLook(kUnknown);
    return ToLook(kStates[nLoopState]);
}

QStringList ServiceState::AllTexts()
{
    QStringList texts = {QString::fromLatin1(kNoService.pszText), QString::fromLatin1(kUnknown.pszText)};
    for (const STATE_ROW& row : kStates)
        texts << QString::fromLatin1(row.pszText);
    return texts;
}

QString ServiceState::ErrorText(int nLoopState, double dEstTimeError)
{
    if (nLoopState != kLoopStateLocked)
        return QStringLiteral("Estimated Time Error: Not Available");
    if (dEstTimeError > 0.5)
        return QString::asprintf("Estimated Time Error: %0.3f Seconds", dEstTimeError);
    return QString::asprintf("Estimated Time Error: %0.3f Milliseconds", dEstTimeError * 1000);
}

QString ServiceState::AccessibleDescription(bool bConnected, int nLoopState, double dEstTimeError)
{
    return Look(bConnected, nLoopState).strText + QStringLiteral(". ") + ErrorText(nLoopState, dEstTimeError);
}
