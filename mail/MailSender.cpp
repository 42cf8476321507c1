#include "MailSender.h"

#include "TextHelpers.h"

#include <cstdint>
#include <utility>

MailSender::MailSender(NMailApi& mail, SendAccount account) : mail_(mail), account_(std::move(account)) {}

SendResult MailSender::SendOne(const OutgoingMail& mail)
{
    (void)mail_.NMailSetOptionText(NMailApi::OptionSmtpUser, account_.AccountId);
    (void)mail_.NMailSetOptionText(NMailApi::OptionSmtpPassword, account_.AccountPassword);
    const int result = mail_.NMailSmtpSendMail(account_.SmtpServer, mail.to, nullptr, nullptr, account_.MailAddress, mail.subject,
        mail.body, nullptr, mail.attachments, 0);
    // The result is a 16-bit number: only its sign tells failure.
    const auto code = static_cast<std::int16_t>(result);
    if (code >= 0)
        return {};
    QString text;
    (void)mail_.NMailGetMessage(0, text, MessageBufferSize);
    return {code == NMailApi::SendNotConnected ? SendResult::Kind::NotConnected : SendResult::Kind::Refused, CutAtNul(text)};
}
