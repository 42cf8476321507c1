#include "MainFormHarness.h"
#include "MainScreen.h"
#include "SortRuleBook.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

namespace {

QList<SortRule> numberedRules(int count)
{
    QList<SortRule> rules;
    for (int n = 1; n <= count; ++n) {
        SortRule rule;
        rule.Name = QStringLiteral("rule %1").arg(n);
        rule.RuleAddress = QStringLiteral("r%1@example.jp").arg(n);
        rules.append(rule);
    }
    return rules;
}

QList<qint16> mapOfRows(int rows)
{
    QList<qint16> map;
    for (int n = 1; n <= rows; ++n)
        map.append(static_cast<qint16>(n));
    map.append(0);
    return map;
}

} // namespace

class RuleEditorWindowTest : public QObject {
    Q_OBJECT

private:
    struct Window {
        explicit Window(const TestProgramFolder& folder) : harness(folder) { started = harness.start(); }

        QListWidget* list() const { return harness.find<QListWidget>(Names::List2); }
        QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
        void pressRow(int row) const
        {
            QListWidget* names = list();
            const QPoint where = row < names->count() ? names->visualItemRect(names->item(row)).center() : QPoint(5, names->viewport()->height() - 5);
            QTest::mousePress(names->viewport(), Qt::LeftButton, Qt::NoModifier, where);
            QTest::mouseRelease(names->viewport(), Qt::LeftButton, Qt::NoModifier, where);
        }
        void click(const QString& button) const { QTest::mouseClick(harness.find<QPushButton>(button), Qt::LeftButton); }

        MainFormHarness harness;
        bool started = false;
    };

    static void prepare(TestProgramFolder& folder, int rules)
    {
        folder.putServerSettings("POP3=pop.example\r\n");
        folder.putSortRules(numberedRules(rules));
    }

private slots:
    void pressingTheTenthRowWarnsAndLoadsItAllTheSame()
    {
        TestProgramFolder folder;
        prepare(folder, 10);
        Window window(folder);
        QVERIFY(window.started);
        window.pressRow(2);
        QCOMPARE(window.box(Names::Text38)->text(), QStringLiteral("rule 3"));
        QVERIFY(window.harness.messageBoxes.requests.isEmpty());

        window.pressRow(9);
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{QStringLiteral("その他は変更出来ません。特にメールアドレスを入力してはいけません。")});
        QCOMPARE(window.box(Names::Text38)->text(), QStringLiteral("rule 10"));
        QCOMPARE(window.box(Names::Text16)->text(), QStringLiteral("r10@example.jp"));
    }

    void pressingAnEmptyListSaysNothingIsSelected()
    {
        TestProgramFolder folder;
        prepare(folder, 0);
        Window window(folder);
        QVERIFY(window.started);
        window.pressRow(0);
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{QStringLiteral("データが選択されていません")});
        QCOMPARE(window.harness.messageBoxes.requests.first().icon, MessageBoxService::Icon::Exclamation);
        window.click(Names::Command24);
        QCOMPARE(window.harness.messageBoxes.requests.size(), 2);
        QCOMPARE(folder.contents(QStringLiteral("★MAilData/vbmdata.data")).size(), 0);
    }

    void aChangedRuleShowsInTheListAtOnceAndOnItsTabAfterTheNextStart()
    {
        TestProgramFolder folder;
        prepare(folder, 10);
        {
            Window window(folder);
            QVERIFY(window.started);
            window.pressRow(2);
            window.box(Names::Text38)->setText(QStringLiteral("営業部"));
            window.box(Names::Text16)->setText(QStringLiteral("new3@example.jp"));
            window.harness.find<QPlainTextEdit>(Names::txtMemo)->setPlainText(QStringLiteral("a\nb"));
            window.harness.form().RowRecordMap = {7, 0};
            window.click(Names::Command24);

            const auto& question = window.harness.messageBoxes.requests.last();
            QCOMPARE(question.buttons, MessageBoxService::Buttons::YesNo);
            QCOMPARE(question.icon, MessageBoxService::Icon::Information);
            QCOMPARE(window.harness.endProcessCalls, 0);
            QCOMPARE(window.list()->item(2)->text(), QStringLiteral("営業部") + QString(44, u' '));
            QCOMPARE(window.harness.form().RowRecordMap, mapOfRows(10));
            QCOMPARE(window.box(Names::sortingAddressBox(3))->text(), QStringLiteral("r3@example.jp")); // until the next start
            QCOMPARE(window.harness.form().tabStrip().tabText(9), QStringLiteral("rule 3") + QString(10, u' '));
        }
        QCOMPARE(folder.contents(QStringLiteral("★MAilData/vbmdata.data")).mid(2 * 1306 + 302, 4), QByteArray("a//b"));
        Window restarted(folder);
        QVERIFY(restarted.started);
        QCOMPARE(restarted.harness.form().tabStrip().tabText(9), QStringLiteral("営業部") + QString(13, u' '));
        QCOMPARE(restarted.box(Names::sortingAddressBox(3))->text(), QStringLiteral("new3@example.jp"));
        restarted.pressRow(2);
        QCOMPARE(restarted.harness.find<QPlainTextEdit>(Names::txtMemo)->toPlainText(), QStringLiteral("a\nb"));
    }

    void changingRuleNineReachesItsSortingAddressAtOnce()
    {
        TestProgramFolder folder;
        prepare(folder, 10);
        Window window(folder);
        QVERIFY(window.started);
        window.pressRow(8);
        window.box(Names::Text16)->setText(QStringLiteral("nine@example.jp"));
        window.click(Names::Command24);
        QCOMPARE(window.box(Names::Text39)->text(), QStringLiteral("nine@example.jp"));
        QCOMPARE(window.harness.form().sortingAddresses()[8], QStringLiteral("nine@example.jp"));
    }

    void answeringNoEndsTheProgramAtOnce()
    {
        TestProgramFolder folder;
        prepare(folder, 10);
        Window window(folder);
        QVERIFY(window.started);
        window.pressRow(0);
        window.box(Names::Text38)->clear();
        window.harness.messageBoxes.answers = {MessageBoxService::Answer::Ok, MessageBoxService::Answer::No};
        window.click(Names::Command24);
        QCOMPARE(window.harness.messageBoxes.texts().first(), QStringLiteral("名称が入力されていません。"));
        QCOMPARE(window.harness.endProcessCalls, 1);
        QCOMPARE(window.harness.mail.calls.count(QStringLiteral("NMailEndWinSock")), 0);
        QCOMPARE(SortRuleBook(folder.paths()).read(1).value()->Name, QString());
    }

    void aCharacterTheFileCannotHoldIsRefusedNamingTheField_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("label");
        QTest::newRow("change, name") << Names::Command24 << Names::Text38 << QStringLiteral("名称");
        QTest::newRow("change, department") << Names::Command24 << Names::Text57At(3) << QStringLiteral("所属");
        QTest::newRow("register, address") << Names::Command25 << Names::Text16 << QStringLiteral("メールアドレス");
    }
    void aCharacterTheFileCannotHoldIsRefusedNamingTheField()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, label);
        TestProgramFolder folder;
        prepare(folder, 9);
        Window window(folder);
        QVERIFY(window.started);
        const QByteArray before = folder.contents(QStringLiteral("★MAilData/vbmdata.data"));
        window.pressRow(0);
        window.box(field)->setText(QStringLiteral("caf\u00e9 \U0001F600"));
        window.click(button);
        QCOMPARE(window.harness.messageBoxes.requests.size(), 1);
        const QString notice = window.harness.messageBoxes.texts().first();
        QVERIFY2(notice.startsWith(label) && notice.contains(QStringLiteral("「\u00e9」「\U0001F600」")), qPrintable(notice));
        QCOMPARE(folder.contents(QStringLiteral("★MAilData/vbmdata.data")), before);
        QCOMPARE(window.box(field)->text(), QStringLiteral("caf\u00e9 \U0001F600"));
    }

    void clearEmptiesTheEditorAndTouchesNoFile()
    {
        TestProgramFolder folder;
        prepare(folder, 10);
        Window window(folder);
        QVERIFY(window.started);
        const QByteArray before = folder.contents(QStringLiteral("★MAilData/vbmdata.data"));
        window.pressRow(4);
        window.harness.find<QPlainTextEdit>(Names::txtMemo)->setPlainText(QStringLiteral("memo"));
        window.box(Names::Text57At(5))->setText(QStringLiteral("100-0001"));
        window.click(Names::Command26);
        QStringList texts;
        for (const QString& name : {Names::Text38, Names::Text57At(1), Names::Text57At(5), Names::Text57At(9), Names::Text16})
            texts.append(window.box(name)->text());
        QCOMPARE(texts, QStringList(5));
        QCOMPARE(window.harness.find<QPlainTextEdit>(Names::txtMemo)->toPlainText(), QString());
        QCOMPARE(folder.contents(QStringLiteral("★MAilData/vbmdata.data")), before);
    }

    void registerAppendsUpToTheTenthRuleBesideTheEditor()
    {
        TestProgramFolder folder;
        prepare(folder, 9);
        Window window(folder);
        QVERIFY(window.started);
        auto* append = window.harness.find<QPushButton>(Names::Command25);
        QVERIFY(append && append->isVisible());
        QCOMPARE(append->text(), QStringLiteral("登録"));
        QVERIFY(append->mapTo(&window.harness.form(), QPoint(0, 0)).x()
            >= window.harness.find<QWidget>(Names::Frame4_0)->mapTo(&window.harness.form(), QPoint(window.harness.find<QWidget>(Names::Frame4_0)->width(), 0)).x());

        window.box(Names::Text38)->setText(QStringLiteral("その他"));
        window.click(Names::Command25);
        QCOMPARE(SortRuleBook(folder.paths()).read(10).value()->Name, QStringLiteral("その他"));
        QCOMPARE(window.list()->count(), 9); // shown from the next start
        QVERIFY(window.harness.messageBoxes.requests.isEmpty());

        const QByteArray full = folder.contents(QStringLiteral("★MAilData/vbmdata.data"));
        window.click(Names::Command25);
        QCOMPARE(folder.contents(QStringLiteral("★MAilData/vbmdata.data")), full);
        QCOMPARE(window.harness.messageBoxes.texts(), QStringList{QStringLiteral("担当者データは最大10件です。これ以上登録できません。")});
    }
};

QTEST_MAIN(RuleEditorWindowTest)
#include "RuleEditorWindowTest.moc"
