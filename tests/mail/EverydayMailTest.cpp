#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "CharsetDecoder.h"
#include "CharsetGuess.h"
#include "GMimeHandles.h"
#include "HtmlText.h"
#include "MessageDecoder.h"
#include "MimeParts.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString MailCorpus = QStringLiteral(NEMUROA_MAIL_CORPUS);
const QString Everyday = MailCorpus + u"/everyday"_s;

std::string readMessageFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().toStdString();
}

QJsonObject expectations(const QString& folder)
{
    QFile file(folder + u"/expected.json"_s);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

struct Received {
    DecodedMessage decoded;
    AttachmentExtractor::Result extracted;
};

// What the receive does with a message: decode it, save its files, name them in the body.
Received receive(const std::string& raw, const QString& folder)
{
    Received received {MessageDecoder::decode(raw), AttachmentExtractor::extract(raw, AttachmentFolder(folder))};
    received.decoded.body = AttachmentExtractor::withWrittenNames(received.decoded.body, received.extracted.marks);
    return received;
}

// Every message of the everyday corpus reads as its sender wrote it, and its files are saved.
TEST(EverydayMailTest, EveryMessageReadsAsItsSenderWroteIt)
{
    const QJsonObject all = expectations(Everyday);
    ASSERT_GE(all.size(), 18);
    for (auto entry = all.begin(); entry != all.end(); ++entry) {
        SCOPED_TRACE(entry.key().toStdString());
        const QJsonObject expected = entry.value().toObject();
        QTemporaryDir folder;
        const Received received = receive(readMessageFile(Everyday + u'/' + entry.key()), folder.path());
        EXPECT_EQ(received.decoded.subject, expected[u"subject"].toString());
        EXPECT_EQ(received.decoded.from, expected[u"from"].toString());
        EXPECT_EQ(received.decoded.date, expected[u"date"].toString());
        EXPECT_EQ(received.decoded.body, expected[u"body"].toString());
        QStringList files;
        for (const QJsonValue& name : expected[u"attachments"].toArray())
            files << name.toString();
        files.sort();
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files, QDir::Name), files);
        EXPECT_TRUE(received.extracted.error.isEmpty());
    }
}

QString firstLine(const QString& text)
{
    for (const QString& line : text.split(u'\n')) {
        if (const QString simplified = line.simplified(); !simplified.isEmpty())
            return simplified;
    }
    return QString();
}

class PartAccount {
public:
    PartAccount(const QString& body, const QString& folder)
        : body_(body.simplified())
    {
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            QFile file(folder + u'/' + name);
            if (file.open(QIODevice::ReadOnly))
                files_ << file.readAll();
        }
    }

    // Used in the body or saved: a multipart/alternative by one of its alternatives, a picture
    // by Content-ID by the HTML body that shows it.
    bool accounted(GMimeObject* object, std::string& missing)
    {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const bool alternative = MimeParts::typeOf(object) == "multipart/alternative";
            bool any = false;
            bool all = true;
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                std::string missingHere;
                const bool used = accounted(g_mime_multipart_get_part(multipart, i), missingHere);
                any = any || used;
                all = all && used;
                if (!used && !alternative)
                    missing += missingHere;
            }
            return alternative ? any : all;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            return saved(QByteArray::fromStdString(GMimeHandles::serialized(GMIME_OBJECT(inner))), object, missing);
        }
        if (!GMIME_IS_PART(object) || GMIME_IS_MESSAGE_PARTIAL(object))
            return true;
        const std::string content = GMimeHandles::decodedContent(GMIME_PART(object));
        const std::string type = MimeParts::typeOf(object);
        if (type.starts_with("text/") || type.starts_with("message/")) {
            const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
            QString text = CharsetDecoder::decode(content, charset ? charset : "");
            if (type == "text/html")
                text = HtmlText::toPlainText(text);
            if (body_.contains(firstLine(text)))
                return true;
        }
        if (!GMimeHandles::rawHeader(object, "Content-ID").empty() && !body_.isEmpty())
            return true;
        return saved(QByteArray::fromStdString(content), object, missing);
    }

private:
    QString body_;
    QList<QByteArray> files_;

    bool saved(const QByteArray& content, GMimeObject* object, std::string& missing)
    {
        if (files_.contains(content))
            return true;
        missing += MimeParts::typeOf(object) + ' ';
        return false;
    }
};

// No part of any message in the corpora is neither in the body nor among the saved files.
TEST(EverydayMailTest, NoPartIsLeftOut)
{
    int checked = 0;
    for (const QString& folderName : {MailCorpus, Everyday}) {
        const QJsonObject all = expectations(folderName);
        for (auto entry = all.begin(); entry != all.end(); ++entry) {
            if (!entry.key().endsWith(u".eml"_s) || entry.key().startsWith(u"nested_400"_s))
                continue;
            SCOPED_TRACE(entry.key().toStdString());
            const std::string raw = readMessageFile(folderName + u'/' + entry.key());
            QTemporaryDir folder;
            const Received received = receive(raw, folder.path());
            const GObjectPtr<GMimeMessage> message = GMimeHandles::parseMessage(raw);
            GMimeObject* root = message ? g_mime_message_get_mime_part(message.get()) : nullptr;
            if (!root || !GMIME_IS_MULTIPART(root))
                continue;
            std::string missing;
            EXPECT_TRUE(PartAccount(received.decoded.body, folder.path()).accounted(root, missing)) << "left out: " << missing;
            ++checked;
        }
    }
    EXPECT_GE(checked, 12);
}

struct GuessCase {
    const char* what;
    QByteArray bytes;
    CharsetGuess::Charset charset;
};

class CharsetGuessTest : public testing::TestWithParam<GuessCase> { };

TEST_P(CharsetGuessTest, ReadsUnlabelledTextAsItsWriterWroteIt)
{
    SCOPED_TRACE(GetParam().what);
    const CharsetGuess::Scores scores = CharsetGuess::scores(GetParam().bytes.toStdString());
    EXPECT_EQ(CharsetGuess::guess(GetParam().bytes.toStdString()), GetParam().charset)
        << "code page 932 " << scores.cp932 << ", EUC-JP " << scores.eucJp << ", Windows-1252 " << scores.windows1252;
}

INSTANTIATE_TEST_SUITE_P(Texts, CharsetGuessTest,
    testing::Values(GuessCase {"EUC-JP subject", QByteArray("\xa3\xc5\xa3\xd5\xa3\xc3\xa4\xce\xb7\xef\xcc\xbe"), CharsetGuess::Charset::EucJp},
        GuessCase {"EUC-JP sentence", QByteArray("\xc6\xfc\xcb\xdc\xb8\xec\xa4\xce\xa5\xe1\xa1\xbc\xa5\xeb\xa4\xc7\xa4\xb9"),
            CharsetGuess::Charset::EucJp},
        GuessCase {"code page 932 sentence", QByteArray("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x81\x81\x5b\x83\x8b\x82\xc5\x82\xb7"),
            CharsetGuess::Charset::Cp932},
        GuessCase {"code page 932 between ASCII words", QByteArray("Windows\x94\xc5\x82\xcc soft"), CharsetGuess::Charset::Cp932},
        GuessCase {"half-width katakana in code page 932", QByteArray("\xb6\xc0\xb6\xc5\x82\xcc\x90\xe0\x96\xbe"),
            CharsetGuess::Charset::Cp932},
        GuessCase {"a Western quote between letters", QByteArray("the world\x92s best"), CharsetGuess::Charset::Windows1252},
        GuessCase {"an accented letter", QByteArray("caf\xe9 au lait"), CharsetGuess::Charset::Windows1252},
        GuessCase {"two Western letters together", QByteArray("die Gr\xf6\xdf" "e des Hauses"), CharsetGuess::Charset::Windows1252},
        GuessCase {"high bytes alone", QByteArray("\xff\xff"), CharsetGuess::Charset::Cp932}));

} // namespace
