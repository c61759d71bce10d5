#ifndef DIALOGFIELDS_H
#define DIALOGFIELDS_H

// What the service configuration dialogs share: reading numbers out of their
// free-text fields and preparing a form before it is shown.

#include <QString>

class QDialog;

namespace DialogFields {

// The number in a text field. Anything that is not a finite number ("", "abc",
// "nan", "1e999") reads as 0: the fields have no validator and no message.
double ToDouble(const QString& strText);

// Lays the form out at once, so that the window's size limits are known before
// its native window exists and do not change while it is shown (the offscreen
// platform, for one, cannot pass changed limits on and warns).
void LayOutNow(QDialog* pDialog);

} // namespace DialogFields

#endif // DIALOGFIELDS_H
