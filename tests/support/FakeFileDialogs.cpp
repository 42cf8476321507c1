#include "FakeFileDialogs.h"

std::optional<QString> FakeFileDialogs::openFileName(const QString& filter)
{
    openFilters.append(filter);
    if (openAnswers.isEmpty())
        return std::nullopt;
    return openAnswers.takeFirst();
}

std::optional<QString> FakeFileDialogs::saveFileName(const QString& filter, bool confirmOverwrite)
{
    saveFilters.append(filter);
    saveConfirmations.append(confirmOverwrite);
    if (saveAnswers.isEmpty())
        return std::nullopt;
    return saveAnswers.takeFirst();
}

std::optional<FileDialogs::PrintChoice> FakeFileDialogs::print(const QString& wholeText, const QString& selectedText,
    const QString& fontFamily, double pointSize, bool bold, bool italic)
{
    ++printDialogs;
    if (printAnswers.isEmpty())
        return std::nullopt;
    const PrintChoice choice = printAnswers.takeFirst();
    printed.append({wholeText, selectedText, fontFamily, pointSize, bold, italic, choice});
    return choice;
}
