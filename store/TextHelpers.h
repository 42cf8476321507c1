#pragma once

#include <QString>
#include <QStringView>

// Replaces every occurrence of a two-character text, as the record files need for the memo's "//"
// line breaks. The text is changed in place and also returned.
QString ReplaceAll(QString& text, QStringView sought, QStringView replacement);

// The part of a text before its first NUL, or the whole text. Applied to everything the mail
// library returns and to every field shown in a list.
QString CutAtNul(QStringView text);
// The same, sharing the text instead of copying it when it holds no NUL (a message body can be
// megabytes).
QString CutAtNul(const QString& text);

// Trims leading and trailing blanks: ASCII spaces and full-width spaces (U+3000) alike.
QString TrimBlanks(QStringView text);
// The same, as a view into the text.
QStringView TrimBlanksView(QStringView text);

// The leading number of a text as the settings files read it ("1abc" is 1, "" and "x" are 0).
double LeadingNumber(QStringView text);
