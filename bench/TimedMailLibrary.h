#pragma once

#include "ForwardingMailLibrary.h"

#include <array>
#include <chrono>
#include <type_traits>

// The mail library with a stopwatch: every call goes on to the library, and the time it took is
// added to the step of a receive it belongs to. What a receive spends outside these calls is the
// caller's own work, so a bench can tell the library's share of a session from the session's.
class TimedMailLibrary final : public ForwardingMailLibrary {
public:
    enum Step { Login, Fetch, Extraction, Flush, DeletionAndQuit, StepCount };
    // The benchmark counter of each step, in milliseconds per receive.
    static constexpr std::array<const char*, StepCount> CounterNames{"login_ms", "fetch_ms", "extract_ms", "flush_ms", "quit_ms"};

    using ForwardingMailLibrary::ForwardingMailLibrary;

    double milliseconds(Step step) const { return std::chrono::duration<double, std::milli>(spent_[step]).count(); }

    int NMailPop3Connect(const QString& server) override
    {
        return timed(Login, [&] { return ForwardingMailLibrary::NMailPop3Connect(server); });
    }
    int NMailPop3Authenticate(int handle, const QString& id, const QString& password, int apop) override
    {
        return timed(Login, [&] { return ForwardingMailLibrary::NMailPop3Authenticate(handle, id, password, apop); });
    }
    int NMailPop3GetUidl(int handle, QStringList& ids) override
    {
        return timed(Login, [&] { return ForwardingMailLibrary::NMailPop3GetUidl(handle, ids); });
    }
    void NMailPop3PlanFetches(int handle, const QList<int>& numbers) override
    {
        timed(Login, [&] { ForwardingMailLibrary::NMailPop3PlanFetches(handle, numbers); });
    }

    int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        int flag) override
    {
        return timed(Fetch, [&] { return ForwardingMailLibrary::NMailPop3GetMailStatus(handle, number, subject, date, from, header, flag); });
    }
    int NMailPop3GetMailSize(int handle, int number) override
    {
        return timed(Fetch, [&] { return ForwardingMailLibrary::NMailPop3GetMailSize(handle, number); });
    }
    int NMailPop3GetMail(int handle, int number, QString& subject, QString& date, QString& from, QString& header,
        QString& body, int flag, int option) override
    {
        return timed(Fetch, [&] {
            return ForwardingMailLibrary::NMailPop3GetMail(handle, number, subject, date, from, header, body, flag, option);
        });
    }

    int NMailAttachmentFileFirst(int handle, QString& subject, QString& date, QString& from, QString& header, QString& body,
        const QString& attachmentFolder, const QString& workFilePath, QString& workText, int flag) override
    {
        return timed(Extraction, [&] {
            return ForwardingMailLibrary::NMailAttachmentFileFirst(handle, subject, date, from, header, body, attachmentFolder,
                workFilePath, workText, flag);
        });
    }
    int NMailAttachmentFileClose(int handle) override
    {
        return timed(Extraction, [&] { return ForwardingMailLibrary::NMailAttachmentFileClose(handle); });
    }
    int NMailAttachmentFileFlush(int handle) override
    {
        return timed(Flush, [&] { return ForwardingMailLibrary::NMailAttachmentFileFlush(handle); });
    }

    int NMailPop3DeleteMail(int handle, int number) override
    {
        return timed(DeletionAndQuit, [&] { return ForwardingMailLibrary::NMailPop3DeleteMail(handle, number); });
    }
    int NMailPop3DeleteMails(int handle, const QList<int>& numbers, QStringList& refusals) override
    {
        return timed(DeletionAndQuit, [&] { return ForwardingMailLibrary::NMailPop3DeleteMails(handle, numbers, refusals); });
    }
    int NMailPop3Close(int handle) override
    {
        return timed(DeletionAndQuit, [&] { return ForwardingMailLibrary::NMailPop3Close(handle); });
    }

private:
    template <typename Call>
    std::invoke_result_t<Call> timed(Step step, Call call)
    {
        const auto start = std::chrono::steady_clock::now();
        if constexpr (std::is_void_v<std::invoke_result_t<Call>>) {
            call();
            spent_[step] += std::chrono::steady_clock::now() - start;
        } else {
            const auto result = call();
            spent_[step] += std::chrono::steady_clock::now() - start;
            return result;
        }
    }

    std::array<std::chrono::steady_clock::duration, StepCount> spent_{};
};
