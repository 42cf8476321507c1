#include "QtTestSuites.h"
#include "BoxKeyAnswerer.h"
#include "DemoProgramFolder.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "QtMessageBoxService.h"
#include "TabStrip.h"
#include "TestMailServers.h"
#include "TestProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The demo's mailbox, its rules and keywords, received through the test servers as the demo does
// it: the servers' CA trusted only through SSL_CERT_FILE, as the demo script starts the program.
class DemoMailboxTest : public QObject {
    Q_OBJECT

private:
    const TestMailServers& servers = TestMailServers::shared();
    QTemporaryDir seed;
    QMap<int, QStringList> expectedFolders;
    QStringList expectedAttachments;
    int expectedNotices = 0;

    void startOver(TestProgramFolder& folder, const TestMailbox& box) const
    {
        const auto rules = DemoProgramFolder::readRules(seed.filePath(QStringLiteral("rules.tsv")));
        const auto keywords = DemoProgramFolder::readKeywords(seed.filePath(QStringLiteral("keywords.txt")));
        QVERIFY(rules.ok() && keywords.ok());
        QCOMPARE(rules.value().size(), 10);
        const DemoProgramFolder::Account account{
            servers.pop3sServer(), servers.smtpServer(), box.address(), box.user(), box.password()};
        const StoreStatus laidOut = DemoProgramFolder(folder.paths()).layOut(account, rules.value(), keywords.value());
        QVERIFY2(laidOut.ok(), qPrintable(laidOut.error()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(servers.ok(), qPrintable(servers.problem()));
        QProcess generate;
        generate.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(NEMUROA_DEMO_SEED_SCRIPT), seed.path()});
        QVERIFY(generate.waitForFinished(300000));
        QCOMPARE(generate.exitCode(), 0);
        QFile expected(seed.filePath(QStringLiteral("expected.tsv")));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        while (!expected.atEnd()) {
            const QStringList line = QString::fromUtf8(expected.readLine()).chopped(1).split(u'\t');
            if (line.first().startsWith(QStringLiteral("folder ")))
                expectedFolders[line.first().mid(7).toInt()] << line.at(1);
            else if (line.first() == u"attachment")
                expectedAttachments << line.at(1);
            else if (line.first() == u"notice")
                ++expectedNotices;
        }
        QVERIFY(expectedFolders.size() >= 8);

        // The system's CAs and the servers' own, as the demo script hands them to the program.
        const QString trust = seed.filePath(QStringLiteral("trust.pem"));
        QFile bundle(trust);
        QVERIFY(bundle.open(QIODevice::WriteOnly));
        bundle.write(contents(QStringLiteral("/etc/ssl/certs/ca-certificates.crt")) + contents(servers.caFile()));
        bundle.close();
        qputenv("SSL_CERT_FILE", QFile::encodeName(trust));
    }

    // Once with the boxes faked, and once as a person runs the demo: a click on the tab's own
    // window, and every box that comes up answered by Return sent to the box's window.
    void theDemoMailboxIsReceivedSortedAndItsSpamDropped_data()
    {
        QTest::addColumn<bool>("byKeys");
        QTest::newRow("fake boxes") << false;
        QTest::newRow("real boxes answered by keys") << true;
    }
    void theDemoMailboxIsReceivedSortedAndItsSpamDropped()
    {
        QFETCH(bool, byKeys);
        TestProgramFolder folder;
        const TestMailbox box = servers.createMailbox(byKeys ? QStringLiteral("demo_keys") : QStringLiteral("demo_seed"));
        startOver(folder, box);
        QStringList messages = QDir(seed.filePath(QStringLiteral("messages"))).entryList(QDir::Files, QDir::Name);
        QVERIFY(messages.size() >= 36);
        for (const QString& name : messages)
            QVERIFY(box.deposit(contents(seed.filePath(QStringLiteral("messages/") + name)).toStdString()));
        NMail library;
        QtMessageBoxService realBoxes;
        MainFormHarness harness = byKeys ? MainFormHarness(folder, library, realBoxes) : MainFormHarness(folder, library);
        QVERIFY(harness.start());
        realBoxes.setParentWindow(&harness.form());
        BoxKeyAnswerer answerer;

        if (byKeys) {
            // Keys only: from the first tab two to the right, past nothing that opens, and Return.
            TabStrip& strip = harness.form().tabStrip();
            strip.setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(strip.hasFocus());
            QTest::keyClick(harness.form().windowHandle(), Qt::Key_Right);
            QTest::keyClick(harness.form().windowHandle(), Qt::Key_Right);
            QCOMPARE(strip.focusedIndex(), 3);
            QTest::keyClick(harness.form().windowHandle(), Qt::Key_Return);
            QTRY_COMPARE_WITH_TIMEOUT(box.count(), 0, 120000);
            QTRY_VERIFY(!harness.form().isOperationInProgress());
        } else {
            harness.clickTab(3);
        }

        for (int number = 1; number <= 10; ++number) {
            QStringList stored = folder.storedSubjects(number);
            QStringList expected = expectedFolders.value(number);
            std::sort(stored.begin(), stored.end());
            std::sort(expected.begin(), expected.end());
            QCOMPARE(stored, expected);
            QCOMPARE(harness.form().newCounter(number).toInt(), expected.size());
        }
        for (const QString& name : expectedAttachments)
            QVERIFY2(folder.exists(QStringLiteral("添付フォルダ/") + name), qPrintable(name));
        QStringList notices;
        for (const auto& request : harness.messageBoxes.requests)
            notices << request.text;
        for (const BoxKeyAnswerer::Box& shown : answerer.seen)
            notices << shown.text;
        QCOMPARE(answerer.ignored, QStringList());
        QCOMPARE(notices.size(), expectedNotices);
        for (const QString& notice : notices)
            QVERIFY(notice.startsWith(QStringLiteral("分割されたメールが全て揃っていません")));
        QCOMPARE(box.count(), 0);
    }

    void mailSentToTheDemoAddressComesBackToItsOwnFolder()
    {
        TestProgramFolder folder;
        const TestMailbox box = servers.createMailbox(QStringLiteral("demo"));
        startOver(folder, box);
        NMail library;
        MainFormHarness harness(folder, library);
        QVERIFY(harness.start());
        QCOMPARE(harness.form().sortingAddress(9), box.address());

        // STARTTLS to the sink, trusted through SSL_CERT_FILE alone.
        const int sent = library.NMailSmtpSendMail(servers.smtpServer(), box.address(), nullptr, nullptr, box.address(),
            QStringLiteral("自分宛のテスト"), QStringLiteral("届きましたか？"), nullptr, QString(), 0);
        QString error;
        (void)library.NMailGetMessage(0, error, 8192);
        QVERIFY2(sent >= 0, qPrintable(error));
        QTRY_COMPARE(box.count(), 1);

        harness.clickTab(3);

        QCOMPARE(folder.storedSubjects(9), QStringList{QStringLiteral("自分宛のテスト")});
        QCOMPARE(box.count(), 0);
    }
};

NEMUROA_QTEST_SUITE(DemoMailboxTest)
#include "DemoMailboxTest.moc"
