#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The date and time as the clock box shows it and the sent history records it: the locale's short
// date, a space, and the time as H:mm:ss ("2026/12/06 13:45:12" on a Japanese system). The locale's
// long time format is not used: it adds a zone name and, in Japanese, 時分秒. The locale is the
// default one, which is the system's unless the program sets another.
QString ClockText(const QDateTime& moment, const QLocale& locale = QLocale());
