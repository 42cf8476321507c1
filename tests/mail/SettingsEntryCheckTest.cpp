#include "SettingsEntryCheck.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

namespace {

using Protocol = ServerAddress::Protocol;

struct ServerCase {
    const char* name;
    QString text;
    Protocol protocol;
    // Parts the notice must hold; none: the name is taken.
    QStringList says;
};

class ServerNameCheck : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerNameCheck, RefusesWhatTheFileOrTheConnectionCannotTake)
{
    const QString problem = SettingsEntryCheck::serverName(GetParam().text, GetParam().protocol);
    if (GetParam().says.isEmpty()) {
        EXPECT_EQ(problem, QString()) << GetParam().name;
    }
    for (const QString& part : GetParam().says)
        EXPECT_TRUE(problem.contains(part)) << GetParam().name << ": " << problem.toStdString();
}

const QString Long100 = QString(96, u'a') + QStringLiteral(".jp");

INSTANTIATE_TEST_SUITE_P(Table, ServerNameCheck,
    testing::Values(ServerCase{"empty", QString(), Protocol::Pop3, {}},
        ServerCase{"plain", QStringLiteral("pop.example.jp"), Protocol::Pop3, {}},
        ServerCase{"port and scheme", QStringLiteral("smtps://smtp.example.jp:465"), Protocol::Smtp, {}},
        ServerCase{"blank before, as typed", QStringLiteral(" pop.example"), Protocol::Pop3, {}},
        ServerCase{"exactly 100 characters", QString(97, u'a') + QStringLiteral(".jp"), Protocol::Smtp, {}},
        ServerCase{"101 characters", QString(98, u'a') + QStringLiteral(".jp"), Protocol::Smtp,
            {QStringLiteral("SMTP サーバー名が長すぎます（101 文字）"), QStringLiteral("100 文字まで")}},
        ServerCase{"port 99999", QStringLiteral("pop.example.jp:99999"), Protocol::Pop3,
            {ServerAddress::unreadableText(QStringLiteral("pop.example.jp:99999"), Protocol::Pop3), QStringLiteral("ポート番号 99999")}},
        ServerCase{"port 0", QStringLiteral("smtp.example.jp:0"), Protocol::Smtp, {QStringLiteral("ポート番号 0")}},
        ServerCase{"blank and slash inside", QStringLiteral("pop example/jp"), Protocol::Pop3,
            {QStringLiteral("POP3 サーバー名「pop example/jp」を読み取れません"), QStringLiteral("使えない文字（空白）")}},
        ServerCase{"at sign", QStringLiteral("me@pop.example.jp"), Protocol::Pop3, {QStringLiteral("使えない文字（@）")}},
        ServerCase{"wrong scheme", QStringLiteral("pop3s://smtp.example.jp"), Protocol::Smtp, {QStringLiteral("SMTP サーバー名「")}},
        ServerCase{"letters code page 932 lacks", QStringLiteral("메일.example"), Protocol::Pop3,
            {QStringLiteral("シフトJIS（コードページ932）で表せない文字（메일）")}}),
    [](const testing::TestParamInfo<ServerCase>& info) { return std::to_string(info.index); });

struct AccountCase {
    const char* name;
    QString id;
    QString password;
    QString says;
};

class AccountCheck : public testing::TestWithParam<AccountCase> {};

TEST_P(AccountCheck, RefusesWhatTheServerOrTheFileCannotTake)
{
    QString problem = SettingsEntryCheck::accountId(GetParam().id);
    if (problem.isEmpty())
        problem = SettingsEntryCheck::accountPassword(GetParam().password);
    if (GetParam().says.isEmpty()) {
        EXPECT_EQ(problem, QString()) << GetParam().name;
    } else {
        EXPECT_TRUE(problem.contains(GetParam().says)) << GetParam().name << ": " << problem.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AccountCheck,
    testing::Values(AccountCase{"plain", QStringLiteral("taro"), QStringLiteral("secret"), {}},
        AccountCase{"Japanese", QStringLiteral("太郎"), QStringLiteral("ひみつ"), {}},
        AccountCase{"line break", QStringLiteral("taro"), QStringLiteral("sec\nret"),
            QStringLiteral("ユーザー ID またはパスワードに改行文字が含まれています。")},
        AccountCase{"outside code page 932", QStringLiteral("taro"), QStringLiteral("pass😀"),
            QStringLiteral("パスワードに、シフトJIS（コードページ932）で表せない文字（😀）")},
        AccountCase{"256 bytes", QString(128, QChar(0x3042)), QStringLiteral("secret"), QStringLiteral("ユーザー ID が長すぎます。保存できるのは 255 バイト")},
        AccountCase{"255 bytes", QString(255, u'a'), QStringLiteral("secret"), {}},
        AccountCase{"blank after the password", QStringLiteral("taro"), QStringLiteral("secret "), QStringLiteral("パスワードの前後に空白")}),
    [](const testing::TestParamInfo<AccountCase>& info) { return std::to_string(info.index); });

TEST(SmtpAccountCheck, NamesTheSmtpLoginAndTheMailAddressIsHeldToTheFileToo)
{
    EXPECT_TRUE(SettingsEntryCheck::smtpId(QStringLiteral("ユーザー\r")).startsWith(QStringLiteral("SMTP 認証 ID またはパスワード")));
    // The SMTP login is kept in iniIdPass.ini as well.
    EXPECT_TRUE(SettingsEntryCheck::smtpPassword(QStringLiteral("x€")).startsWith(QStringLiteral("SMTP 認証パスワードに、")));
    EXPECT_TRUE(SettingsEntryCheck::mailAddress(QString(95, u'a') + QStringLiteral("@ex.jp")).contains(QStringLiteral("101 文字")));
    EXPECT_TRUE(SettingsEntryCheck::mailAddress(QStringLiteral("太郎@example.jp")).isEmpty());
}

} // namespace
