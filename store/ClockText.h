#pragma once

#include <QDateTime>
#include <QString>

// The date and time as the clock box shows it and the sent history records it: the locale's short
// date, a space, and the time as H:mm:ss ("2026/12/06 13:45:12" on a Japanese system).
QString ClockText(const QDateTime& moment);
