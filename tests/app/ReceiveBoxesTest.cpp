#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "QtMessageBoxService.h"
#include "ScriptedServer.h"
#include "TestProgramFolder.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <map>
#include <memory>

namespace {

// A POP3 server without TLS whose greeting offers APOP.
ScriptedServer::Script apopWithoutTls(std::map<std::string, ScriptedServer::Answer> answers)
{
    return [pop3 = ScriptedServer::pop3(std::move(answers))](int connection, const std::string& line, bool opened) {
        return opened ? ScriptedServer::Answer("+OK ready <1896.697170952@example.jp>\r\n") : pop3(connection, line, opened);
    };
}

} // namespace

// What a person meets when a receive logs in, through the real main window, the real mail library
// on a scripted server, and the real message boxes answered by keys sent to their own windows.
class ReceiveBoxesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<NMail> library;
    QtMessageBoxService boxes;
    std::unique_ptr<MainFormHarness> harness;

    // The main window on pop3Server, logging in as taro with the password secret.
    void startOn(const QString& pop3Server, const QByteArray& moreSettings)
    {
        folder->putServerSettings("POP3=" + pop3Server.toUtf8() + "\r\n" + moreSettings);
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"), "[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n");
        harness = std::make_unique<MainFormHarness>(*folder, *library, boxes);
        QVERIFY(harness->start());
        boxes.setParentWindow(&harness->form());
    }

private slots:
    void init()
    {
        folder = std::make_unique<TestProgramFolder>();
        library = std::make_unique<NMail>();
    }
    void cleanup()
    {
        harness.reset();
        library.reset();
        folder.reset();
    }

    void anApopLoginWithoutTlsIsAskedAboutAndNoDigestGoesBeforeAYes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("agreed");
        QTest::newRow("Esc says no") << int(Qt::Key_Escape) << false;
        QTest::newRow("Return says yes") << int(Qt::Key_Return) << true;
    }
    void anApopLoginWithoutTlsIsAskedAboutAndNoDigestGoesBeforeAYes()
    {
        QFETCH(int, key);
        QFETCH(bool, agreed);
        const ScriptedServer server(apopWithoutTls({{"APOP", ScriptedServer::Answer("+OK\r\n")}}));
        startOn(server.address(), "APOP=1\r\n");
        BoxKeyAnswerer answerer({static_cast<Qt::Key>(key)});

        harness->clickTab(3);

        QCOMPARE(answerer.ignored, QStringList());
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("確認"));
        QVERIFY(answerer.seen[0].text.contains(server.address()));
        const QByteArray digest = QCryptographicHash::hash("<1896.697170952@example.jp>secret", QCryptographicHash::Md5).toHex();
        QCOMPARE(server.heardLineStartingWith("APOP taro " + digest.toStdString()), agreed);
        QCOMPARE(server.heardLineStartingWith("APOP"), agreed);
        QVERIFY(!server.heardLineStartingWith("USER") && !server.heardLineStartingWith("PASS"));
        QCOMPARE(folder->contents(QStringLiteral("vbmail.ini")).contains("PLAINPASS=" + server.address().toUtf8()), agreed);
    }

    void aServersErrorTextShowsInItsBoxAsTheCharactersItSent_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("a link") << QByteArray("<a href=\"https://example.jp/login\">ここで再設定</a>");
        QTest::newRow("a page") << QByteArray("<html><body><h1>Account locked</h1><img src=\"x.png\"></body></html>");
        QTest::newRow("markup and an entity") << QByteArray("<b>mailbox</b> &amp; <i>quota</i>");
    }
    void aServersErrorTextShowsInItsBoxAsTheCharactersItSent()
    {
        QFETCH(QByteArray, reply);
        const ScriptedServer server(ScriptedServer::pop3({{"PASS", ScriptedServer::Answer("-ERR " + reply.toStdString() + "\r\n")}}));
        startOn(server.address(), "PLAINPASS=" + server.address().toUtf8() + "\r\n");
        BoxKeyAnswerer answerer({Qt::Key_Return});
        Qt::TextFormat shownAs = Qt::AutoText;
        QString shownText;
        answerer.onShown = [&](QMessageBox& shown) {
            const auto* label = shown.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            shownAs = label->textFormat();
            shownText = label->text();
        };

        harness->clickTab(3);

        QCOMPARE(answerer.ignored, QStringList());
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(shownAs, Qt::PlainText);
        QVERIFY2(shownText.contains(QString::fromUtf8(reply)), qPrintable(shownText));
    }
};

NEMUROA_QTEST_SUITE(ReceiveBoxesTest)
#include "ReceiveBoxesTest.moc"
