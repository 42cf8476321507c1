#include "MailSender.h"

#include "TextHelpers.h"

#include <cstdint>
#include <utility>

MailSender::MailSender(NMailApi& mail, SendAccount account, PlainPasswordConsent* consent)
    : mail_(mail), account_(std::move(account)), consent_(consent)
{
}

SendResult MailSender::SendOne(const OutgoingMail& mail)
{
    (void)mail_.NMailSetOptionText(NMailApi::OptionSmtpUser, account_.AccountId);
    (void)mail_.NMailSetOptionText(NMailApi::OptionSmtpPassword, account_.AccountPassword);
    const auto send = [&] {
        return mail_.NMailSmtpSendMail(account_.SmtpServer, mail.to, nullptr, nullptr, account_.MailAddress, mail.subject, mail.body,
            nullptr, mail.attachments, 0);
    };
    const int result = consent_ ? consent_->run(account_.SmtpServer, send) : send();
    // The result is a 16-bit number: only its sign tells failure.
    const auto code = static_cast<std::int16_t>(result);
    if (code >= 0)
        return {};
    QString text;
    (void)mail_.NMailGetMessage(0, text, MessageBufferSize);
    if (code == NMailApi::ResultSentUnconfirmed)
        return {SendResult::Kind::Unconfirmed, CutAtNul(text)};
    const bool noLaterMessageWouldGo = code == NMailApi::SendNotConnected || code == NMailApi::ResultPasswordNeedsTls;
    return {noLaterMessageWouldGo ? SendResult::Kind::NotConnected : SendResult::Kind::Refused, CutAtNul(text)};
}
