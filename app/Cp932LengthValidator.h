#pragma once

#include <QString>
#include <QValidator>

// The length limit of a text box, counted in bytes of code page 932 (a double-byte character
// counts two). Of typed or pasted text the box keeps what fits at the caret; text that the program
// sets is cut at the limit. A character is never split.
class Cp932LengthValidator : public QValidator {
    Q_OBJECT
public:
    Cp932LengthValidator(int maxBytes, QObject* parent);

    int maxBytes() const { return maxBytes_; }
    State validate(QString& input, int& position) const override;

    static int byteLength(QStringView text);
    // The longest leading part of text that fits into maxBytes bytes.
    static QString fittingPrefix(QStringView text, int maxBytes);

private:
    int maxBytes_;
    // The text last let through: an edit that goes over the limit is compared with it to find
    // what was inserted.
    mutable QString accepted_;
};
