#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace Names = WidgetNames;

namespace {

// Nine rule names of 13 to 16 full-width characters, as a new user might name the folders.
QList<SortRule> companyRuleNames()
{
    const QStringList names{
        QStringLiteral("株式会社ヤフーオークション事務局"),
        QStringLiteral("ベクター株式会社ソフト販売部門"),
        QStringLiteral("アスキー出版編集部第二課担当"),
        QStringLiteral("東京営業所総務部経理課長代理"),
        QStringLiteral("大阪支店システム開発部門担当"),
        QStringLiteral("名古屋営業所第一営業部長代理"),
        QStringLiteral("福岡支社お客様サポート窓口"),
        QStringLiteral("札幌出張所技術部品質管理課"),
        QStringLiteral("横浜研究所応用化学研究室長"),
    };
    QList<SortRule> rules;
    for (int n = 0; n < names.size(); ++n) {
        SortRule rule;
        rule.Name = names.at(n);
        rule.RuleAddress = QStringLiteral("rule%1@example.jp").arg(n + 1);
        rules.append(rule);
    }
    return rules;
}

constexpr int SharedBorder = 2;

QString describe(const QWidget* widget) { return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : widget->objectName(); }

// Why the widget's text does not fit its rectangle, or empty when it does.
QString textOverflow(const QWidget* widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    auto tooWide = [&](const QString& text, int room) {
        return metrics.horizontalAdvance(text) > room
            ? QStringLiteral("%1: \"%2\" needs %3 px, has %4").arg(describe(widget), text).arg(metrics.horizontalAdvance(text)).arg(room)
            : QString();
    };
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty())
            return {};
        const QRect room = label->contentsRect();
        if (label->wordWrap())
            return label->heightForWidth(room.width()) > room.height()
                ? QStringLiteral("%1: wrapped text needs %2 px of height, has %3").arg(describe(widget)).arg(label->heightForWidth(room.width())).arg(room.height())
                : QString();
        if (metrics.tightBoundingRect(label->text()).height() > room.height())
            return QStringLiteral("%1: text too high").arg(describe(widget));
        return tooWide(label->text(), room.width());
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        if (button->text().isEmpty())
            return {};
        const int chrome = qobject_cast<const QPushButton*>(button) ? 8 : button->iconSize().width() + 8;
        return tooWide(button->text(), button->width() - chrome);
    }
    if (auto* box = qobject_cast<const QLineEdit*>(widget))
        return box->text().isEmpty() ? QString() : tooWide(box->text(), box->width() - 6);
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title().isEmpty() ? QString() : tooWide(group->title(), group->width() - 16);
    return {};
}

// Controls that lie on others by design, each wholly within the one below: the banner's texts, the
// picture's labels and the small animated picture, and the hint box when shown. The explanation box,
// when shown, covers the counters and the rule list.
bool coversByDesign(const QWidget* a, const QWidget* b)
{
    const QString upper = a->objectName();
    const QString lower = b->objectName();
    static const QList<QPair<QString, QString>> pairs{
        {Names::Label9, Names::Image1},
        {Names::Label13, Names::Image1},
        {Names::Image3, Names::Image2},
        {Names::Label15, Names::Image2},
        {Names::Label17, Names::Image2},
        {Names::Text45, Names::txtMemo},
    };
    if (upper == Names::Text18 || lower == Names::Text18) {
        const QString other = upper == Names::Text18 ? lower : upper;
        return other == Names::List2 || other.startsWith(Names::Text19) || other.startsWith(Names::Text21);
    }
    if (pairs.contains({upper, lower}))
        return b->geometry().contains(a->geometry());
    if (pairs.contains({lower, upper}))
        return a->geometry().contains(b->geometry());
    return false;
}

// Relative luminance and contrast as the web's accessibility guidelines define them.
double luminance(QColor colour)
{
    auto channel = [](double value) { return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(QColor a, QColor b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(MainForm::programFont()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void theMainScreenIsDrawnWholeAtTheStartUpSize_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("Japanese") << QLocale(QLocale::Japanese, QLocale::Japan);
        QTest::newRow("C") << QLocale::c();
    }
    void theMainScreenIsDrawnWholeAtTheStartUpSize()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        folder.putSortRules(companyRuleNames());
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QVERIFY(QTest::qWaitForWindowExposed(&harness.form()));
        QWidget* screen = harness.find<QWidget>(Names::Frame5);

        QStringList problems;
        const QList<QWidget*> controls = screen->findChildren<QWidget*>();
        for (const QWidget* control : controls) {
            if (!control->isVisibleTo(screen) || control->objectName().startsWith(u"qt_"))
                continue;
            const QString overflow = textOverflow(control);
            if (!overflow.isEmpty())
                problems.append(overflow);
        }
        // Siblings of the screen and of its groups and pictures.
        for (const QWidget* parent : QList<const QWidget*>{screen} + screen->findChildren<const QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QList<QWidget*> siblings = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (qsizetype i = 0; i < siblings.size(); ++i) {
                for (qsizetype j = i + 1; j < siblings.size(); ++j) {
                    const QWidget* a = siblings.at(i);
                    const QWidget* b = siblings.at(j);
                    if (!a->isVisibleTo(screen) || !b->isVisibleTo(screen))
                        continue;
                    // Neighbours may share a border line, as the counter rows do.
                    const QRect common = a->geometry() & b->geometry();
                    if (std::min(common.width(), common.height()) <= SharedBorder)
                        continue;
                    if (!coversByDesign(a, b))
                        problems.append(QStringLiteral("%1 covers %2").arg(describe(b), describe(a)));
                }
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void theCalendarShowsAllSevenDaysOfEveryWeek()
    {
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        auto* calendar = harness.find<QCalendarWidget>(Names::MonthView1);
        auto* days = calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
        QVERIFY(days);
        QTRY_VERIFY(days->isVisible());
        const int width = days->viewport()->width();
        const QString widestDay = QStringLiteral("28");
        for (int column = 0; column < 7; ++column) {
            const int left = days->columnViewportPosition(column);
            QVERIFY2(left >= 0 && left + days->columnWidth(column) <= width, qPrintable(QStringLiteral("column %1").arg(column)));
            QVERIFY(days->columnWidth(column) >= days->fontMetrics().horizontalAdvance(widestDay));
        }
        // The row of day names and six weeks.
        for (int row = 0; row < 7; ++row) {
            const int top = days->rowViewportPosition(row);
            QVERIFY2(top >= 0 && top + days->rowHeight(row) <= days->viewport()->height(), qPrintable(QStringLiteral("row %1").arg(row)));
        }
    }

    void everyTabStaysInItsBandAndAnswersItsClickWhateverTheCaptions()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        folder.putSortRules(companyRuleNames());
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        TabStrip& strip = harness.form().tabStrip();
        const int band = Twips::toPixels(1200);
        for (int index = 1; index <= strip.count(); ++index) {
            const QRect tab = strip.tabRect(index);
            QVERIFY2(tab.bottom() < band && tab.right() < strip.width(), qPrintable(strip.tabText(index)));
            for (int other = index + 1; other <= strip.count(); ++other)
                QVERIFY(!tab.intersects(strip.tabRect(other)));
            harness.clickTab(index);
            QCOMPARE(strip.selectedIndex(), index);
            // A caption cut short is whole in the tab's tool tip.
            if (strip.shownText(index) != strip.tabText(index).trimmed() && strip.shownText(index) != strip.tabText(index))
                QCOMPARE(strip.tabToolTip(index), strip.tabText(index).trimmed());
        }
        QCOMPARE(harness.form().CurrentFolder, 11);
        captionsAreCutOnlyWithoutRoomInTheirRow(strip);
    }

    void theVersionTextStandsOnDarkSky()
    {
        TestProgramFolder folder;
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const auto* banner = harness.find<QLabel>(Names::Image1);
        const auto* version = harness.find<QLabel>(Names::Label13);
        const QImage picture = banner->pixmap().toImage();
        const QColor text = version->palette().color(QPalette::WindowText);
        const QRect behind = version->geometry().translated(-banner->pos()).intersected(picture.rect());
        QVERIFY(!behind.isEmpty());
        double lowest = 21;
        for (int y = behind.top(); y <= behind.bottom(); ++y) {
            for (int x = behind.left(); x <= behind.right(); ++x)
                lowest = std::min(lowest, contrast(text, picture.pixelColor(x, y)));
        }
        QVERIFY2(lowest >= 4.5, qPrintable(QStringLiteral("%1 behind %2,%3 %4×%5 of %6×%7").arg(lowest).arg(behind.x()).arg(behind.y()).arg(behind.width()).arg(behind.height()).arg(picture.width()).arg(picture.height())));
    }

    // The compose screen's name list reads in either send mode, the bulk send's dark green included.
    void theNameListReadsInEitherSendMode()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(2);
        const auto* names = harness.find<QWidget>(Names::List5);
        for (const QString& mode : {Names::Option2, Names::Option1}) {
            QTest::mouseClick(harness.find<QRadioButton>(mode), Qt::LeftButton, {}, QPoint(5, 5));
            const QPalette palette = names->palette();
            QVERIFY2(contrast(palette.color(QPalette::Text), palette.color(QPalette::Base)) >= 4.5, qPrintable(mode));
        }
        QCOMPARE(names->palette().color(QPalette::Base), QColor(Qt::white));
    }

    void theFixedCaptionsAreWholeWhenTheSortingFoldersHaveShortNames()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        TabStrip& strip = harness.form().tabStrip();
        captionsAreCutOnlyWithoutRoomInTheirRow(strip);
        for (int index = 1; index <= 7; ++index)
            QCOMPARE(strip.shownText(index), strip.tabText(index).trimmed());
    }

private:
    static void captionsAreCutOnlyWithoutRoomInTheirRow(const TabStrip& strip)
    {
        const QFontMetrics metrics = strip.fontMetrics();
        for (int index = 1; index <= strip.count(); ++index) {
            const QString whole = strip.tabText(index).trimmed();
            if (strip.shownText(index) == whole || strip.shownText(index) == strip.tabText(index))
                continue;
            int rowEnd = 0;
            for (int other = 1; other <= strip.count(); ++other) {
                if (strip.tabRect(other).top() == strip.tabRect(index).top())
                    rowEnd = std::max(rowEnd, strip.tabRect(other).right() + 1);
            }
            const int missing = metrics.horizontalAdvance(whole) - metrics.horizontalAdvance(strip.shownText(index));
            QVERIFY2(strip.width() - rowEnd < missing, qPrintable(whole));
        }
    }
};

NEMUROA_QTEST_SUITE(MainWindowLayoutTest)
#include "MainWindowLayoutTest.moc"
