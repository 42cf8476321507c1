#pragma once

#include <QString>

#include <optional>
#include <utility>

// Outcome of a storage operation. Failures carry a sentence a message box can show as it stands.
// Success is a flag of its own, never read from the text: a failure whose cause gave no words
// (an empty error string of the system or the mail library) is still a failure, and says so.
class [[nodiscard]] StoreStatus {
public:
    static StoreStatus success() { return StoreStatus(true, QString()); }
    static StoreStatus failure(QString message)
    {
        return StoreStatus(false, message.isEmpty() ? unexplainedFailure() : std::move(message));
    }

    bool ok() const { return ok_; }
    const QString& error() const { return error_; }

    static QString unexplainedFailure() { return QStringLiteral("処理を完了できませんでした（理由は示されませんでした）。"); }

private:
    StoreStatus(bool ok, QString error) : ok_(ok), error_(std::move(error)) {}
    bool ok_;
    QString error_;
};

template <typename T>
class [[nodiscard]] StoreResult {
public:
    StoreResult(T value) : value_(std::move(value)), status_(StoreStatus::success()) {}
    // failure is a failed status; a success handed here by mistake yields a failure all the same,
    // since there is no value to stand for it.
    StoreResult(StoreStatus failure) : status_(failure.ok() ? StoreStatus::failure(QString()) : std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const QString& error() const { return status_.error(); }
    const StoreStatus& status() const { return status_; }

private:
    std::optional<T> value_;
    StoreStatus status_;
};
