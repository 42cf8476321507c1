#pragma once

#include "TextEditor.h"

#include <QString>

#include <functional>

// "Text Quick Save": the shown message as four lines in a text file named after its subject, always
// inside the export folder, which the program never creates.
class TextQuickSave {
public:
    enum class Result { Written, Declined, FolderMissing, Failed };
    struct [[nodiscard]] Outcome {
        Result result = Result::Failed;
        // The error or, for a written file, the notice about replaced characters.
        QString message;
        // What the body box shows after a written export: the four lines.
        QString shownText;
    };

    // The longest file name the export writes, in UTF-8 bytes: the file system allows 255, and the
    // atomic write needs eleven more for its temporary name beside it (".tmp-" and six characters).
    static constexpr int MaxNameBytes = 244;

    // The subject made one safe file name with ".txt": path separators, NUL and control characters
    // become "_", a subject that is empty or only dots gets a fixed name, a leading "." becomes "_"
    // (the file would be hidden), and the name is cut at a whole character to MaxNameBytes.
    static QString fileName(const QString& subject);
    static QString untitledName() { return QStringLiteral("無題"); }

    // Writes the export into folder. overwriteAllowed is asked only when the file exists.
    static Outcome write(const QString& folder, const MessageHeader& header, const QString& body,
        const std::function<bool()>& overwriteAllowed);

    static QString overwriteQuestion() { return QStringLiteral("同名のファイルが既に存在します。上書きしますか？ "); }
    static QString folderMissing(const QString& folder);
};
