#include "HtmlText.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct HtmlCase {
    const char* what;
    QString html;
    QString text;
};

class HtmlTextTest : public testing::TestWithParam<HtmlCase> { };

TEST_P(HtmlTextTest, ReadsAsAReaderSeesIt)
{
    SCOPED_TRACE(GetParam().what);
    EXPECT_EQ(HtmlText::toPlainText(GetParam().html), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Html, HtmlTextTest,
    testing::Values(
        HtmlCase {"named references beyond the few", u"it&rsquo;s &rarr; 5&euro; &middot; &bull; &hellip;&nbsp;&apos;&copy;"_s,
            u"it’s → 5€ · • …\u00a0'©"_s.replace(QChar(0xA0), u' ')},
        HtmlCase {"names HTML 4 did not have", u"50&percnt; &check; &LT;b&GT; &NotEqualTilde; &star;"_s, u"50% ✓ <b> ≂̸ ☆"_s},
        HtmlCase {"a quoted attribute holding >", u"<p><img alt=\"a > b\" src=\"x.png\"> after</p>"_s, u"a > b after"_s},
        HtmlCase {"paragraphs and line breaks", u"<p>一段落目</p><p>二段落目<br>改行</p>"_s, u"一段落目\n\n二段落目\n改行"_s},
        HtmlCase {"list items as lines", u"<ul><li>赤</li><li>青</li></ul><ol><li>x</li><li>y</li></ol>"_s,
            u"・赤\n・青\n\n1. x\n2. y"_s},
        HtmlCase {"table cells apart", u"<table><tr><td>商品</td><td>価格</td></tr><tr><td>本</td><td>1,000円</td></tr></table>"_s,
            u"商品\t価格\n本\t1,000円"_s},
        HtmlCase {"a link's address when its text does not say it",
            u"<a href=\"https://shop.example/sale\">セール</a> <a href=\"https://a.example/\">https://a.example</a> "
            "<a href=\"mailto:x@example.jp\">x@example.jp</a> <a href=\"#top\">上へ</a>"_s,
            u"セール <https://shop.example/sale> https://a.example x@example.jp 上へ"_s},
        HtmlCase {"scripts, styles and comments left out",
            u"<html><head><title>t</title><style>p{}</style></head><body><script>if (a<b) x()</script><!-- 秘密 -->見える</body></html>"_s,
            u"見える"_s},
        HtmlCase {"a picture without alt text leaves nothing", u"<img src=\"x.png\">文<img src=\"y.png\" alt=\"\">"_s, u"文"_s},
        HtmlCase {"preformatted text keeps its blanks", u"<pre>a  b\n c</pre>"_s, u"a  b\n c"_s},
        HtmlCase {"text that only looks like markup", u"AT&T &unknown; 5 < 6"_s, u"AT&T &unknown; 5 < 6"_s},
        HtmlCase {"a charset a meta tag names does not change text already read",
            u"<meta charset=\"shift_jis\"><p>日本語</p>"_s, u"日本語"_s}));

// Tens of thousands of unclosed elements and stray end tags, which the parser would look
// through one by one for each end tag: the text comes out whole and at once.
TEST(HtmlTextHostileTest, DeepUnclosedElementsKeepTheirTextAtLinearCost)
{
    const QString html = u"<div><b>x"_s.repeated(30000) + u"</span></p>"_s.repeated(30000);
    EXPECT_EQ(HtmlText::toPlainText(html).count(u'x'), 30000);
}

} // namespace
