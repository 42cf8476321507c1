#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "TestProgramFolder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

namespace {

// Tab 1 shows the main screen, 16 the received-mail screen ("着信 その他"), 4 the address book.
int tabOf(const QString& frame)
{
    if (frame == Names::Frame1_0)
        return 16;
    if (frame == Names::Frame2)
        return 4;
    return 1;
}

QString boxText(const QWidget* box)
{
    if (auto* lines = qobject_cast<const QPlainTextEdit*>(box))
        return lines->toPlainText();
    if (auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    return qobject_cast<const QLabel*>(box)->text();
}

// A point of the frame that no control covers.
QPoint backgroundOf(QWidget* frame)
{
    for (int y = 2; y < frame->height(); y += 4)
        for (int x = 2; x < frame->width(); x += 4)
            if (!frame->childAt(x, y))
                return {x, y};
    return {};
}

void pointAt(QWidget* widget, QPoint position = {})
{
    QTest::mouseMove(widget, position.isNull() ? widget->rect().center() : position);
}

template <typename Control>
Control* place(MainForm& form, const QString& frame, const QString& name, QRect twips, bool shown = true)
{
    auto* control = new Control(form.findChild<QWidget*>(frame));
    control->setObjectName(name);
    control->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    control->setVisible(shown);
    return control;
}

// The compose screen's hint box, which that screen does not build: a rule works as soon as its
// box exists.
void addComposeHintBox(MainForm& form)
{
    place<QLineEdit>(form, Names::Frame3, Names::Text14, {1920, 8235, 2295, 375}, false);
}

} // namespace

class HintLineTest : public QObject {
    Q_OBJECT

private slots:
    void aHintStaysOverItsControlAndGoesOverTheFrame_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("hint");
        QTest::newRow("exit") << Names::Frame5 << Names::Command2 << Names::Text45 << QStringLiteral("終了します。");
        QTest::newRow("viewer") << Names::Frame5 << Names::Command22 << Names::Text45
                                << QStringLiteral("「しずくテトラ」を鑑賞できます。起動するとネムロアは最小化されますので、使用する場合はタスクバーのネムロアをクリックして下さい。");
        QTest::newRow("clear") << Names::Frame5 << Names::Command26 << Names::Text45
                               << QStringLiteral("自動仕分けの設定を行う際、全ての項目を空白にします。");
        QTest::newRow("delete one") << Names::Frame1_0 << Names::Command3 << Names::Text5
                                    << QStringLiteral("選択したメールデータのみ削除します。確認メッセージ後の処理となりますので安心です。");
        QTest::newRow("quick save") << Names::Frame1_0 << Names::Command27 << Names::Text5
                                    << QStringLiteral("選択したデータをテキスト形式で本ソフト内の「TextQuickSave」フォルダ内に「Subject」「From」「Date」「Boby」で保存します。ファイル名は「Subject」が自動的に当てられます。同名のファイルが既に存在する場合は警告メッセージを出します。");
        QTest::newRow("copy, four paragraphs")
            << Names::Frame1_0 << Names::Command35 << Names::Text5
            << QStringLiteral("本文以外のコピーに使用します。「Subject」「From」「Date」に表示されるデータをコピーします（貼り付けはメニューバー、ツールバーで出来ます）。Body（本文）はメニューバー、ツールバーからコピー・貼り付けが出来ます。\n\n"
                              " 本文への貼り付け（あるいは本ソフトでの貼り付け機能がある部分）、他のアプリケーションへの貼り付けが可能です。\n\n"
                              "コピーされる内容は右の欄に反映されます。\n\n"
                              "「Subject」他にマウスを移動させると自動的に右の欄にコピーしたい内容が表示されます。");
        QTest::newRow("search label, array element") << Names::Frame1_0 << Names::Label2_1 << Names::Text5
                                                     << QStringLiteral("本文中から文字列を検索します。右欄に文字を入力し、メニューバーの「検索」で実行して下さい。");
        QTest::newRow("address book, register") << Names::Frame2 << Names::Command10 << Names::Text51
                                                << QStringLiteral("入力した内容でメールアドレスを登録します。");
        QTest::newRow("address book, delete") << Names::Frame2 << Names::Command15 << Names::Text51
                                              << QStringLiteral("不要になったメールアドレスの削除が行えます。");
        QTest::newRow("address book, card") << Names::Frame2 << Names::Command38 << Names::Text51
                                            << QStringLiteral("メールアドレスに「名刺」を挿入する形でアドレスを登録する事が出来ます。先にメールアドレスを入力し、「名刺」を入力した後「名刺挿入」をクリックして下さい。タグは自動的に挿入されます。");
        QTest::newRow("address book, paste") << Names::Frame2 << Names::Command8 << Names::Text51
                                             << QStringLiteral("メールアドレスの貼り付けが行えます。");
    }
    void aHintStaysOverItsControlAndGoesOverTheFrame()
    {
        QFETCH(QString, frame);
        QFETCH(QString, control);
        QFETCH(QString, box);
        QFETCH(QString, hint);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(tabOf(frame));
        auto* hintBox = harness.find<QWidget>(box);
        QVERIFY(!hintBox->isVisible());

        pointAt(harness.find<QWidget>(control));
        QTRY_VERIFY(hintBox->isVisible());
        QCOMPARE(boxText(hintBox), hint);
        // Moving on over the control keeps it; the frame's own background hides it.
        pointAt(harness.find<QWidget>(control), {3, 3});
        QVERIFY(hintBox->isVisible());
        QWidget* background = harness.find<QWidget>(frame);
        pointAt(background, backgroundOf(background));
        QTRY_VERIFY(!hintBox->isVisible());
        QCOMPARE(boxText(hintBox), hint);
    }

    void theMessageBodyHidesTheMailScreensHint()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(16);
        auto* hintBox = harness.find<QWidget>(Names::Text5);
        pointAt(harness.find<QWidget>(Names::Command29));
        QTRY_VERIFY(hintBox->isVisible());
        QWidget* body = harness.find<QWidget>(Names::rtfEd);
        pointAt(body, {body->width() / 2, 8});
        QTRY_VERIFY(!hintBox->isVisible());
    }

    // Out of the window straight from the button, never over the background: the window's leave
    // hides the hint that would stay over the body.
    void leavingTheWindowFromAControlHidesItsHint()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(16);
        auto* hintBox = harness.find<QWidget>(Names::Text5);
        pointAt(harness.find<QWidget>(Names::Command3));
        QTRY_VERIFY(hintBox->isVisible());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&harness.form(), &leave);
        QVERIFY(!hintBox->isVisible());
    }

    void theMainScreensNoteAndHeaderDriveTheComposeBoxOnceItExists()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        // Without the compose screen's box the rows do nothing.
        pointAt(harness.find<QWidget>(Names::Label14));
        QTest::qWait(0);
        addComposeHintBox(harness.form());
        auto* composeHints = harness.find<QLineEdit>(Names::Text14);
        pointAt(harness.find<QWidget>(Names::Label14), {4, 4});
        QTRY_COMPARE(composeHints->text(), QStringLiteral("送信を中止します。"));
        QVERIFY(!composeHints->isHidden());
        QWidget* header = harness.find<QWidget>(Names::Picture3);
        pointAt(header, backgroundOf(header));
        QTRY_VERIFY(composeHints->isHidden());
    }

    // The field the pointer moved over last, or the keyboard went to last, is the one copied.
    void theViewFieldsPointedAtOrTabbedToAreCopiedIntoTheCopyBox()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(16);
        auto* copyBox = harness.find<QLineEdit>(Names::Text49);
        for (const QString& field : {Names::Text7, Names::Text8, Names::Text9}) {
            auto* view = harness.find<QLineEdit>(field);
            view->setText(field + QStringLiteral(" の内容"));
            pointAt(view);
            QTRY_COMPARE(copyBox->text(), view->text());
        }
        auto* list = harness.find<QWidget>(Names::MailListView);
        list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(list->hasFocus());
        for (const QString& field : {Names::Text7, Names::Text8, Names::Text9}) {
            QTest::keyClick(harness.form().windowHandle(), Qt::Key_Tab);
            QCOMPARE(copyBox->text(), harness.find<QLineEdit>(field)->text());
        }
    }

    void theBannerClearsTheCountHeaderForGood()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* header = harness.find<QLabel>(Names::Label10);
        QCOMPARE(header->text(), QStringLiteral("登録件数 Max 10"));
        auto* banner = harness.find<QWidget>(Names::Image1);
        pointAt(banner, {4, banner->height() - 4});
        QTRY_COMPARE(header->text(), QString());
        // Nothing puts it back: other hints, the explanation, a trip to another screen.
        pointAt(harness.find<QWidget>(Names::Command24));
        QTest::mouseClick(harness.find<QPushButton>(Names::Command19), Qt::LeftButton);
        harness.clickTab(17);
        harness.clickTab(1);
        QCOMPARE(header->text(), QString());
    }
};

NEMUROA_QTEST_SUITE(HintLineTest)
#include "HintLineTest.moc"
