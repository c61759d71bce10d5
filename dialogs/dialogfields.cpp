#include "dialogfields.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QValidator>

#include <cmath>

namespace DialogFields {

namespace {

// Text that is no usable number stays as typed (the user sees and mends it);
// it is only never acceptable.
class NumberValidator : public QValidator
{
public:
    NumberValidator(const NumberRange& range, QObject* pParent) : QValidator(pParent), m_range(range) {}
    State validate(QString& strInput, int&) const override
    {
        return ParseNumber(strInput, m_range) ? Acceptable : Intermediate;
    }
    NumberRange m_range;
};

QString Reason(const QString& strText, const NumberRange& range)
{
    const QString strWanted =
        range.bWhole
            ? QObject::tr("a whole number from %1 to %2")
                  .arg(QLocale().toString(qulonglong(range.dMin)), QLocale().toString(qulonglong(range.dMax)))
            : QObject::tr("a number such as %1").arg(QLocale().toString(0.015));
    return strText.trimmed().isEmpty()
               ? QObject::tr("Enter %1.").arg(strWanted)
               : QObject::tr("\"%1\" is not usable here: enter %2.").arg(strText, strWanted);
}

} // namespace

bool ParseNumber(const QString& strText, const NumberRange& range, double* pdValue)
{
    for (QLocale locale : {QLocale(), QLocale::c()}) {
        locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
        bool bOk = false;
        const double d = range.bWhole ? double(locale.toULongLong(strText.trimmed(), &bOk))
                                      : locale.toDouble(strText.trimmed(), &bOk);
        if (bOk && std::isfinite(d) && d >= range.dMin && d <= range.dMax) {
            if (pdValue)
                *pdValue = d;
            return true;
        }
    }
    return false;
}

void WatchNumberFields(QAbstractButton* pOk, const QList<NumberField>& fields)
{
    auto update = [pOk, fields] {
        bool bAllUsable = true;
        for (const NumberField& field : fields) {
            const bool bUsable = field.pEdit->hasAcceptableInput();
            const QString strReason = bUsable ? QString() : Reason(field.pEdit->text(), field.range);
            QPalette palette; // nothing set: the inherited colours
            if (!bUsable)
                palette.setColor(QPalette::Text, QColor(192, 0, 0));
            field.pEdit->setPalette(palette);
            field.pEdit->setToolTip(strReason);
            field.pEdit->setStatusTip(strReason);
            field.pEdit->setAccessibleDescription(strReason);
            bAllUsable = bAllUsable && bUsable;
        }
        pOk->setEnabled(bAllUsable);
    };
    for (const NumberField& field : fields) {
        field.pEdit->setValidator(new NumberValidator(field.range, field.pEdit));
        QObject::connect(field.pEdit, &QLineEdit::textChanged, pOk, update);
    }
    update();
}

bool ReadNumber(const QLineEdit* pEdit, double* pdValue)
{
    const auto* pValidator = dynamic_cast<const NumberValidator*>(pEdit->validator());
    return pValidator && ParseNumber(pEdit->text(), pValidator->m_range, pdValue);
}

void LayOutNow(QDialog* pDialog)
{
    if (pDialog->layout())
        pDialog->layout()->activate();
}

} // namespace DialogFields
