#include "OutgoingMessage.h"

#include "GMimeHandles.h"
#include "MailLibraries.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

bool holdsLineBreak(const QString& text) { return text.contains(u'\r') || text.contains(u'\n'); }

// The addr-specs of an address text ("山田 <taro@example.jp>, hanako@example.jp").
std::vector<std::string> mailboxesOf(InternetAddressList* list)
{
    std::vector<std::string> found;
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            const char* addressText = internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address));
            if (addressText && *addressText && std::string_view(addressText).find('@') != std::string_view::npos)
                found.emplace_back(addressText);
        }
    }
    return found;
}

QString withCrLf(const QString& text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    normalised.replace(u'\n', QStringLiteral("\r\n"));
    return normalised;
}

GMimePart* base64Part(const char* type, const char* subtype, const QByteArray& bytes)
{
    GMimePart* part = g_mime_part_new_with_type(type, subtype);
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    GObjectPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

} // namespace

StoreResult<OutgoingMessage> OutgoingMessage::build(const Content& content)
{
    MailLibraries::ensureInitialized();
    if (holdsLineBreak(content.to) || holdsLineBreak(content.from) || holdsLineBreak(content.subject))
        return StoreStatus::failure(QStringLiteral("宛先・差出人・件名に改行文字を含むメールは送信できません。"));

    struct File {
        QString name;
        QByteArray bytes;
        QString type;
    };
    std::vector<File> files;
    for (const QString& path : content.attachmentPaths) {
        // The name goes into the part's header: a line break there would start header fields of
        // the sender's choosing, as it would in the subject.
        if (holdsLineBreak(QFileInfo(path).fileName()))
            return StoreStatus::failure(QStringLiteral("添付ファイル名に改行文字が含まれているため、送信しませんでした。名前を変えてから添付してください。"));
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return StoreStatus::failure(QStringLiteral("添付ファイル「%1」を読めないため、送信しませんでした。").arg(path));
        files.push_back({QFileInfo(path).fileName(), file.readAll(), QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name()});
        if (file.error() != QFileDevice::NoError)
            return StoreStatus::failure(QStringLiteral("添付ファイル「%1」を読めないため、送信しませんでした。").arg(path));
    }

    GObjectPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    GMimeParserOptions* options = g_mime_parser_options_get_default();
    const QByteArray to = content.to.trimmed().toUtf8();
    const QByteArray from = content.from.trimmed().toUtf8();
    GObjectPtr<InternetAddressList> toList(internet_address_list_parse(options, to.constData()));
    GObjectPtr<InternetAddressList> fromList(internet_address_list_parse(options, from.constData()));

    OutgoingMessage built;
    built.recipients_ = mailboxesOf(toList.get());
    const std::vector<std::string> senders = mailboxesOf(fromList.get());
    if (built.recipients_.empty())
        return StoreStatus::failure(QStringLiteral("宛先のメールアドレス「%1」を読み取れません。").arg(content.to));
    if (senders.empty())
        return StoreStatus::failure(QStringLiteral("差出人のメールアドレス「%1」を読み取れません。設定を確認してください。").arg(content.from));
    built.sender_ = senders.front();

    internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO), toList.get());
    internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_FROM), fromList.get());
    g_mime_message_set_subject(message.get(), content.subject.toUtf8().constData(), "utf-8");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    const std::string domain = built.sender_.substr(built.sender_.find('@') + 1);
    char* id = g_mime_utils_generate_message_id(domain.c_str());
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);

    GMimePart* text = base64Part("text", "plain", withCrLf(content.body).toUtf8());
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(text), "charset", "utf-8");
    if (files.empty()) {
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text));
        g_object_unref(text);
    } else {
        GObjectPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text));
        g_object_unref(text);
        for (const File& file : files) {
            const QStringList type = file.type.split(u'/');
            GMimePart* part = base64Part(type.value(0).toUtf8().constData(), type.value(1).toUtf8().constData(), file.bytes);
            g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
            g_mime_part_set_filename(part, file.name.toUtf8().constData());
            g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part));
            g_object_unref(part);
        }
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    }

    GMimeFormatOptions* format = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), format, stream.get());
    g_mime_format_options_free(format);
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    built.bytes_.assign(reinterpret_cast<const char*>(array->data), array->len);
    return built;
}
