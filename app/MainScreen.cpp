#include "MainScreen.h"

#include "Pictures.h"
#include "ReadingOrder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

namespace {

namespace Names = WidgetNames;

const QColor LightGreen(0xc0, 0xff, 0xc0);
const QColor StatusGreen(0x00, 0x80, 0x40);
const QColor ListBackground(0x10, 0x1c, 0x14);
const QColor ListGreen(0x40, 0xff, 0x60);
const QColor ClockBlue(0x00, 0x00, 0xc0);
const QColor HeaderBackground(0x2b, 0x2f, 0x45);

// The rule editor's fields, in record order, with the labels they carry on the screen.
struct EditorLabel {
    const char16_t* caption;
    bool required;
};
constexpr std::array<EditorLabel, 11> EditorLabels{{
    {u"名          称", true},
    {u"氏        名", false},
    {u"フ リ ガ ナ", false},
    {u"所       属", false},
    {u"役 職 名", false},
    {u"〒", false},
    {u"住所（都・道・府・県）", false},
    {u"住所（市・区）", false},
    {u"住所（町）", false},
    {u"番地及びマンション名", false},
    {u"メールアドレス", true},
}};

template <typename Widget>
Widget* place(Widget* widget, const QString& name, double left, double top, double width, double height)
{
    widget->setObjectName(name);
    widget->setGeometry(Twips::rect(left, top, width, height));
    return widget;
}

void colour(QWidget* widget, const QColor& text, const QColor& background)
{
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, text);
    for (const auto role : {QPalette::Base, QPalette::Window})
        palette.setColor(role, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void whiteText(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
}

QFont bookFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Book Antiqua"), QStringLiteral("Palatino Linotype"), QStringLiteral("TeX Gyre Pagella"),
        QStringLiteral("Noto Serif CJK JP"), QStringLiteral("serif")});
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QLineEdit* readOnlyBox(QWidget* parent, const QColor& text, const QColor& background)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setTextMargins(0, 0, 0, 0);
    box->setFocusPolicy(Qt::ClickFocus);
    colour(box, text, background);
    return box;
}

QPushButton* pictureButton(QWidget* parent, const QIcon& icon)
{
    auto* button = new QPushButton(parent);
    button->setIcon(icon);
    button->setIconSize(Twips::size(480, 480));
    return button;
}

QPlainTextEdit* lightGreenBox(QWidget* parent)
{
    auto* box = new QPlainTextEdit(parent);
    colour(box, Qt::black, LightGreen);
    box->setTabChangesFocus(true);
    box->hide();
    return box;
}

} // namespace

MainScreen::MainScreen(QWidget* parent) : QFrame(parent)
{
    setObjectName(Names::Frame5);
    setGeometry(Twips::rect(0, 1200, 11200, 7400));
    setAutoFillBackground(true);
    buildRuleEditor();
    buildButtonGroup();
    buildBanner();
    buildCentre();
    buildCounters();
    buildMemoAndButtons();
    setReadingOrder();
}

void MainScreen::buildRuleEditor()
{
    auto* group = place(new QGroupBox(QStringLiteral("   担当者データ"), this), Names::Frame4_0, 120, 120, 3255, 7095);
    constexpr double FirstTop = 300;
    constexpr double Pitch = 590;
    constexpr double LabelHeight = 240;
    constexpr double BoxHeight = 300;
    for (std::size_t field = 0; field < EditorLabels.size(); ++field) {
        const double top = FirstTop + static_cast<double>(field) * Pitch;
        if (EditorLabels[field].required) {
            auto* mark = new QLabel(QStringLiteral("※"), group);
            mark->setGeometry(Twips::rect(120, top, 210, LabelHeight));
            mark->setStyleSheet(QStringLiteral("color: #c00000;"));
        }
        auto* label = new QLabel(QString::fromUtf16(EditorLabels[field].caption), group);
        label->setGeometry(Twips::rect(330, top, 2800, LabelHeight));

        const QString name = field == 0 ? Names::Text38
            : field == EditorLabels.size() - 1 ? Names::Text16
                                               : Names::Text57At(static_cast<int>(field));
        auto* box = place(new QLineEdit(group), name, 120, top + LabelHeight, 3015, BoxHeight);
        label->setBuddy(box);
        if (field == 0)
            ruleName_ = box;
        else if (field == EditorLabels.size() - 1)
            ruleAddress_ = box;
        else
            details_[field - 1] = box;
    }
    auto* note = new QLabel(QStringLiteral("※印は入力必至です。"), group);
    note->setGeometry(Twips::rect(120, FirstTop + EditorLabels.size() * Pitch + 30, 3015, LabelHeight));
}

void MainScreen::buildButtonGroup()
{
    auto* group = place(new QGroupBox(this), Names::Frame1_1, 3480, 120, 2385, 1065);
    change_ = place(new QPushButton(QStringLiteral("変更"), group), Names::Command24, 120, 240, 1095, 375);
    clear_ = place(new QPushButton(QStringLiteral("クリア"), group), Names::Command26, 1210, 240, 1095, 375);
    hideExplanation_ = place(new QPushButton(QStringLiteral("説明非表示"), group), Names::Command20, 120, 600, 1095, 375);
    showExplanation_ = place(new QPushButton(QStringLiteral("説明表示"), group), Names::Command19, 1200, 600, 1095, 375);
}

void MainScreen::buildBanner()
{
    banner_ = place(new QLabel(this), Names::Image1, 6450, 180, 4305, 990);

    auto* title = place(new QLabel(QStringLiteral("Nemuroa"), this), Names::Label9, 6840, 360, 2535, 735);
    title->setFont(bookFont(26.25, true));
    whiteText(title);

    // At its place on the banner, but ending at the banner's right edge, so that the white text never
    // runs onto the screen's background.
    auto* version = place(new QLabel(QStringLiteral("Ver  1.05"), this), Names::Label13, 9600, 720, 1155, 255);
    version->setFont(bookFont(11.25, true));
    whiteText(version);
    banner_->setPixmap(Pictures::banner(banner_->size(), version->geometry().translated(-banner_->pos())));
}

void MainScreen::buildCentre()
{
    auto* picture = place(new QLabel(this), Names::Image2, 3480, 1440, 2310, 1650);
    picture->setPixmap(Pictures::nightLetter(picture->size()));

    climber_ = place(new QLabel(this), Names::Image3, 4845, 2380, 750, 150);
    climber_->setPixmap(Pictures::climber(climber_->size()));

    auto* code = place(new QLabel(QStringLiteral("VOZ9001"), this), Names::Label15, 3840, 2040, 855, 255);
    code->setFont(bookFont(9, false));
    whiteText(code);

    status_ = place(new QLabel(this), Names::Label17, 3600, 2685, 2055, 255);
    colour(status_, Qt::white, StatusGreen);

    // The note panel is as wide as the calendar's frame and ends above the clock box, so that all of
    // the note shows in the program's fonts.
    auto* notePanel = place(new QFrame(this), Names::Picture7, 3480, 3120, 2655, 1035);
    notePanel->setFrameShape(QFrame::Panel);
    notePanel->setFrameShadow(QFrame::Sunken);
    auto* note = place(new QLabel(QStringLiteral("担当者データは必要と思われる項目のみ入力して下さい。自動仕分け機能を使用する場合は、名称・メールアドレスは不可欠です。"), notePanel),
        Names::Label14, 45, 30, 2565, 975);
    note->setWordWrap(true);
    QFont noteFont = note->font();
    noteFont.setPointSizeF(7.5);
    note->setFont(noteFont);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    clock_ = place(readOnlyBox(this, Qt::white, ClockBlue), Names::Text27, 3600, 4215, 2055, 270);
    clock_->setAccessibleName(QStringLiteral("現在の日時"));

    auto* calendarFrame = place(new QGroupBox(this), Names::Frame7, 3480, 4560, 2655, 2655);
    auto* calendar = place(new QCalendarWidget(calendarFrame), Names::MonthView1, 60, 60, 2535, 2535);
    calendar_ = calendar;
    calendar->setAccessibleName(QStringLiteral("カレンダー"));
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    QFont small = calendar->font();
    small.setPointSizeF(7.5);
    calendar->setFont(small);
    // A header's smallest section is as wide as the font's widest glyph, which in a CJK font is
    // wider than a seventh of the calendar: the day columns would run out of sight.
    if (auto* days = calendar->findChild<QTableView*>()) {
        days->horizontalHeader()->setMinimumSectionSize(1);
        days->verticalHeader()->setMinimumSectionSize(1);
    }
}

void MainScreen::buildCounters()
{
    auto* header = place(new QFrame(this), Names::Picture3, 6360, 1200, 4455, 375);
    colour(header, Qt::white, HeaderBackground);
    place(new QLabel(QStringLiteral("Past/New/Name"), header), Names::Label11, 45, 75, 1800, 240);
    countHeader_ = place(new QLabel(QStringLiteral("登録件数 Max 10"), header), Names::Label10, 1920, 75, 2400, 240);

    for (int row = 0; row < CounterRows; ++row) {
        const double top = 1560 + 240.0 * row;
        pastCounters_[row] = place(readOnlyBox(this, Qt::yellow, Qt::black), Names::Text19At(row), 6360, top, 375, 270);
        newCounters_[row] = place(readOnlyBox(this, Qt::white, Qt::black), Names::Text21At(row), 6720, top, 375, 270);
    }

    ruleList_ = place(new QListWidget(this), Names::List2, 7080, 1560, 3735, 2940);
    colour(ruleList_, ListGreen, ListBackground);
    ruleList_->setUniformItemSizes(true);
    ruleList_->setAccessibleName(QStringLiteral("仕分けの登録名"));
    ruleList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    explanation_ = place(lightGreenBox(this), Names::Text18, 6360, 1560, 4455, 3015);
    explanation_->setReadOnly(true);
    explanation_->setAccessibleName(QStringLiteral("説明"));
    explanation_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void MainScreen::buildMemoAndButtons()
{
    auto* heading = place(new QFrame(this), Names::Picture18, 6240, 4680, 4095, 375);
    colour(heading, Qt::white, HeaderBackground);
    auto* caption = place(new QLabel(QStringLiteral("備　　　　　　　　　考"), heading), Names::Label16, 0, 60, 4095, 255);
    caption->setAlignment(Qt::AlignCenter);

    memo_ = place(new QPlainTextEdit(this), Names::txtMemo, 6240, 5040, 4095, 2145);
    // The memo is saved into the rule file, where a tab character has no business: Tab leaves it.
    memo_->setTabChangesFocus(true);
    memo_->setAccessibleName(QStringLiteral("備考"));
    hint_ = place(lightGreenBox(this), Names::Text45, 6600, 5400, 3255, 1575);
    hint_->setReadOnly(true);
    // What the hint box says is each control's accessible description; Tab never stops on it.
    hint_->setFocusPolicy(Qt::NoFocus);
    hint_->setAccessibleName(QStringLiteral("ヒント"));

    // The picture buttons carry no caption: assistive tools read these names, and the hint as the
    // description.
    viewer_ = place(pictureButton(this, Pictures::viewerButton()), Names::Command22, 10440, 4680, 615, 615);
    viewer_->setAccessibleName(QStringLiteral("しずくテトラ"));
    minimise_ = place(pictureButton(this, Pictures::minimiseButton()), Names::Command21, 10440, 5600, 615, 615);
    minimise_->setAccessibleName(QStringLiteral("最小化"));
    exit_ = place(pictureButton(this, Pictures::exitButton()), Names::Command2, 10440, 6480, 615, 615);
    exit_->setAccessibleName(QStringLiteral("終了"));
}

void MainScreen::setReadingOrder()
{
    // The calendar's own buttons take no keyboard focus unless told: a month is also turned with
    // Page Up and Page Down in the day table, but a person looks for the buttons they can see.
    struct CalendarPart {
        const char* name;
        const char16_t* accessibleName;
    };
    constexpr std::array<CalendarPart, 5> Parts{{
        {"qt_calendar_prevmonth", u"前の月"},
        {"qt_calendar_monthbutton", u"月"},
        {"qt_calendar_yearbutton", u"年"},
        {"qt_calendar_nextmonth", u"次の月"},
        {"qt_calendar_calendarview", u"日付"},
    }};
    QList<QWidget*> calendarParts;
    for (const CalendarPart& part : Parts) {
        if (auto* control = calendar_->findChild<QWidget*>(QString::fromLatin1(part.name))) {
            if (qobject_cast<QToolButton*>(control))
                control->setFocusPolicy(Qt::TabFocus);
            control->setAccessibleName(QString::fromUtf16(part.accessibleName));
            calendarParts.append(control);
        }
    }
    // Column by column, as the screen reads: the rule editor, the buttons and calendar in the
    // middle, then the rule list, the explanation over it, the memo and the picture buttons.
    QList<QWidget*> order{ruleName_};
    order.append(QList<QWidget*>(details_.begin(), details_.end()));
    order.append({ruleAddress_, change_, clear_, hideExplanation_, showExplanation_});
    order.append(calendarParts);
    order.append({ruleList_, explanation_, memo_, viewer_, minimise_, exit_});
    ReadingOrder::set(*this, order);
}

SortRule MainScreen::editorContents() const
{
    SortRule rule;
    rule.Name = ruleName_->text();
    for (std::size_t i = 0; i < details_.size(); ++i)
        rule.Details[i] = details_[i]->text();
    rule.RuleAddress = ruleAddress_->text();
    rule.Memo = memo_->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    return rule;
}

void MainScreen::showInEditor(const SortRule& rule)
{
    ruleName_->setText(rule.Name);
    for (std::size_t i = 0; i < details_.size(); ++i)
        details_[i]->setText(rule.Details[i]);
    ruleAddress_->setText(rule.RuleAddress);
    QString memo = rule.Memo;
    memo_->setPlainText(memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void MainScreen::nameCounters(const QStringList& folderNames)
{
    for (int row = 0; row < CounterRows; ++row) {
        const QString folder = folderNames.value(row);
        pastCounters_[row]->setAccessibleName(folder.isEmpty() ? QStringLiteral("Past（使われていない欄）") : QStringLiteral("Past: %1").arg(folder));
        newCounters_[row]->setAccessibleName(folder.isEmpty() ? QStringLiteral("New（使われていない欄）") : QStringLiteral("New: %1").arg(folder));
    }
}

void MainScreen::showRuleNames(const QStringList& names)
{
    ruleList_->clear();
    const int rowHeight = Twips::toPixels(240);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, ruleList_);
        item->setSizeHint(QSize(0, rowHeight));
    }
}
