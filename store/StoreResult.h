#pragma once

#include <QString>

#include <optional>
#include <utility>

// Outcome of a storage operation. Failures carry a sentence a message box can show as it stands.
class [[nodiscard]] StoreStatus {
public:
    static StoreStatus success() { return StoreStatus(QString()); }
    static StoreStatus failure(QString message) { return StoreStatus(std::move(message)); }

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

private:
    explicit StoreStatus(QString error) : error_(std::move(error)) {}
    QString error_;
};

template <typename T>
class [[nodiscard]] StoreResult {
public:
    StoreResult(T value) : value_(std::move(value)) {}
    StoreResult(StoreStatus failure) : error_(failure.error()) {}

    bool ok() const { return value_.has_value(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const QString& error() const { return error_; }
    StoreStatus status() const { return ok() ? StoreStatus::success() : StoreStatus::failure(error_); }

private:
    std::optional<T> value_;
    QString error_;
};
