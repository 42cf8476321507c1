#include "Cp932LengthValidator.h"

#include "Cp932Codec.h"

#include <algorithm>

Cp932LengthValidator::Cp932LengthValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}

int Cp932LengthValidator::byteLength(QStringView text) { return static_cast<int>(Cp932Codec::encode(text).size()); }

QString Cp932LengthValidator::fittingPrefix(QStringView text, int maxBytes)
{
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        // A surrogate pair is one character; the code page holds it as one "?".
        const qsizetype step = text[end].isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int bytes = byteLength(text.sliced(end, step));
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        end += step;
    }
    return text.first(end).toString();
}

QValidator::State Cp932LengthValidator::validate(QString& input, int& position) const
{
    if (byteLength(input) <= maxBytes_) {
        accepted_ = input;
        return Acceptable;
    }
    // An edit leaves the caret after what it inserted, with the rest of the accepted text behind
    // it; of the inserted part, keep what fits. Text that the program sets puts the caret at its
    // end, so it is cut there.
    const qsizetype caret = std::clamp<qsizetype>(position, 0, input.size());
    const QStringView after = QStringView(input).sliced(caret);
    const QStringView replaced = QStringView(accepted_).first(accepted_.endsWith(after) ? accepted_.size() - after.size() : 0);
    qsizetype prefix = 0;
    while (prefix < caret && prefix < replaced.size() && input[prefix] == replaced[prefix])
        ++prefix;
    const QStringView before = QStringView(input).first(prefix);
    const int room = maxBytes_ - byteLength(before) - byteLength(after);
    if (!accepted_.endsWith(after) || room < 0) {
        input = fittingPrefix(input, maxBytes_);
        position = static_cast<int>(input.size());
    } else {
        const QString inserted = fittingPrefix(QStringView(input).sliced(prefix, caret - prefix), room);
        input = before.toString() + inserted + after.toString();
        position = static_cast<int>(prefix + inserted.size());
    }
    accepted_ = input;
    return Acceptable;
}
