// Decoding 1,000 messages of the everyday-mail corpus (tests/data/mail/everyday: pictures between
// text, list footers, bounces, damaged and unlabelled mail, an HTML newsletter), the messages taken
// in turn, as the receive decodes them; and the text of a 6 MB HTML newsletter. Prints the time of
// each: the bench is run before and after a change to the decoder and the two compared.

#include "HtmlText.h"
#include "MessageDecoder.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

namespace {

constexpr int MessageCount = 1000;
const QString Corpus = QStringLiteral(NEMUROA_EVERYDAY_CORPUS);

std::vector<std::string> corpus()
{
    std::vector<std::string> messages;
    for (const QString& name : QDir(Corpus).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile file(Corpus + u'/' + name);
        if (file.open(QIODevice::ReadOnly))
            messages.push_back(file.readAll().toStdString());
    }
    return messages;
}

void DecodeCorpus1000(benchmark::State& state)
{
    const std::vector<std::string> messages = corpus();
    if (messages.empty()) {
        state.SkipWithError("no corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < MessageCount; ++i) {
            const std::string& raw = messages[static_cast<std::size_t>(i) % messages.size()];
            benchmark::DoNotOptimize(MessageDecoder::decode(raw));
            bytes += raw.size();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(DecodeCorpus1000)->Unit(benchmark::kMillisecond);

// A shop newsletter's HTML grown to 6 MB of UTF-8: tables, lists, links, pictures, entities, comments.
QString newsletter()
{
    const QString block = QStringLiteral(
        "<!-- item --><table class=\"item\" width=\"600\"><tr><td><a href=\"https://shop.example.jp/item?id=%1&amp;ref=mail\">"
        "<img src=\"https://img.example.jp/%1.jpg\" alt=\"冬物セール 商品%1 &gt; 詳しく\" width=\"200\"></a></td>"
        "<td><h2>商品%1 &mdash; 限定価格</h2><p>今だけ&nbsp;&yen;1,980&rarr;&yen;980&hellip; It&rsquo;s a deal.</p>"
        "<ul><li>送料無料 &middot; 翌日配送</li><li>ポイント10倍 &bull; 会員限定</li></ul>"
        "<p style=\"font-size:12px\"><a href=\"https://shop.example.jp/cart?id=%1\">カートに入れる</a><br>"
        "お問い合わせは&lt;support@example.jp&gt;まで</p></td></tr></table>\n");
    QString html = QStringLiteral("<html><head><style>td{padding:4px}</style><script>var t=1;</script></head><body>");
    for (qsizetype item = 0, bytes = 0; bytes < 6 * 1024 * 1024; ++item) {
        const QString one = block.arg(item);
        html += one;
        bytes += one.toUtf8().size();
    }
    return html + QStringLiteral("</body></html>");
}

void Newsletter6MB(benchmark::State& state)
{
    const QString html = newsletter();
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlText::toPlainText(html));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * html.toUtf8().size());
}
BENCHMARK(Newsletter6MB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
