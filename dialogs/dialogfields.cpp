#include "dialogfields.h"

#include <QDialog>
#include <QLayout>

#include <cmath>

namespace DialogFields {

double ToDouble(const QString& strText)
{
    bool bOk = false;
    const double d = strText.toDouble(&bOk);
    return bOk && std::isfinite(d) ? d : 0.0;
}

void LayOutNow(QDialog* pDialog)
{
    if (pDialog->layout())
        pDialog->layout()->activate();
}

} // namespace DialogFields
