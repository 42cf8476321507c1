#include "EditorTextFile.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <sys/stat.h>
#include <optional>

namespace {

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

std::optional<QString> strictUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString decodeCharacters(std::string_view bytes)
{
    if (bytes.starts_with(Utf8ByteOrderMark)) {
        bytes.remove_prefix(Utf8ByteOrderMark.size());
        const QByteArrayView rest(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return QString::fromUtf8(rest);
    }
    // Code page 932 text of any length is almost never valid UTF-8, so valid UTF-8 with characters
    // beyond ASCII is taken for what it is.
    if (!isAscii(bytes)) {
        if (auto utf8 = strictUtf8(bytes))
            return *utf8;
    }
    return Cp932Codec::decode(bytes);
}

} // namespace

namespace EditorTextFile {

QString decode(std::string_view bytes)
{
    const QString characters = decodeCharacters(bytes);
    QString text;
    text.reserve(characters.size() + characters.size() / 16 + 2);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        if (characters[i] != u'\r')
            continue;
        text += QStringView(characters).sliced(lineStart, i - lineStart);
        text += u"\r\n";
        if (i + 1 < characters.size() && characters[i + 1] == u'\n')
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < characters.size()) {
        text += QStringView(characters).sliced(lineStart);
        text += u"\r\n";
    }
    return text;
}

Encoded encode(QStringView text)
{
    QString lines = text.toString();
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\n', QStringLiteral("\r\n"));
    lines += u"\r\n";
    Encoded encoded{Cp932Codec::encode(lines), false};
    // "?" is never the second byte of a double-byte character, so every extra one is a replacement.
    const auto questionMarks = std::count(encoded.bytes.begin(), encoded.bytes.end(), '?');
    encoded.charactersReplaced = questionMarks > lines.count(u'?');
    return encoded;
}

StoreResult<ReadText> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return StoreStatus::failure(QStringLiteral("ファイルを開けません: %1 (%2)").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return StoreStatus::failure(QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, file.errorString()));
    const std::string_view content(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const QString text = decode(content);
    return ReadText{text, text.contains(UnreadableMark) && !Cp932Codec::isWellFormed(content)};
}

StoreResult<bool> write(const QString& path, QStringView text)
{
    const Encoded encoded = encode(text);
    if (const StoreStatus written = AtomicFile::write(path, encoded.bytes, PrivateFolders::FileMode); !written.ok())
        return written;
    return encoded.charactersReplaced;
}

QString replacedCharactersNotice(const QString& path)
{
    return QStringLiteral("シフトJIS（コードページ932）で表せない文字があったため、その文字を「?」に置き換えて保存しました。\r\n%1")
        .arg(path);
}

QString unreadableBytesNotice(const QString& path)
{
    return QStringLiteral("開いたファイルにシフトJIS（コードページ932）の文字でないバイトがあったため、そのバイトを「・」に置き換えて保存しました。\r\n%1")
        .arg(path);
}

} // namespace EditorTextFile
