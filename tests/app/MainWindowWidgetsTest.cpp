#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "TestProgramFolder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QAction>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

class MainWindowWidgetsTest : public QObject {
    Q_OBJECT

private:
    static void addRow(const QString& name, const char* type, QRect twips = {})
    {
        QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(type) << twips;
    }

private slots:
    void everyNamedControlExistsWithItsTypeAndPlace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        // Left, top, width, height in twips inside the parent; empty when not fixed.
        QTest::addColumn<QRect>("twips");
        addRow(Names::TabStrip1, "TabStrip");
        for (const QString& frame : {Names::Frame1_0, Names::Frame2, Names::Frame3, Names::Frame8, Names::Frame6, Names::Frame9})
            addRow(frame, "QFrame");
        addRow(Names::Frame5, "MainScreen", {0, 1200, 11200, 7400});
        addRow(Names::Frame4_0, "QGroupBox", {120, 120, 3255, 7095});
        addRow(Names::Text38, "QLineEdit");
        for (int i = 1; i <= 9; ++i)
            addRow(Names::Text57At(i), "QLineEdit");
        addRow(Names::Text16, "QLineEdit");
        addRow(Names::txtMemo, "QPlainTextEdit", {6240, 5040, 4095, 2145});
        addRow(Names::Frame1_1, "QGroupBox", {3480, 120, 2385, 1065});
        addRow(Names::Command24, "QPushButton", {120, 240, 1095, 375});
        addRow(Names::Command26, "QPushButton", {1210, 240, 1095, 375});
        addRow(Names::Command20, "QPushButton", {120, 600, 1095, 375});
        addRow(Names::Command19, "QPushButton", {1200, 600, 1095, 375});
        addRow(Names::Image1, "QLabel", {6450, 180, 4305, 990});
        addRow(Names::Label9, "QLabel", {6840, 360, 2535, 735});
        addRow(Names::Label13, "QLabel", {9600, 720, 1155, 255});
        addRow(Names::Picture3, "QFrame", {6360, 1200, 4455, 375});
        addRow(Names::Label11, "QLabel", {45, 75, 1800, 240});
        addRow(Names::Label10, "QLabel");
        for (int i = 0; i < 12; ++i) {
            addRow(Names::Text19At(i), "QLineEdit", QRect(6360, 1560 + 240 * i, 375, 270));
            addRow(Names::Text21At(i), "QLineEdit", QRect(6720, 1560 + 240 * i, 375, 270));
        }
        addRow(Names::List2, "QListWidget", {7080, 1560, 3735, 2940});
        addRow(Names::Text18, "QPlainTextEdit", {6360, 1560, 4455, 3015});
        addRow(Names::Image2, "QLabel", {3480, 1440, 2310, 1650});
        addRow(Names::Image3, "QLabel", {4845, 2380, 750, 150});
        addRow(Names::Label15, "QLabel", {3840, 2040, 855, 255});
        addRow(Names::Label17, "QLabel", {3600, 2685, 2055, 255});
        addRow(Names::Picture7, "QFrame", {3480, 3120, 2655, 1035});
        addRow(Names::Label14, "QLabel");
        addRow(Names::Text27, "QLineEdit", {3600, 4215, 2055, 270});
        addRow(Names::Frame7, "QGroupBox", {3480, 4560, 2655, 2655});
        addRow(Names::MonthView1, "QCalendarWidget");
        addRow(Names::Picture18, "QFrame", {6240, 4680, 4095, 375});
        addRow(Names::Label16, "QLabel");
        addRow(Names::Text45, "QPlainTextEdit", {6600, 5400, 3255, 1575});
        addRow(Names::Command22, "QPushButton", {10440, 4680, 615, 615});
        addRow(Names::Command21, "QPushButton", {10440, 5600, 615, 615});
        addRow(Names::Command2, "QPushButton", {10440, 6480, 615, 615});
        for (int rule = 1; rule <= 9; ++rule)
            addRow(Names::sortingAddressBox(rule), "QLineEdit");
        // The received-mail screen's toolbar strip: the editor toolbar, search and header copy.
        addRow(Names::tbToolBar, "QToolBar");
        addRow(Names::Label2_1, "QLabel");
        addRow(Names::Text2, "QLineEdit");
        addRow(Names::Command35, "QPushButton");
        addRow(Names::Text49, "QLineEdit");
        // Address book, compose and reply screens.
        for (const QString& box : {Names::Text11, Names::Text6, Names::Text10, Names::Text50, Names::ToText, Names::SubjectText,
                 Names::AttachText, Names::Text12, Names::Text41, Names::Text40, Names::Text26})
            addRow(box, "QLineEdit");
        for (const QString& list : {Names::List3, Names::List4, Names::List5, Names::List6})
            addRow(list, "QListWidget");
        for (const QString& text : {Names::BodyText, Names::Text42})
            addRow(text, "QPlainTextEdit");
        for (const QString& button : {Names::Command8, Names::Command10, Names::Command15, Names::Command38, Names::AttachCommand,
                 Names::Command9, Names::Command12, Names::Command13, Names::Command14, Names::Command16, Names::Command17,
                 Names::Command18, Names::Command30, Names::Command31, Names::Command32, Names::Command33, Names::Command34})
            addRow(button, "QPushButton");
        addRow(Names::Combo1, "QComboBox");
        addRow(Names::Option1, "QRadioButton");
        addRow(Names::Option2, "QRadioButton");
        addRow(Names::Check2, "QCheckBox");
        for (const QString& menu : {Names::mFile, Names::medit, Names::mhp})
            addRow(menu, "QMenu");
        for (const QString& item : {Names::mnew, Names::mopen, Names::msave, Names::mprint, Names::mend, Names::mall, Names::matamajump,
                 Names::mbunmatujump, Names::mkensaku, Names::mcut, Names::mcopy, Names::mpaste, Names::mhp2})
            addRow(item, "QAction");
    }
    void everyNamedControlExistsWithItsTypeAndPlace()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QRect, twips);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const QList<QObject*> found = harness.form().findChildren<QObject*>(name);
        QCOMPARE(found.size(), 1);
        QVERIFY2(found[0]->inherits(type.toLatin1().constData()), found[0]->metaObject()->className());
        if (!twips.isEmpty()) {
            auto* widget = qobject_cast<QWidget*>(found[0]);
            const QRect pixels = Twips::rect(twips.x(), twips.y(), twips.width(), twips.height());
            QCOMPARE(widget->geometry(), pixels);
        }
    }

    void theMenusCarryTheirItemsInOrder()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto captions = [&](const QString& menu) {
            QStringList result;
            for (QAction* action : harness.find<QMenu>(menu)->actions())
                result.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            return result;
        };
        QCOMPARE(harness.find<QMenu>(Names::mFile)->title(), QStringLiteral("ファイル(&F)"));
        QCOMPARE(captions(Names::mFile), QStringList({QStringLiteral("新規作成"), QStringLiteral("開く"), QStringLiteral("名前を付けて保存"),
                                             QStringLiteral("印刷"), QStringLiteral("-"), QStringLiteral("他のメールソフトから取り込む..."),
                                             QStringLiteral("mbox に書き出す..."), QStringLiteral("一通を .eml で保存..."), QStringLiteral("-"),
                                             QStringLiteral("終了")}));
        QCOMPARE(harness.find<QMenu>(Names::medit)->title(), QStringLiteral("編集(&E)"));
        QCOMPARE(captions(Names::medit), QStringList({QStringLiteral("全て選択"), QStringLiteral("文頭へジャンプ"), QStringLiteral("文末へジャンプ"),
                                             QStringLiteral("-"), QStringLiteral("検索"), QStringLiteral("全メール検索(&F)..."), QStringLiteral("-"), QStringLiteral("切り取り"),
                                             QStringLiteral("コピー"), QStringLiteral("貼付け")}));
        QCOMPARE(harness.find<QMenu>(Names::mhp)->title(), QStringLiteral("HomePage"));
        QCOMPARE(captions(Names::mhp), QStringList{QStringLiteral("作者ホームページ")});
    }

    void theCountersAndBoxesHaveTheirColoursAndAreReadOnly()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* past = harness.find<QLineEdit>(Names::Text19At(0));
        auto* fresh = harness.find<QLineEdit>(Names::Text21At(0));
        auto* clock = harness.find<QLineEdit>(Names::Text27);
        QVERIFY(past->isReadOnly() && fresh->isReadOnly() && clock->isReadOnly());
        QCOMPARE(past->palette().color(QPalette::Text), QColor(Qt::yellow));
        QCOMPARE(past->palette().color(QPalette::Base), QColor(Qt::black));
        QCOMPARE(fresh->palette().color(QPalette::Text), QColor(Qt::white));
        QCOMPARE(clock->palette().color(QPalette::Base), QColor(0, 0, 0xc0));
        QCOMPARE(harness.find<QPlainTextEdit>(Names::Text18)->palette().color(QPalette::Base), QColor(0xc0, 0xff, 0xc0));
        QCOMPARE(harness.find<QLabel>(Names::Label9)->text(), QStringLiteral("Nemuroa"));
        QCOMPARE(harness.find<QLabel>(Names::Label13)->text(), QStringLiteral("Ver  1.05"));
        QCOMPARE(harness.find<QLabel>(Names::Label10)->text(), QStringLiteral("登録件数 Max 10"));
        QCOMPARE(harness.find<QGroupBox>(Names::Frame4_0)->title(), QStringLiteral("   担当者データ"));
    }
};

NEMUROA_QTEST_SUITE(MainWindowWidgetsTest)
#include "MainWindowWidgetsTest.moc"
