#pragma once

#include <QString>
#include <QStringList>

// The main screen's explanation ("説明表示"): nineteen paragraphs, the last of which ends with the
// address of the program's help page.
QStringList ExplanationParagraphs(const QString& homePageAddress);
// The paragraphs joined by CR LF CR LF, nothing after the last.
QString ExplanationText(const QString& homePageAddress);
