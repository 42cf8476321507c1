#pragma once

#include "NMailApi.h"

#include <utility>

// A mail library that passes every call on to another: a bench that watches some of the calls
// overrides those and leaves the rest to this.
class ForwardingMailLibrary : public NMailApi {
public:
    explicit ForwardingMailLibrary(NMailApi& library) : library_(library) {}

    int NMailInitializeWinSock() override { return library_.NMailInitializeWinSock(); }
    void NMailSetWaitHook(NetworkWaitHook hook) override { library_.NMailSetWaitHook(std::move(hook)); }
    int NMailSetOption(int option, int value) override { return library_.NMailSetOption(option, value); }
    int NMailSetOptionText(int option, const QString& value) override { return library_.NMailSetOptionText(option, value); }
    int NMailPop3Connect(const QString& server) override { return library_.NMailPop3Connect(server); }
    int NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop) override
    {
        return library_.NMailPop3Authenticate(handle, id, password, apop);
    }
    int NMailPop3GetUidl(int handle, QStringList& ids) override { return library_.NMailPop3GetUidl(handle, ids); }
    void NMailPop3PlanFetches(int handle, const QList<int>& numbers) override { library_.NMailPop3PlanFetches(handle, numbers); }
    int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from, QString& header, int flag) override
    {
        return library_.NMailPop3GetMailStatus(handle, number, subject, date, from, header, flag);
    }
    int NMailPop3GetMailSize(int handle, int number) override { return library_.NMailPop3GetMailSize(handle, number); }
    int NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header, QString& body,
        int flag, int option) override
    {
        return library_.NMailPop3GetMail(handle, number, subject, date, from, header, body, flag, option);
    }
    int NMailAttachmentFileFirst(int handle, QString& subject, QString& date, QString& from, QString& header, QString& body,
        const QString& attachmentFolder, const QString& workFilePath, QString& workText, int flag) override
    {
        return library_.NMailAttachmentFileFirst(handle, subject, date, from, header, body, attachmentFolder, workFilePath, workText, flag);
    }
    int NMailAttachmentFileClose(int handle) override { return library_.NMailAttachmentFileClose(handle); }
    int NMailAttachmentFileFlush(int handle) override { return library_.NMailAttachmentFileFlush(handle); }
    int NMailPop3DeleteMail(int handle, int number) override { return library_.NMailPop3DeleteMail(handle, number); }
    int NMailPop3DeleteMails(int handle, const QList<int>& numbers, QStringList& refusals) override
    {
        return library_.NMailPop3DeleteMails(handle, numbers, refusals);
    }
    int NMailPop3Close(int handle) override { return library_.NMailPop3Close(handle); }
    int NMailSmtpSendMail(const QString& server, const QString& to, const QString* cc, const QString* bcc, const QString& from,
        const QString& subject, const QString& body, const QString* header, const QString& attachments, int flag) override
    {
        return library_.NMailSmtpSendMail(server, to, cc, bcc, from, subject, body, header, attachments, flag);
    }
    int NMailGetMessage(int handle, QString& buffer, int size) override { return library_.NMailGetMessage(handle, buffer, size); }
    int NMailEndWinSock() override { return library_.NMailEndWinSock(); }

private:
    NMailApi& library_;
};
