#include "Cp932LengthValidator.h"
#include "MainFormHarness.h"
#include "SpamKeywordScreen.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

class SpamKeywordWindowTest : public QObject {
    Q_OBJECT

private:
    // Key presses that carry any character (the test library's own only carry Latin-1).
    static void type(QWidget* widget, const QString& text)
    {
        for (const QChar character : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }

    // The main window with the spam tab opened.
    struct Screen {
        Screen()
        {
            folder.putServerSettings("POP3=pop.example\r\n");
            started = harness.start();
            harness.clickTab(5);
        }

        TestProgramFolder folder;
        MainFormHarness harness{folder};
        bool started = false;
        FakeMessageBoxService& messageBoxes = harness.messageBoxes;

        template <typename Widget>
        Widget* find(const QString& name) { return harness.findIn<Widget>(WidgetNames::Frame9, name); }
        QLineEdit* input() { return find<QLineEdit>(WidgetNames::Text43); }
        QLineEdit* count() { return find<QLineEdit>(WidgetNames::Text44); }
        QListView* list() { return find<QListView>(WidgetNames::List7); }
        void click(const QString& button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
        void add(const QString& keyword)
        {
            input()->setText(keyword);
            click(WidgetNames::Command36);
        }
        void select(int row) { list()->setCurrentIndex(list()->model()->index(row, 0)); }
        QStringList rows()
        {
            QStringList texts;
            for (int row = 0; row < list()->model()->rowCount(); ++row)
                texts.append(list()->model()->index(row, 0).data().toString());
            return texts;
        }
        QStringList trimmedRows()
        {
            QStringList texts = rows();
            for (QString& text : texts)
                text = text.trimmed();
            return texts;
        }
        QByteArray file() { return folder.contents(QStringLiteral("★MAilData/vbmdata50.data")); }
        QStringList shownTexts() { return messageBoxes.texts(); }
        QList<qint16> rowRecordMap() { return harness.form().RowRecordMap; }
    };

private slots:
    void theSpamTabListsTheFileAndRebuildsTheRowMap()
    {
        Screen s;
        QVERIFY(s.started);
        QCOMPARE(s.count()->text(), QStringLiteral("0"));
        QVERIFY(QFileInfo::exists(s.folder.dataFile(QStringLiteral("vbmdata50.data"))));
        QCOMPARE(s.rowRecordMap(), QList<qint16>{0});

        s.add(QStringLiteral(" 未承諾広告"));
        QCOMPARE(s.rows(), QStringList{QStringLiteral(" 未承諾広告") + QString(189, u' ')});
        QCOMPARE(s.count()->text(), QStringLiteral("1"));
        QCOMPARE(s.input()->text(), QString());
        QCOMPARE(s.rowRecordMap(), (QList<qint16>{1, 0}));
        QVERIFY(s.messageBoxes.requests.isEmpty());

        s.harness.clickTab(1);
        s.harness.clickTab(5);
        QCOMPARE(s.count()->text(), QStringLiteral("1"));
        QCOMPARE(s.rowRecordMap(), (QList<qint16>{1, 0}));
    }

    void anEmptyInputIsRefused()
    {
        Screen s;
        s.click(WidgetNames::Command36);
        QCOMPARE(s.shownTexts(), QStringList{QStringLiteral("キーワードが入力されていません。")});
        QCOMPARE(s.file().size(), 0);
    }

    void aBlankKeywordIsStoredWithANotice()
    {
        Screen s;
        s.add(QStringLiteral("  "));
        QCOMPARE(s.file().mid(4, 3), QByteArray("   "));
        QCOMPARE(s.count()->text(), QStringLiteral("1"));
        QCOMPARE(s.shownTexts(), QStringList{SpamKeywordScreen::blankIgnored()});
    }

    void aKeywordTheFileCannotHoldIsRefusedAndKeptInTheInput()
    {
        Screen s;
        s.add(QStringLiteral("10\u20ac OFF \U0001F600"));
        QCOMPARE(s.messageBoxes.requests.size(), 1);
        QVERIFY(s.shownTexts().first().contains(QStringLiteral("「\u20ac」「\U0001F600」")));
        QCOMPARE(s.file().size(), 0);
        QCOMPARE(s.input()->text(), QStringLiteral("10\u20ac OFF \U0001F600"));
    }

    void aKeywordOfQuestionMarksIsMarkedAsMatchingNothing()
    {
        Screen s;
        s.add(QStringLiteral("? ?"));
        s.add(QStringLiteral("10?OFF"));
        QCOMPARE(s.shownTexts(), QStringList{SpamKeywordScreen::questionMarksIgnored()});
        QCOMPARE(s.trimmedRows(), (QStringList{SpamKeywordScreen::ignoredMark() + QStringLiteral("? ?"), QStringLiteral("10?OFF")}));
    }

    void deletingTheMiddleRowOfThreeKeepsTheInput()
    {
        Screen s;
        for (const char* keyword : {"one", "two", "three"})
            s.add(QString::fromLatin1(keyword));
        s.input()->setText(QStringLiteral("typed"));
        s.select(1);
        s.click(WidgetNames::Command37);
        QCOMPARE(s.trimmedRows(), (QStringList{QStringLiteral("one"), QStringLiteral("three")}));
        QCOMPARE(s.count()->text(), QStringLiteral("2"));
        QCOMPARE(s.input()->text(), QStringLiteral("typed"));
        QCOMPARE(s.rowRecordMap(), (QList<qint16>{1, 2, 0}));
        const auto& question = s.messageBoxes.requests.last();
        QCOMPARE(question.text, QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"));
        QCOMPARE(question.title, QStringLiteral("確認"));
        QCOMPARE(question.buttons, MessageBoxService::Buttons::YesNo);
        QCOMPARE(question.icon, MessageBoxService::Icon::Question);
        QCOMPARE(question.defaultAnswer, MessageBoxService::Answer::No);
        QCOMPARE(s.file().size(), 2 * 204);
    }

    void answeringNoKeepsTheContentAndRefreshesTheList()
    {
        Screen s;
        for (const char* keyword : {"one", "two", "three"})
            s.add(QString::fromLatin1(keyword));
        const QByteArray before = s.file();
        s.select(1);
        s.harness.form().RowRecordMap = {9, 0};
        s.messageBoxes.answers = {MessageBoxService::Answer::No};
        s.click(WidgetNames::Command37);
        QCOMPARE(s.file(), before);
        QCOMPARE(s.rowRecordMap(), (QList<qint16>{1, 2, 3, 0}));
        QCOMPARE(s.count()->text(), QStringLiteral("3"));
        QVERIFY(!s.folder.exists(QStringLiteral("★MAilData/VBMDATA50.TMP")));
    }

    void deletingWithoutASelectionIsRefused()
    {
        Screen s;
        s.add(QStringLiteral("one"));
        s.click(WidgetNames::Command37);
        QCOMPARE(s.shownTexts(), QStringList{QStringLiteral("データが選択されていません。")});
        QCOMPARE(s.count()->text(), QStringLiteral("1"));
    }

    void theInputHoldsTwoHundredBytesAndAFullInputIsStoredAsTyped()
    {
        Screen s;
        const QString full(100, QChar(0x3042));
        s.input()->setText(full + QStringLiteral("x"));
        QCOMPARE(s.input()->text(), full);
        s.input()->setText(QStringLiteral("x") + full);
        QCOMPARE(s.input()->text(), QStringLiteral("x") + full.left(99)); // no half character

        s.input()->clear();
        type(s.input(), QString(99, QChar(0x3042)) + QStringLiteral("ab"));
        QCOMPARE(s.input()->text(), QString(99, QChar(0x3042)) + QStringLiteral("ab"));
        type(s.input(), QStringLiteral("c"));
        QCOMPARE(Cp932LengthValidator::byteLength(s.input()->text()), 200);

        s.input()->setText(full);
        s.click(WidgetNames::Command36);
        QCOMPARE(s.rows(), QStringList{full});
        QCOMPARE(s.file().size(), 204);
    }

    void pastingIntoTheMiddleKeepsWhatFitsAtTheCaret()
    {
        Screen s;
        s.input()->setText(QString(98, QChar(0x3042)));
        s.input()->setCursorPosition(1);
        s.input()->insert(QStringLiteral("ab全角"));
        QCOMPARE(s.input()->text(), QChar(0x3042) + QStringLiteral("ab全") + QString(97, QChar(0x3042)));
        QCOMPARE(s.input()->cursorPosition(), 4);
    }
};

QTEST_MAIN(SpamKeywordWindowTest)
#include "SpamKeywordWindowTest.moc"
