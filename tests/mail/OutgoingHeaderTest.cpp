#include "HeaderEncoding.h"
#include "HeaderText.h"
#include "RecipientList.h"
#include "ServerAddress.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

struct SplitCase {
    const char* what;
    QString typed;
    QStringList addresses;
    QStringList names;
    QStringList refused;
};

TEST(RecipientListTest, RecipientsAreSplitAtEverySeparatorOutsideQuotesAndBrackets)
{
    const SplitCase cases[] = {
        {"semicolon", QStringLiteral("a@example.jp;b@example.jp"), {QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp")}, {QString(), QString()}, {}},
        {"comma then semicolon", QStringLiteral("a@x.jp, b@x.jp; c@x.jp"), {QStringLiteral("a@x.jp"), QStringLiteral("b@x.jp"), QStringLiteral("c@x.jp")},
            {QString(), QString(), QString()}, {}},
        {"full-width separators", QStringLiteral("a@x.jp，b@x.jp；c@x.jp、d@x.jp"),
            {QStringLiteral("a@x.jp"), QStringLiteral("b@x.jp"), QStringLiteral("c@x.jp"), QStringLiteral("d@x.jp")}, {QString(), QString(), QString(), QString()}, {}},
        {"quoted comma", QStringLiteral("\"山田, 太郎\" <a@example.jp>"), {QStringLiteral("a@example.jp")}, {QStringLiteral("山田, 太郎")}, {}},
        {"name without quotes", QStringLiteral("山田 太郎 <a@example.jp>、b@example.jp"), {QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp")},
            {QStringLiteral("山田 太郎"), QString()}, {}},
        {"a part that is no address", QStringLiteral("alice@example.jp, bob"), {QStringLiteral("alice@example.jp")}, {QString()}, {QStringLiteral("bob")}},
        {"cut address", QStringLiteral("山田 <taro@example-compa"), {}, {}, {QStringLiteral("山田 <taro@example-compa")}},
        {"empty parts are skipped", QStringLiteral(" a@x.jp ,, ; "), {QStringLiteral("a@x.jp")}, {QString()}, {}},
        {"Japanese domain", QStringLiteral("taro@例え.jp"), {QStringLiteral("taro@例え.jp")}, {QString()}, {}},
        {"name in a comment", QStringLiteral("taro@example.jp (山田太郎)"), {QStringLiteral("taro@example.jp")}, {QStringLiteral("山田太郎")}, {}},
        {"two at signs", QStringLiteral("a@b@c.jp"), {}, {}, {QStringLiteral("a@b@c.jp")}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RecipientList list = RecipientList::parse(c.typed);
        QStringList addresses, names;
        for (const RecipientList::Mailbox& mailbox : list.mailboxes()) {
            addresses.append(mailbox.address);
            names.append(mailbox.name);
        }
        EXPECT_EQ(addresses, c.addresses);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(list.refused(), c.refused);
    }
    EXPECT_TRUE(RecipientList::needsUtf8(QStringLiteral("山田@example.jp")));
    EXPECT_FALSE(RecipientList::needsUtf8(QStringLiteral("taro@例え.jp")));
}

QStringList lines(const QByteArray& field)
{
    QStringList found = QString::fromUtf8(field).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(found.last().isEmpty()) << "a field ends in CR LF";
    found.removeLast();
    return found;
}

void expectWithinLimits(const QByteArray& field)
{
    for (const QString& line : lines(field))
        EXPECT_LE(line.size(), HeaderEncoding::FoldedLineLength) << line.toStdString();
    const QRegularExpression word(QStringLiteral("=\\?[^?]+\\?[BbQq]\\?[^?]*\\?="));
    for (auto match = word.globalMatch(QString::fromLatin1(field)); match.hasNext();)
        EXPECT_LE(match.next().capturedLength(), HeaderEncoding::MaximumEncodedWord);
}

QString unfoldedValue(const QByteArray& field)
{
    QByteArray value = field.mid(field.indexOf(':') + 1).trimmed();
    value.replace("\r\n", "");
    return HeaderText::decode(std::string_view(value.constData(), static_cast<std::size_t>(value.size())));
}

TEST(HeaderEncodingTest, SubjectsFoldIntoShortEncodedWordsThatDecodeToTheText)
{
    const QString subjects[] = {
        QStringLiteral("見積書の件"),
        QStringLiteral("見積書の件について（ご確認ください）二〇二六年十二月分の請求と納品の予定を確認させてください"),
        QStringLiteral("絵文字😀と𠮷野家、結合文字が\u304b\u3099含まれ①㈱～も含む件名を何度も折り返してもよいように長くしたもの"),
        QStringLiteral("A plain English subject that is long enough to need folding at a space somewhere in the middle"),
        QStringLiteral("=?looks encoded?= but is not"),
    };
    for (const QString& subject : subjects) {
        SCOPED_TRACE(subject.toStdString());
        const QByteArray field = HeaderEncoding::unstructuredField("Subject", subject);
        ASSERT_TRUE(field.startsWith("Subject: "));
        expectWithinLimits(field);
        EXPECT_EQ(unfoldedValue(field), subject);
    }
}

TEST(HeaderEncodingTest, EncodedWordsAreCutBetweenCharactersOnly)
{
    const QString text = QStringLiteral("😀𠮷あ\u304b\u3099").repeated(12);
    QString joined;
    for (const QByteArray& word : HeaderEncoding::encodedWords(text)) {
        EXPECT_LE(word.size(), HeaderEncoding::MaximumEncodedWord);
        const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
        const QString piece = QString::fromUtf8(bytes);
        EXPECT_EQ(piece.toUtf8(), bytes) << "each word holds whole characters";
        EXPECT_FALSE(piece.startsWith(QChar(0x3099))) << "a mark stays with its letter";
        joined += piece;
    }
    EXPECT_EQ(joined, text);
}

TEST(HeaderEncodingTest, MailboxesKeepTheirNamesAndGoAsTheEnvelopeDoes)
{
    const RecipientList list = RecipientList::parse(
        QStringLiteral("\"山田, 太郎\" <a@example.jp>; 株式会社サンプル商事 営業部 鈴木一郎 <b@例え.jp>、c@example.jp"));
    ASSERT_TRUE(list.ok());
    const QByteArray field = HeaderEncoding::mailboxField("To", list.mailboxes());
    expectWithinLimits(field);
    const QString value = unfoldedValue(field);
    EXPECT_TRUE(value.contains(QStringLiteral("山田, 太郎"))) << value.toStdString();
    EXPECT_TRUE(value.contains(QStringLiteral("<b@xn--r8jz45g.jp>"))) << value.toStdString();
    EXPECT_TRUE(value.endsWith(QStringLiteral(", c@example.jp"))) << value.toStdString();
}

TEST(HeaderEncodingTest, AttachmentNamesGoAsEncodedNameAndAsContinuationsOfWholeCharacters)
{
    const QString name = QStringLiteral("令和八年度　第三四半期　営業報告書（最終版・社外秘）①㈱～😀.xlsx");
    const QByteArray fields = HeaderEncoding::attachmentFields("application/octet-stream", name);
    const QRegularExpression section(QStringLiteral("filename\\*(\\d+)\\*=([^;\\r]*)"));
    QByteArray joined;
    int expected = 0;
    for (auto match = section.globalMatch(QString::fromLatin1(fields)); match.hasNext(); ++expected) {
        const auto found = match.next();
        EXPECT_EQ(found.captured(1).toInt(), expected);
        QByteArray piece = QByteArray::fromPercentEncoding(found.captured(2).toLatin1());
        if (expected == 0) {
            ASSERT_TRUE(piece.startsWith("UTF-8''"));
            piece = piece.mid(7);
        }
        EXPECT_EQ(QString::fromUtf8(piece).toUtf8(), piece) << "section " << expected << " holds whole characters";
        joined += piece;
    }
    EXPECT_GT(expected, 1);
    EXPECT_EQ(QString::fromUtf8(joined), name);
    for (const QString& line : lines(fields)) {
        // The encoded "name" is left on one long line (see attachmentFields).
        if (line.startsWith(QStringLiteral(" name=\"")))
            continue;
        EXPECT_LE(line.size(), HeaderEncoding::FoldedLineLength) << line.toStdString();
    }
    const QRegularExpression encodedName(QStringLiteral("name=\"([^\"]*)\""));
    const QByteArray nameValue = encodedName.match(QString::fromLatin1(fields)).captured(1).toLatin1();
    EXPECT_EQ(HeaderText::decode(std::string_view(nameValue.constData(), static_cast<std::size_t>(nameValue.size()))), name);
}

TEST(ServerAddressPortsTest, ProviderTlsPortsMeanTlsFromTheFirstByte)
{
    struct Case {
        QString typed;
        ServerAddress::Protocol protocol;
        int port;
        bool tls;
    };
    using P = ServerAddress::Protocol;
    const Case cases[] = {
        {QStringLiteral("pop.example.jp:995"), P::Pop3, 995, true},
        {QStringLiteral("smtp.example.jp:465"), P::Smtp, 465, true},
        {QStringLiteral("smtp.example.jp:995"), P::Smtp, 995, false},
        {QStringLiteral("pop.example.jp:465"), P::Pop3, 465, false},
        {QStringLiteral("smtp://smtp.example.jp:465"), P::Smtp, 465, false},
        {QStringLiteral("smtp.example.jp:587"), P::Smtp, 587, false},
        {QStringLiteral("[::1]:995"), P::Pop3, 995, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const auto address = ServerAddress::parse(c.typed, c.protocol);
        ASSERT_TRUE(address);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->tlsFromStart, c.tls);
    }
}

} // namespace
