#pragma once

#include "Record.h"
#include "RecordLayouts.h"

#include <QString>

// Received and sent records with the list and view fields set, for tests that read folders back.
namespace StoreTestRecords {

constexpr int MessageLength = 32284;
constexpr int SentLength = 32574;

inline Record messageRecord(const QString& subject, const QString& from, const QString& date, const QString& body)
{
    using RecordLayouts::MessageField;
    Record record(RecordLayouts::Message);
    record.setText(MessageField::Subject, subject);
    record.setText(MessageField::From, from);
    record.setText(MessageField::Date, date);
    record.setText(MessageField::Body, body);
    return record;
}

inline Record sentRecord(const QString& subject, const QString& to, const QString& sentAt)
{
    using RecordLayouts::SentField;
    Record record(RecordLayouts::Sent);
    record.setText(SentField::Subject, subject);
    record.setText(SentField::To, to);
    record.setText(SentField::Body, QStringLiteral("本文 ") + subject);
    record.setText(SentField::SentAt, sentAt);
    return record;
}

} // namespace StoreTestRecords
