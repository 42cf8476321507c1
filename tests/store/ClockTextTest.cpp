#include "ClockText.h"

#include <gtest/gtest.h>

namespace {

struct ClockCase {
    const char* name;
    QLocale locale;
    QDateTime moment;
    const char16_t* expected;
};

TEST(ClockText, ShortDateThenTimeWithoutZoneOrJapaneseUnits)
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const ClockCase cases[] = {
        {"afternoon", japanese, QDateTime(QDate(2026, 12, 6), QTime(13, 45, 12)), u"2026/12/06 13:45:12"},
        {"single-digit hour keeps one digit", japanese, QDateTime(QDate(2027, 1, 2), QTime(9, 5, 3)), u"2027/01/02 9:05:03"},
        {"midnight", japanese, QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0)), u"2026/12/31 0:00:00"},
        {"C locale", QLocale::c(), QDateTime(QDate(2026, 12, 6), QTime(13, 45, 12)), u"6 Dec 2026 13:45:12"},
    };
    for (const ClockCase& each : cases)
        EXPECT_EQ(ClockText(each.moment, each.locale), QString::fromUtf16(each.expected)) << each.name;
}

} // namespace
