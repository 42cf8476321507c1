#include "ClockText.h"

QString ClockText(const QDateTime& moment, const QLocale& locale)
{
    return locale.toString(moment.date(), QLocale::ShortFormat) + u' ' + moment.time().toString(QStringLiteral("H:mm:ss"));
}
