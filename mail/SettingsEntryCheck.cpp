#include "SettingsEntryCheck.h"

#include "Cp932Codec.h"
#include "ProfileFile.h"
#include "ServerSettings.h"

#include <QRegularExpression>

namespace {

using Protocol = ServerAddress::Protocol;

QString serverLabel(Protocol protocol) { return protocol == Protocol::Pop3 ? QStringLiteral("POP3 サーバー名") : QStringLiteral("SMTP サーバー名"); }

// vbmail.ini keeps the first 100 characters of a value: the rest would be lost at the next start.
QString tooLongForTheSettingsFile(const QString& label, const QString& text)
{
    if (text.size() <= ServerSettings::MaxValueLength)
        return {};
    return QStringLiteral("%1が長すぎます（%2 文字）。保存できるのは %3 文字までです。").arg(label).arg(text.size()).arg(ServerSettings::MaxValueLength);
}

QString notInCodePage932(const QString& label, const QString& text, const QString& consequence)
{
    const QString characters = Cp932Codec::unstorableCharacters(text);
    if (characters.isEmpty())
        return {};
    return QStringLiteral("%1に、シフトJIS（コードページ932）で表せない文字（%2）が含まれています。%3").arg(label, characters, consequence);
}

// Why a server name cannot be read, where it can be told: a port out of range, or characters no host
// name holds.
QString unreadableDetail(const QString& text)
{
    static const QRegularExpression port(QStringLiteral("^(?:[A-Za-z0-9]+://)?(?:\\[[^\\]]*\\]|[^:/\\[\\]]*):(\\d+)/?$"));
    if (const QRegularExpressionMatch match = port.match(text.trimmed()); match.hasMatch()) {
        const qlonglong number = match.captured(1).toLongLong();
        if (number < 1 || number > 65535)
            return QStringLiteral("ポート番号 %1 は使えません。1 から 65535 までです。").arg(match.captured(1));
    }
    QString wrong;
    for (const QChar c : text.trimmed()) {
        const bool allowed = c.isLetterOrNumber() || QStringLiteral(".-_:[]/").contains(c);
        if (!allowed && !wrong.contains(c))
            wrong += c;
    }
    if (!wrong.isEmpty())
        return QStringLiteral("ホスト名に使えない文字（%1）が含まれています。").arg(wrong.replace(u' ', QStringLiteral("空白")));
    return {};
}

QString accountField(const QString& label, const QString& text)
{
    if (QString problem = notInCodePage932(label, text, QStringLiteral("保存すると「?」に変わり、次に起動したときからログインできなくなります。"));
        !problem.isEmpty())
        return problem;
    if (Cp932Codec::encode(text).size() > ProfileFile::MaxValueBytes)
        return QStringLiteral("%1が長すぎます。保存できるのは %2 バイト（全角 %3 文字）までです。")
            .arg(label)
            .arg(ProfileFile::MaxValueBytes)
            .arg(ProfileFile::MaxValueBytes / 2);
    // iniIdPass.ini reads a value without the blanks around it.
    if (text != text.trimmed())
        return QStringLiteral("%1の前後に空白があります。保存すると空白が落ち、ログインできなくなります。").arg(label);
    return {};
}

bool breaksALine(const QString& text) { return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0)); }

// The words of the POP3 login, which refuses such an account; in iniIdPass.ini a line break would
// end the value and start a line of its own.
QString accountProblem(const QString& idLabel, const QString& label, const QString& text)
{
    if (breaksALine(text))
        return QStringLiteral("%1またはパスワードに改行文字が含まれています。").arg(idLabel);
    return accountField(label, text);
}

const QString AccountIdLabel = QStringLiteral("ユーザー ID ");
const QString SmtpIdLabel = QStringLiteral("SMTP 認証 ID ");

} // namespace

QString SettingsEntryCheck::serverName(const QString& text, Protocol protocol)
{
    if (text.trimmed().isEmpty())
        return {};
    if (QString problem = tooLongForTheSettingsFile(serverLabel(protocol), text); !problem.isEmpty())
        return problem;
    if (!ServerAddress::parse(text, protocol)) {
        const QString detail = unreadableDetail(text);
        return ServerAddress::unreadableText(text, protocol) + (detail.isEmpty() ? QString() : QStringLiteral("\r\n") + detail);
    }
    return notInCodePage932(serverLabel(protocol), text, QStringLiteral("保存すると「?」に変わり、接続できなくなります。"));
}

QString SettingsEntryCheck::mailAddress(const QString& text)
{
    const QString label = QStringLiteral("メールアドレス");
    if (QString problem = tooLongForTheSettingsFile(label, text); !problem.isEmpty())
        return problem;
    return notInCodePage932(label, text, QStringLiteral("保存すると「?」に変わり、送信したメールの差出人が正しくなくなります。"));
}

QString SettingsEntryCheck::accountId(const QString& id) { return accountProblem(AccountIdLabel, AccountIdLabel, id); }

QString SettingsEntryCheck::accountPassword(const QString& password)
{
    return accountProblem(AccountIdLabel, QStringLiteral("パスワード"), password);
}

QString SettingsEntryCheck::smtpId(const QString& id) { return accountProblem(SmtpIdLabel, SmtpIdLabel, id); }

QString SettingsEntryCheck::smtpPassword(const QString& password)
{
    return accountProblem(SmtpIdLabel, QStringLiteral("SMTP 認証パスワード"), password);
}
