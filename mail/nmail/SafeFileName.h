#pragma once

#include <QString>

// A file name from a message made safe to create in the attachment folder: only its last path
// part, no control or NUL characters, none of the characters Windows refuses, no leading dots (no
// "..", no hidden files), no reserved device name, at most MaximumBytes bytes of UTF-8 with the
// extension kept. An empty result becomes the fallback.
namespace SafeFileName {

constexpr int MaximumBytes = 200;

QString make(const QString& name, const QString& fallback);

// The name with " (n)" before its extension, for a name already taken.
QString numbered(const QString& name, int number);

} // namespace SafeFileName
