#pragma once

#include <QString>

#include <ostream>

// GoogleTest shows QStrings in failure messages as their text rather than as UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
