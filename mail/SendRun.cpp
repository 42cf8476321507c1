#include "SendRun.h"

#include "Cp932Codec.h"
#include "OutgoingMessage.h"
#include "RecipientList.h"

#include <utility>

SendRun::SendRun(SentHistory history, MailSender& sender, std::function<QString()> clockText, SendRunView& view)
    : history_(std::move(history)), sender_(sender), clockText_(std::move(clockText)), view_(view)
{
}

QString SendRun::notTriedText(int remaining)
{
    return QStringLiteral("残りの %1 件は送信していません。").arg(remaining);
}

QString SendRun::messageNotSentText(int number, const QString& recipient)
{
    return QStringLiteral("%1 通目（宛先 %2）は送信していません。").arg(number).arg(recipient);
}

QString SendRun::unconfirmedText(const QStringList& unconfirmed, const QString& reason)
{
    return QStringLiteral("次のメールは、サーバーが受け取ったかどうか確かめられませんでした。\r\n"
                          "送り直す前に、届いたかどうかを相手に確かめてください。\r\n\r\n%1\r\n\r\n%2")
        .arg(unconfirmed.join(QStringLiteral("\r\n")), reason);
}

QString SendRun::historyReplacementText(const QString& characters)
{
    return QStringLiteral("シフトJIS（コードページ932）で表せない文字（%1）は、送信したメールには正しく含まれていますが、"
                          "送信履歴には「?」として保存しました。")
        .arg(characters);
}

QString SendRun::notSentStatus(const Outcome& outcome)
{
    if (outcome.sent == 0 && outcome.unconfirmed == 0)
        return nothingSentText();
    QString text = QStringLiteral("%1 件中 %2 件を送信しました。").arg(outcome.messages).arg(outcome.sent);
    if (const int notSent = outcome.messages - outcome.sent - outcome.unconfirmed; notSent > 0)
        text += QStringLiteral("%1 件は送信していません。").arg(notSent);
    if (outcome.unconfirmed > 0)
        text += QStringLiteral("%1 件は届いたかどうか確かめられません。").arg(outcome.unconfirmed);
    return text;
}

namespace {

// The refusal of the first recipient text that is not a list of addresses; empty when all are.
QString refusedRecipient(const QStringList& recipients)
{
    for (const QString& recipient : recipients) {
        const RecipientList parsed = RecipientList::parse(recipient);
        if (!parsed.refused().isEmpty())
            return OutgoingMessage::refusedRecipientText(parsed.refused().first());
        if (parsed.mailboxes().empty())
            return QStringLiteral("宛先が入力されていません。");
    }
    return {};
}

} // namespace

SendRun::Outcome SendRun::run(const QStringList& recipients, const OutgoingMail& boxes)
{
    Outcome outcome;
    outcome.messages = static_cast<int>(recipients.size());
    if (const QString refused = refusedRecipient(recipients); !refused.isEmpty()) {
        view_.reportRefusedRecipient(refused + QStringLiteral("\r\n") + nothingSentText());
        outcome.stopped = true;
        return outcome;
    }
    const QString unstorable = Cp932Codec::unstorableCharacters(boxes.to + boxes.subject + boxes.body);
    QStringList unconfirmed;
    QString firstUnconfirmedReason;
    outcome = sendEach(recipients, boxes, [&](int number, const QString& recipient, const QString& reason) {
        if (unconfirmed.isEmpty())
            firstUnconfirmedReason = reason;
        unconfirmed.append(QStringLiteral("・%1 通目（宛先 %2）").arg(number).arg(recipient));
    });
    outcome.unconfirmed = static_cast<int>(unconfirmed.size());
    if (!unconfirmed.isEmpty())
        view_.reportUnconfirmed(unconfirmedText(unconfirmed, firstUnconfirmedReason));
    if (outcome.stored > 0 && !unstorable.isEmpty())
        view_.reportHistoryReplacement(historyReplacementText(unstorable));
    return outcome;
}

SendRun::Outcome SendRun::sendEach(const QStringList& recipients, const OutgoingMail& boxes,
    const std::function<void(int number, const QString& recipient, const QString& reason)>& unconfirmed)
{
    Outcome outcome;
    const int count = static_cast<int>(recipients.size());
    outcome.messages = count;
    for (int number = 1; number <= count; ++number) {
        view_.showProgress(number, count);
        if (view_.stopRequested()) {
            outcome.stoppedByUser = true;
            return outcome;
        }
        const int remaining = count - number;
        auto withRemaining = [&](const QString& text) {
            return remaining > 0 ? text + QStringLiteral("\r\n\r\n") + notTriedText(remaining) : text;
        };

        const auto stored = history_.StoreSentRecord(boxes, clockText_());
        if (!stored.ok()) {
            view_.reportHistoryFailure(withRemaining(QStringLiteral("送信履歴に書き込めないため、メールを送信しませんでした。\r\n%1").arg(stored.error())));
            outcome.stopped = true;
            return outcome;
        }
        ++outcome.stored;

        OutgoingMail message = boxes;
        message.to = recipients[number - 1];
        const SendResult result = sender_.SendOne(message);
        if (result.sent()) {
            ++outcome.sent;
            continue;
        }
        if (result.kind == SendResult::Kind::Unconfirmed) {
            unconfirmed(number, message.to, result.error);
            continue;
        }
        // The library's words say why; the box also says plainly which mail did not go.
        const QString failure = result.error + QStringLiteral("\r\n\r\n")
            + (count == 1 ? nothingSentText() : messageNotSentText(number, message.to));
        if (result.kind == SendResult::Kind::NotConnected) {
            view_.reportSendFailure(withRemaining(failure));
            outcome.stopped = true;
            return outcome;
        }
        view_.reportSendFailure(failure);
    }
    return outcome;
}
