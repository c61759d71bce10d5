#ifndef DIALOGFIELDS_H
#define DIALOGFIELDS_H

// What the service configuration dialogs share: reading numbers out of their
// free-text fields, refusing text that is no usable number, and preparing a
// form before it is shown.

#include <QList>
#include <QPushButton>
#include <QString>

#include <cfloat>

class QDialog;
class QLineEdit;

namespace DialogFields {

// What a number field takes: a finite number in [dMin, dMax], a whole one
// where bWhole is set.
struct NumberRange
{
    double dMin = -DBL_MAX;
    double dMax = DBL_MAX;
    bool bWhole = false;
};

// The text as a number in the user's locale or in the C locale ("0,015" and
// "0.015" under a comma locale; group separators are refused in both, so
// "1.500" is never 1500). False for text that is no number, not finite
// ("nan", "inf", "1e999"), outside the range or, for a whole field, not
// whole; *pdValue is then left alone.
bool ParseNumber(const QString& strText, const NumberRange& range, double* pdValue = nullptr);

// A field and what it takes.
struct NumberField
{
    QLineEdit* pEdit;
    NumberRange range;
};

// Gives each field a validator with its range and keeps watching: a field
// whose text is not usable shows it at once (red text, the reason as its
// tooltip, status tip and accessible description), and pOk stays disabled
// while any field is not usable, so nothing the user did not type is sent.
void WatchNumberFields(QAbstractButton* pOk, const QList<NumberField>& fields);

// The number in a watched field; false (and *pdValue left alone) when its
// text is not usable.
bool ReadNumber(const QLineEdit* pEdit, double* pdValue);

// Lays the form out at once, so that the window's size limits are known before
// its native window exists and do not change while it is shown (the offscreen
// platform, for one, cannot pass changed limits on and warns).
void LayOutNow(QDialog* pDialog);

} // namespace DialogFields

#endif // DIALOGFIELDS_H
