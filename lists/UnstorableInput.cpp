#include "UnstorableInput.h"

#include "Cp932Codec.h"

QString UnstorableInputNotice(QStringView text, const QString& fieldName)
{
    const QString characters = Cp932Codec::unstorableCharacters(text);
    if (characters.isEmpty())
        return {};
    QString listed;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const qsizetype width = characters[i].isHighSurrogate() && i + 1 < characters.size() ? 2 : 1;
        listed += u'「' + characters.mid(i, width) + u'」';
        i += width - 1;
    }
    return QStringLiteral("%1に保存できない文字が含まれています: %2\r\n"
                          "Shift_JIS にない文字（絵文字、€、é など）は「?」になってしまうため登録できません。別の文字に置き換えてください。")
        .arg(fieldName, listed);
}
