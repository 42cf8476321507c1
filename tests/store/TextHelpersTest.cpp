#include "MillisecondClock.h"
#include "TextHelpers.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ReplaceAll, ReplacesEveryOccurrenceAndChangesItsArgument)
{
    QString memo = QStringLiteral("ab//");
    EXPECT_EQ(ReplaceAll(memo, u"//", u"\r\n"), QStringLiteral("ab\r\n"));
    EXPECT_EQ(memo, QStringLiteral("ab\r\n"));

    QString twice = QStringLiteral("a////b");
    EXPECT_EQ(ReplaceAll(twice, u"//", u"\r\n"), QStringLiteral("a\r\n\r\nb"));

    QString single = QStringLiteral("/");
    EXPECT_EQ(ReplaceAll(single, u"//", u"\r\n"), QStringLiteral("/"));

    QString lines = QStringLiteral("a\r\nb");
    EXPECT_EQ(ReplaceAll(lines, u"\r\n", u"//"), QStringLiteral("a//b"));
}

TEST(ReplaceAll, AReplacementHoldingTheSoughtTextEnds)
{
    QString text = QStringLiteral("x//y");
    EXPECT_EQ(ReplaceAll(text, u"//", u"[//]"), QStringLiteral("x[//]y"));
}

TEST(TextHelpers, CutAtNulTrimAndLeadingNumber)
{
    EXPECT_EQ(CutAtNul(QStringView(u"abc\0def", 7)), QStringLiteral("abc"));
    EXPECT_EQ(CutAtNul(u"abc"), QStringLiteral("abc"));
    EXPECT_EQ(CutAtNul(QStringView(u"abc\0def", 7).toString()), QStringLiteral("abc"));
    const QString whole = QString::number(12345);
    EXPECT_EQ(CutAtNul(whole).constData(), whole.constData()) << "no copy when there is nothing to cut";
    EXPECT_EQ(TrimBlanks(u"\u3000 a b\u3000 "), QStringLiteral("a b"));
    EXPECT_EQ(TrimBlanks(u"\t a"), QStringLiteral("\t a"));
    EXPECT_EQ(LeadingNumber(u"1"), 1.0);
    EXPECT_EQ(LeadingNumber(u" 12abc"), 12.0);
    EXPECT_EQ(LeadingNumber(u""), 0.0);
    EXPECT_EQ(LeadingNumber(u"x1"), 0.0);
}

class SteppingClock : public MillisecondClock {
public:
    explicit SteppingClock(std::uint32_t start) : now_(start) {}
    std::uint32_t nowMilliseconds() override { return now_; }
    void advance(std::uint32_t ms) { now_ += ms; }

private:
    std::uint32_t now_;
};

TEST(WaitMilliseconds, ProcessesEventsUntilMoreThanTheTimeHasPassedAcrossTheWrap)
{
    SteppingClock clock(std::numeric_limits<std::uint32_t>::max() - 1000);
    int passes = 0;
    WaitMilliseconds(5000, clock, [&] {
        ++passes;
        clock.advance(100);
    });
    EXPECT_EQ(passes, 51); // stops at the first reading past 5000 ms, 5100 ms later
}

} // namespace
