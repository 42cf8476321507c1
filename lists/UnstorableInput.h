#pragma once

#include <QString>
#include <QStringView>

// Every list is stored in code page 932, which writes a character it cannot hold (an emoji, €, é)
// as "?". Input holding one is refused with this notice, which names the field and the characters;
// empty when the text can be stored as typed.
QString UnstorableInputNotice(QStringView text, const QString& fieldName);
