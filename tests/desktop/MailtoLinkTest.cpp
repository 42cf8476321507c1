#include "MailtoLink.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace {

struct LinkCase {
    const char* link;
    QStringList to;
    QString subject;
    QStringList cc = {};
    QString body = {};
};

void PrintTo(const LinkCase& row, std::ostream* out) { *out << row.link; }

class MailtoLinkParsing : public testing::TestWithParam<LinkCase> {};

TEST_P(MailtoLinkParsing, GivesRecipientsSubjectAndBody)
{
    const LinkCase& row = GetParam();
    const std::optional<MailtoLink> parsed = MailtoLink::parse(QString::fromUtf8(row.link));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->to, row.to);
    EXPECT_EQ(parsed->subject, row.subject);
    EXPECT_EQ(parsed->cc, row.cc);
    EXPECT_EQ(parsed->body, row.body);
}

INSTANTIATE_TEST_SUITE_P(Links, MailtoLinkParsing,
    testing::Values(LinkCase{"mailto:taro@example.jp", {u"taro@example.jp"_s}, {}},
        LinkCase{"mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0%E3%81%AE%E4%BB%B6", {u"taro@example.jp"_s}, u"会議の件"_s},
        LinkCase{"MAILTO:a@example.jp,b@example.jp?Subject=%E3%81%82%20%E2%91%A0&cc=c@example.jp", {u"a@example.jp"_s, u"b@example.jp"_s},
            u"あ ①"_s, {u"c@example.jp"_s}},
        LinkCase{"mailto:?to=a@example.jp&to=b@example.jp&subject=1+1", {u"a@example.jp"_s, u"b@example.jp"_s}, u"1+1"_s},
        LinkCase{"mailto:%E5%B1%B1%E7%94%B0%20%3Cyamada@example.jp%3E", {u"山田 <yamada@example.jp>"_s}, {}},
        LinkCase{"mailto:a@example.jp?subject=%E8%A6%8B%E7%A9%8D%0D%0ABcc:%20x@example.jp", {u"a@example.jp"_s},
            u"見積 Bcc: x@example.jp"_s},
        LinkCase{"mailto:a@example.jp?body=%E4%B8%80%0A%E4%BA%8C&subject=&x-unknown=1#top", {u"a@example.jp"_s}, {}, {},
            u"一\r\n二"_s}));

TEST(MailtoLink, OtherSchemesAreNotLinks)
{
    EXPECT_FALSE(MailtoLink::parse(u"https://example.jp/?subject=x"_s).has_value());
    EXPECT_FALSE(MailtoLink::parse(u"taro@example.jp"_s).has_value());
}

TEST(MailtoLink, RecipientsGoIntoOneBox)
{
    EXPECT_EQ(MailtoLink::parse(u"mailto:a@example.jp,%20b@example.jp"_s)->toText(), u"a@example.jp, b@example.jp"_s);
}

} // namespace
