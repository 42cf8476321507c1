#include "TextQuickSave.h"

#include "EditorTextFile.h"

#include <QFileInfo>

#include <algorithm>

namespace {

bool unsafeInName(char32_t character)
{
    return character == U'/' || character == U'\\' || character < 0x20 || (character >= 0x7F && character < 0xA0)
        || character == 0x2028 || character == 0x2029 || (character >= 0xD800 && character < 0xE000);
}

bool onlyDots(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar character) { return character == u'.'; });
}

} // namespace

QString TextQuickSave::folderMissing(const QString& folder)
{
    return QStringLiteral("書き出し先のフォルダが見つかりません。\r\n%1").arg(folder);
}

QString TextQuickSave::fileName(const QString& subject)
{
    const QString extension = QStringLiteral(".txt");
    const qsizetype room = MaxNameBytes - extension.toUtf8().size();
    QString name;
    qsizetype bytes = 0;
    for (const char32_t character : subject.toUcs4()) {
        const char32_t safe = unsafeInName(character) ? U'_' : character;
        const QString text = QString::fromUcs4(&safe, 1);
        const qsizetype size = text.toUtf8().size();
        if (bytes + size > room)
            break;
        name += text;
        bytes += size;
    }
    if (onlyDots(name))
        name = untitledName();
    // A name starting with "." is hidden from ls and from the open dialog, so the export would seem lost.
    else if (name.startsWith(u'.'))
        name[0] = u'_';
    return name + extension;
}

TextQuickSave::Outcome TextQuickSave::write(const QString& folder, const MessageHeader& header, const QString& body,
    const std::function<bool()>& overwriteAllowed)
{
    if (!QFileInfo(folder).isDir())
        return {Result::FolderMissing, folderMissing(folder), {}};
    // One path component joined here, never through the path builder, which reads "\" as a separator.
    const QString path = folder + u'/' + fileName(header.subject);
    const QFileInfo existing(path);
    if ((existing.exists() || existing.isSymLink()) && !overwriteAllowed())
        return {Result::Declined, {}, {}};
    const QString lines = TextEditor::withHeader(header, body);
    const StoreResult<bool> written = EditorTextFile::write(path, lines);
    if (!written.ok())
        return {Result::Failed, written.error(), {}};
    return {Result::Written, written.value() ? EditorTextFile::replacedCharactersNotice(path) : QString(), lines};
}
