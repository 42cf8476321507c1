#include "MainForm.h"

#include "AddressBookScreen.h"
#include "ButtonEnterKey.h"
#include "ComposeScreen.h"
#include "CtrlTabFocus.h"
#include "EnlargedView.h"
#include "FolderFiles.h"
#include "HintLine.h"
#include "IdPassForm.h"
#include "ImportExportCommands.h"
#include "MailScreen.h"
#include "MainScreen.h"
#include "MainScreenActions.h"
#include "MainScreenRuleEditor.h"
#include "OperationInProgress.h"
#include "OptionForm.h"
#include "ReceiveController.h"
#include "ReplyScreen.h"
#include "Pictures.h"
#include "PrivateFolders.h"
#include "ReadingOrder.h"
#include "RecordLayouts.h"
#include "SearchAllCommand.h"
#include "SendController.h"
#include "SetForm.h"
#include "SortRuleBook.h"
#include "SpamKeywordScreen.h"
#include "StartUpRecovery.h"
#include "TabStrip.h"
#include "TextHelpers.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextStream>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace {

namespace Names = WidgetNames;

// Where the screens lie below the tab strip, in twips.
constexpr double ScreenTop = 1200;
constexpr double ScreenWidth = 11200;
constexpr double ScreenHeight = 7400;
// Hidden work boxes lie beyond the right edge of the window.
constexpr double WorkBoxLeft = 11280;
constexpr int TabCaptionLength = 16;
constexpr QStringView HelpPageName = u"help.html";

struct TabDefinition {
    const char16_t* caption;
    int image;
};
// Tabs 1 to 6 and 16, 17; tabs 7 to 15 carry the names of sort rules 1 to 9 with image 8.
constexpr std::array<TabDefinition, 6> LeadingTabs{{
    {u"メイン画面", 1},
    {u"新規作成", 7},
    {u"受信", 3},
    {u"アドレス帳", 4},
    {u"Spam/迷惑撃退", 5},
    {u"設定（ID・PASS・サーバー)", 6},
}};
constexpr int FolderTabImage = 8;
constexpr std::array<TabDefinition, 2> TrailingTabs{{
    {u"着信 その他", 2},
    {u"送信履歴", 6},
}};

} // namespace

MainForm::MainForm(const ProgramPaths& paths, Services& services, QWidget* parent)
    : QMainWindow(parent), paths_(paths), services_(services), accountProfile_(paths)
{
    setObjectName(Names::MainForm);
    setWindowTitle(QStringLiteral("Nemuroa"));
    setWindowIcon(Pictures::windowIcon());
    buildMenus();
    buildScreens();
    buildWorkBoxes();
    ButtonEnterKey::install(*this);
}

MainForm::~MainForm()
{
    delete setForm_.data();
    delete idPassForm_.data();
    delete optionForm_.data();
}

void MainForm::buildMenus()
{
    auto addItem = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };

    fileMenu_ = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    fileMenu_->setObjectName(Names::mFile);
    addItem(fileMenu_, Names::mnew, QStringLiteral("新規作成"));
    addItem(fileMenu_, Names::mopen, QStringLiteral("開く"));
    addItem(fileMenu_, Names::msave, QStringLiteral("名前を付けて保存"));
    addItem(fileMenu_, Names::mprint, QStringLiteral("印刷"));
    fileMenu_->addSeparator();
    addItem(fileMenu_, Names::mImport, QStringLiteral("他のメールソフトから取り込む..."));
    addItem(fileMenu_, Names::mExport, QStringLiteral("mbox に書き出す..."));
    addItem(fileMenu_, Names::mSaveEml, QStringLiteral("一通を .eml で保存..."));
    fileMenu_->addSeparator();
    connect(addItem(fileMenu_, Names::mend, QStringLiteral("終了")), &QAction::triggered, this, &MainForm::exitAfterNotice);

    editMenu_ = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    editMenu_->setObjectName(Names::medit);
    addItem(editMenu_, Names::mall, QStringLiteral("全て選択"));
    addItem(editMenu_, Names::matamajump, QStringLiteral("文頭へジャンプ"));
    addItem(editMenu_, Names::mbunmatujump, QStringLiteral("文末へジャンプ"));
    editMenu_->addSeparator();
    addItem(editMenu_, Names::mkensaku, QStringLiteral("検索"));
    addItem(editMenu_, Names::mSearchAll, QStringLiteral("全メール検索(&F)..."));
    editMenu_->addSeparator();
    addItem(editMenu_, Names::mcut, QStringLiteral("切り取り"));
    addItem(editMenu_, Names::mcopy, QStringLiteral("コピー"));
    addItem(editMenu_, Names::mpaste, QStringLiteral("貼付け"));

    homePageMenu_ = menuBar()->addMenu(QStringLiteral("HomePage"));
    homePageMenu_->setObjectName(Names::mhp);
    connect(addItem(homePageMenu_, Names::mhp2, QStringLiteral("作者ホームページ")), &QAction::triggered, this,
        [this] { openHomePage(); });
}

void MainForm::buildScreens()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    tabStrip_ = new TabStrip(central);
    tabStrip_->setObjectName(Names::TabStrip1);
    tabStrip_->setAccessibleName(QStringLiteral("画面の切り替え"));
    tabStrip_->setGeometry(Twips::rect(0, 0, StartWidth, 8775));
    tabStrip_->setRowBandHeight(Twips::toPixels(ScreenTop));
    connect(tabStrip_, &TabStrip::tabClicked, this, &MainForm::onTabClicked);

    mainScreen_ = new MainScreen(central);
    new MainScreenRuleEditor(*this);
    new ReceiveController(*this);
    new MainScreenActions(*this);
    new HintLine(*this);
    new CtrlTabFocus(*this);
    new ImportExportCommands(*this);
    new SearchAllCommand(*this);
    mailScreen_ = createMailScreen(central);
    addressBookScreen_ = createAddressBookScreen(central);
    composeScreen_ = createComposeScreen(central);
    replyScreen_ = createReplyScreen(central);
    enlargedView_ = createEnlargedView(central);
    spamKeywordScreen_ = createSpamKeywordScreen(central);

    HintLine::describe(*this);
    connect(mainScreen_->exitButton(), &QAbstractButton::clicked, this, &MainForm::shutdown);
    connect(mainScreen_->minimiseButton(), &QAbstractButton::clicked, this, &QWidget::showMinimized);
}

QWidget* MainForm::createMailScreen(QWidget* parent) { return new MailScreen(*this, parent); }

QWidget* MainForm::createAddressBookScreen(QWidget* parent)
{
    auto* screen = new AddressBookScreen(*this, parent);
    connect(mailScreen_->findChild<QPushButton*>(Names::Command4), &QPushButton::clicked, screen,
        &AddressBookScreen::AddSenderToAddressBook);
    return screen;
}

QWidget* MainForm::createComposeScreen(QWidget* parent) { return new ComposeScreen(*this, *new SendController(*this), parent); }

QWidget* MainForm::createReplyScreen(QWidget* parent)
{
    auto* screen = new ReplyScreen(*this, *findChild<SendController*>(), *qobject_cast<ComposeScreen*>(composeScreen_), parent);
    connect(mailScreen_->findChild<QPushButton*>(Names::Command5), &QPushButton::clicked, screen, &ReplyScreen::OpenReply);
    return screen;
}

QWidget* MainForm::createEnlargedView(QWidget* parent) { return new EnlargedView(*this, parent); }

QWidget* MainForm::createSpamKeywordScreen(QWidget* parent)
{
    auto* screen = new SpamKeywordScreen(paths_, services_.messageBoxes, parent);
    connect(this, &MainForm::spamKeywordTabOpened, screen, &SpamKeywordScreen::ListKeywords);
    connect(screen, &SpamKeywordScreen::rowsListed, this, [this](const QList<int>& recordNumbers) {
        resetRowRecordMap();
        for (const int recordNumber : recordNumbers)
            appendRowRecord(recordNumber);
    });
    return screen;
}

void MainForm::buildWorkBoxes()
{
    for (int rule = 1; rule <= SortingRules; ++rule) {
        auto* box = new QLineEdit(centralWidget());
        box->setObjectName(Names::sortingAddressBox(rule));
        box->setGeometry(Twips::rect(WorkBoxLeft, 3000 + 300.0 * rule, 2000, 270));
        box->hide();
        sortingAddressBoxes_[rule - 1] = box;
    }
}

QFont MainForm::programFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("sans-serif")});
    font.setPointSizeF(9);
    return font;
}

void MainForm::openHomePage()
{
    if (!services_.launcher.openInBrowser(homePageAddress()))
        services_.messageBoxes.notify(noBrowserText(homePageAddress()), MessageBoxService::Icon::Exclamation);
}

QString MainForm::homePageAddress() const { return QUrl::fromLocalFile(paths_.path(HelpPageName)).toString(); }

QStringList MainForm::openingLines()
{
    return {
        QStringLiteral("御社益々ご清祥の事とお慶び申し上げます。"),
        QStringLiteral("平素のご愛顧誠にありがとうございます。"),
        QStringLiteral("平素は格別のご愛顧を賜り深謝申し上げます。"),
        QStringLiteral("いつもお世話になっております。"),
        QStringLiteral("メールありがとうございました。確かに受け取りました。"),
        QStringLiteral("はじめまして、突然のメールで恐縮です。"),
        QStringLiteral("こんにちわ。はじめてメールいたします。"),
        QStringLiteral("こんにちわ。お変わりなく、お元気ですか？"),
    };
}

// ---- Start-up ----

bool MainForm::load()
{
    if (!QFileInfo(paths_.dataFolder()).isDir()) {
        services_.messageBoxes.notify(
            QStringLiteral("データフォルダ「%1」が見つかりません。\r\n%2\r\n\r\nNemuroa を終了します。")
                .arg(ProgramPaths::dataFolderName(), paths_.dataFolder()),
            MessageBoxService::Icon::Critical);
        return false;
    }
    for (const QString& line : PrivateFolders::narrow(paths_))
        QTextStream(stderr) << line << Qt::endl;
    // Before anything reads the files: undo a receive session that was cut short and remove the
    // temporary files a crash can leave.
    if (StoreStatus recovered = StartUpRecovery::recover(paths_); !recovered.ok())
        services_.messageBoxes.notify(recovered.error(), MessageBoxService::Icon::Exclamation);

    giveMailListItsColumns();

    mainScreen_->hintBox()->hide();
    mainScreen_->hideExplanationButton()->setEnabled(false);
    setControlChecked(Names::Option2, false);
    replyScreen_->hide();
    setControlEnabled(Names::Command9, false);
    enlargedView_->hide();
    mainScreen_->ruleList()->show();
    spamKeywordScreen_->hide();
    setControlChecked(Names::Check2, false);

    if (!presetRuleEditor())
        return false;
    fillOpeningLines();
    if (!countFolders())
        return false;
    if (!fillRuleList())
        return false;
    if (mainScreen_->ruleList()->count() > 9) {
        // Only highlighted: the editor already shows rule 10, so no row handler may run.
        const QSignalBlocker quiet(mainScreen_->ruleList());
        mainScreen_->ruleList()->setCurrentRow(9);
    }
    QStringList ruleCaptions;
    if (!holdSortingRules(ruleCaptions))
        return false;

    setOuterSizeTwips(StartWidth, StartHeight);

    setControlVisible(Names::List4, false);
    mainScreen_->explanationBox()->hide();

    const QRect screenGeometry = Twips::rect(0, ScreenTop, ScreenWidth, ScreenHeight);
    mailScreen_->hide();
    addressBookScreen_->hide();
    setControlVisible(Names::Text5, false);
    composeScreen_->hide();
    mainScreen_->show();
    for (QWidget* frame : {static_cast<QWidget*>(mainScreen_), mailScreen_, addressBookScreen_, composeScreen_})
        frame->setGeometry(screenGeometry);

    createTabs(ruleCaptions);

    SecondProfile = accountProfile_.readSecondProfile();
    mainScreen_->ruleAddressBox()->setText(SecondProfile[6]);

    Settings = ServerSettings::read(ProgramPaths::inCurrentDirectory(u"vbmail.ini"));

    (void)services_.mail.NMailInitializeWinSock();
    (void)services_.mail.NMailSetOption(1, 8192);

    if (Settings.Pop3Server.isEmpty())
        openServerDialog();
    return true;
}

bool MainForm::reportStartFailure(const QString& error)
{
    services_.messageBoxes.notify(error + QStringLiteral("\r\n\r\nNemuroa を終了します。"), MessageBoxService::Icon::Critical);
    return false;
}

void MainForm::setControlVisible(const QString& name, bool visible)
{
    if (auto* control = centralWidget()->findChild<QWidget*>(name))
        control->setVisible(visible);
}

void MainForm::setControlEnabled(const QString& name, bool enabled)
{
    if (auto* control = centralWidget()->findChild<QWidget*>(name))
        control->setEnabled(enabled);
}

void MainForm::setControlChecked(const QString& name, bool checked)
{
    auto* button = centralWidget()->findChild<QAbstractButton*>(name);
    if (!button)
        return;
    // An option button of a group can only be switched off on its own with the grouping lifted.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(exclusive);
}

void MainForm::giveMailListItsColumns()
{
    auto* list = centralWidget()->findChild<QTreeView*>(Names::MailListView);
    if (!list)
        return;
    const double width = Twips::fromPixels(list->width());
    list->header()->resizeSection(0, Twips::toPixels(width / 2));
    list->header()->resizeSection(1, Twips::toPixels(width / 4));
    list->header()->resizeSection(2, Twips::toPixels(width / 4));
}

void MainForm::fillOpeningLines()
{
    if (auto* combo = centralWidget()->findChild<QComboBox*>(Names::Combo1)) {
        combo->addItems(openingLines());
        // No line is chosen until the user chooses one: passing through the list leaves the body alone.
        combo->setCurrentIndex(-1);
    }
}

bool MainForm::presetRuleEditor()
{
    const auto rule = SortRuleBook(paths_).read(SortRuleBook::RuleCount);
    if (!rule.ok())
        return reportStartFailure(rule.error());
    mainScreen_->showInEditor(rule.value().value_or(SortRule{}));
    return true;
}

bool MainForm::countFolders()
{
    for (int folder = 1; folder <= FolderCount; ++folder) {
        const RecordFile file = FolderFiles::folderFile(paths_, folder);
        const StoreStatus created = file.ensureExists();
        if (!created.ok())
            return reportStartFailure(created.error());
        const auto count = file.exactRecordCount();
        if (!count.ok())
            return reportStartFailure(count.error());
        // Written as the decimal number it is: a length of one and a half records shows 1.5.
        setPastCounter(folder, QString::number(count.value(), 'g', 15));
    }
    return true;
}

bool MainForm::fillRuleList()
{
    const auto names = SortRuleBook(paths_).names();
    if (!names.ok())
        return reportStartFailure(names.error());
    showRuleNames(names.value());
    return true;
}

bool MainForm::holdSortingRules(QStringList& tabCaptions)
{
    const RecordFile file = SortRuleBook(paths_).file();
    for (int rule = 1; rule <= SortingRules; ++rule) {
        const auto record = file.read(rule);
        if (!record.ok())
            return reportStartFailure(record.error());
        QString caption;
        QString address;
        if (record.value()) {
            caption = SortRuleBook::untrimmedName(*record.value()).left(TabCaptionLength);
            address = TrimBlanks(record.value()->text(RecordLayouts::SortRuleField::RuleAddress));
        }
        tabCaptions.append(caption);
        setSortingAddress(rule, address);
    }
    return true;
}

void MainForm::createTabs(const QStringList& ruleCaptions)
{
    tabStrip_->clear();
    int index = 1;
    for (const TabDefinition& tab : LeadingTabs) {
        tabStrip_->insertTab(index, QString::fromUtf16(tab.caption), Pictures::tabImage(tab.image), tab.image);
        ++index;
    }
    for (const QString& caption : ruleCaptions) {
        tabStrip_->insertTab(index, caption, Pictures::tabImage(FolderTabImage), FolderTabImage);
        ++index;
    }
    for (const TabDefinition& tab : TrailingTabs) {
        tabStrip_->insertTab(index, QString::fromUtf16(tab.caption), Pictures::tabImage(tab.image), tab.image);
        ++index;
    }
    tabStrip_->setSelectedIndex(1);
    QStringList folderNames;
    for (int folder = 1; folder <= FolderFiles::OthersFolder; ++folder)
        folderNames.append(folderName(folder));
    mainScreen_->nameCounters(folderNames);
}

QString MainForm::folderName(int folder) const
{
    const QString caption = TrimBlanks(tabStrip_->tabText(folder + static_cast<int>(LeadingTabs.size())));
    // A sorting rule without a name still has its folder.
    return caption.isEmpty() ? QStringLiteral("仕分け %1").arg(folder) : caption;
}

// ---- Shared state ----

void MainForm::resetRowRecordMap() { RowRecordMap = {0}; }

void MainForm::appendRowRecord(int recordNumber)
{
    RowRecordMap.last() = static_cast<qint16>(recordNumber);
    RowRecordMap.append(0);
}

void MainForm::showRuleNames(const QStringList& names)
{
    resetRowRecordMap();
    mainScreen_->showRuleNames(names);
    for (int record = 1; record <= names.size(); ++record)
        appendRowRecord(record);
}

QString MainForm::sortingAddress(int rule) const { return sortingAddressBoxes_.at(rule - 1)->text(); }

void MainForm::setSortingAddress(int rule, const QString& address) { sortingAddressBoxes_.at(rule - 1)->setText(address); }

std::array<QString, MainForm::SortingRules> MainForm::sortingAddresses() const
{
    std::array<QString, SortingRules> addresses;
    for (int rule = 1; rule <= SortingRules; ++rule)
        addresses[rule - 1] = sortingAddress(rule);
    return addresses;
}

QString MainForm::pastCounter(int folder) const { return mainScreen_->pastCounter(folder - 1)->text(); }

void MainForm::setPastCounter(int folder, const QString& text) { mainScreen_->pastCounter(folder - 1)->setText(text); }

QString MainForm::newCounter(int folder) const { return mainScreen_->newCounter(folder - 1)->text(); }

void MainForm::setNewCounter(int folder, const QString& text) { mainScreen_->newCounter(folder - 1)->setText(text); }

QString MainForm::statusText() const { return mainScreen_->statusBar()->text(); }

void MainForm::setStatusText(const QString& text) { mainScreen_->statusBar()->setText(text); }

// ---- Screens, menus and tabs ----

QWidget* MainForm::screenFrame(Screen screen) const
{
    switch (screen) {
    case Screen::Main: return mainScreen_;
    case Screen::Mail: return mailScreen_;
    case Screen::AddressBook: return addressBookScreen_;
    case Screen::Compose: return composeScreen_;
    case Screen::Reply: return replyScreen_;
    case Screen::Enlarged: return enlargedView_;
    case Screen::SpamKeywords: return spamKeywordScreen_;
    }
    return mainScreen_;
}

void MainForm::showScreen(Screen screen)
{
    QWidget* shown = screenFrame(screen);
    for (Screen other : {Screen::Main, Screen::Mail, Screen::AddressBook, Screen::Compose, Screen::Reply, Screen::Enlarged,
             Screen::SpamKeywords}) {
        if (screenFrame(other) != shown)
            screenFrame(other)->hide();
    }
    mainScreen_->ruleList()->setVisible(screen == Screen::Main);
    tabStrip_->setVisible(screen != Screen::Reply && screen != Screen::Enlarged);
    shown->show();
    shown->raise();
    // The focus may still sit on a control of the screen just hidden, or on the hidden strip, where
    // keys go nowhere: it goes to the strip, where a person moves on from. A screen opened without
    // the strip gives it to its own control.
    const QWidget* focused = QApplication::focusWidget();
    const bool focusShown = focused && (shown->isAncestorOf(focused) || tabStrip_->isAncestorOf(focused));
    if (!focusShown && tabStrip_->isVisible())
        tabStrip_->setFocus(Qt::OtherFocusReason);
}

void MainForm::setMenusEnabled(bool enabled)
{
    for (QMenu* menu : {fileMenu_, editMenu_, homePageMenu_}) {
        menu->setEnabled(enabled);
        menu->menuAction()->setEnabled(enabled);
    }
}

bool MainForm::menusEnabled() const { return fileMenu_->isEnabled(); }

void MainForm::onTabClicked(int index)
{
    switch (index) {
    case 1:
        setMenusEnabled(false);
        showScreen(Screen::Main);
        break;
    case 2:
        showScreen(Screen::Compose);
        emit composeTabOpened();
        break;
    case 3:
        setMenusEnabled(false);
        showScreen(Screen::Main);
        emit receiveRequested();
        break;
    case 4:
        setMenusEnabled(false);
        showScreen(Screen::AddressBook);
        emit addressBookTabOpened();
        break;
    case 5:
        setMenusEnabled(false);
        showScreen(Screen::SpamKeywords);
        emit spamKeywordTabOpened();
        break;
    case 6:
        openSettingsChooser();
        break;
    default:
        if (index < FirstMailTab || index > TabCount)
            return;
        CurrentFolder = index - FirstMailTab + 1;
        setMenusEnabled(true);
        showScreen(Screen::Mail);
        emit mailTabOpened(CurrentFolder);
        break;
    }
}

// ---- Settings windows ----

SetForm& MainForm::setForm()
{
    if (!setForm_) {
        setForm_ = new SetForm();
        connect(setForm_, &SetForm::accountRequested, this, &MainForm::openAccountDialog);
        connect(setForm_, &SetForm::serversRequested, this, &MainForm::openServerDialog);
    }
    return *setForm_;
}

IdPassForm& MainForm::idPassForm()
{
    if (!idPassForm_)
        idPassForm_ = new IdPassForm(accountProfile_, {AccountId, AccountPassword}, services_.messageBoxes);
    return *idPassForm_;
}

OptionForm& MainForm::optionForm()
{
    if (!optionForm_)
        optionForm_ = new OptionForm(Settings, ProgramPaths::inCurrentDirectory(u"vbmail.ini"), accountProfile_, services_.messageBoxes);
    return *optionForm_;
}

namespace {
void bringUp(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}
} // namespace

void MainForm::openSettingsChooser() { bringUp(setForm()); }

void MainForm::openAccountDialog() { bringUp(idPassForm()); }

void MainForm::openServerDialog() { bringUp(optionForm()); }

bool MainForm::isLoaded(const QString& windowName) const
{
    if (windowName == Names::SetForm)
        return !setForm_.isNull();
    if (windowName == Names::IdPassForm)
        return !idPassForm_.isNull();
    if (windowName == Names::OptionForm)
        return !optionForm_.isNull();
    return false;
}

PlainPasswordConsent MainForm::plainPasswordConsent()
{
    return PlainPasswordConsent(Settings, ProgramPaths::inCurrentDirectory(u"vbmail.ini"), services_.messageBoxes, services_.mail);
}

// ---- Shutdown ----

void MainForm::exitAfterNotice()
{
    services_.messageBoxes.show({QStringLiteral("終了します。"), MessageBoxService::programTitle(), MessageBoxService::Buttons::Ok,
        MessageBoxService::Icon::None});
    shutdown();
}

void MainForm::shutdown()
{
    if (shuttingDown_)
        return;
    shuttingDown_ = true;
    (void)services_.mail.NMailEndWinSock();
    services_.endProcess();
}

void MainForm::endProgram()
{
    shuttingDown_ = true;
    services_.endProcess();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    // Ending now could fall between storing messages and the QUIT that deletes them on the server:
    // the operation asks whether to stop, and the window closes once it has ended.
    if (operation_) {
        operation_->requestStop(true);
        event->ignore();
        return;
    }
    shutdown();
    event->accept();
}

// ---- Size ----

QSizeF MainForm::outerSizeTwips() const
{
    const QSize pixels = size() + frameExtent_;
    if (!outerSizeTwips_.isEmpty() && Twips::size(outerSizeTwips_.width(), outerSizeTwips_.height()) == pixels)
        return outerSizeTwips_;
    return {Twips::fromPixels(pixels.width()), Twips::fromPixels(pixels.height())};
}

void MainForm::setOuterSizeTwips(double width, double height)
{
    outerSizeTwips_ = QSizeF(width, height);
    resize(Twips::size(width, height) - frameExtent_);
    // A window not yet shown gets its resize event only when it is shown; start-up lays out now.
    if (!isVisible())
        applyOuterSize();
}

void MainForm::applyOuterSize()
{
    const QSizeF outer = outerSizeTwips();
    // The outer width includes the window's borders; no tab may lie under them.
    tabStrip_->resize(std::min(Twips::toPixels(outer.width()), width()), tabStrip_->height());
    emit outerSizeChanged(outer.width(), outer.height());
}

void MainForm::followFrame()
{
    // The outer size includes the title bar and borders, which the window system adds only once the
    // window is shown: the window keeps the outer size it was given when they come.
    const QSize extent = frameGeometry().size() - size();
    if (extent == frameExtent_)
        return;
    const bool hasSetSize = !outerSizeTwips_.isEmpty() && size() + frameExtent_ == Twips::size(outerSizeTwips_.width(), outerSizeTwips_.height());
    frameExtent_ = extent;
    if (hasSetSize)
        resize(Twips::size(outerSizeTwips_.width(), outerSizeTwips_.height()) - frameExtent_);
}

void MainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    followFrame();
}

void MainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    followFrame();
    // The server dialog opened by start-up stays in front of the window that opens after it, also
    // where the window system does not keep it on top by itself.
    if (optionForm_ && optionForm_->isVisible())
        optionForm_->raise();
}

void MainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyOuterSize();
    followFrame();
}

bool MainForm::focusNextPrevChild(bool next)
{
    // Round the tab strip and the open screen, in the screen's reading order.
    QList<QWidget*> ring;
    if (tabStrip_->isVisible())
        ring.append(tabStrip_);
    for (Screen screen : {Screen::Main, Screen::Mail, Screen::AddressBook, Screen::Compose, Screen::Reply, Screen::Enlarged,
             Screen::SpamKeywords}) {
        if (screenFrame(screen)->isVisible())
            ring.append(ReadingOrder::of(*screenFrame(screen)));
    }
    if (QWidget* target = ReadingOrder::step(ring, focusWidget(), next)) {
        target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMainWindow::focusNextPrevChild(next);
}

void MainForm::composeMailto(const MailtoLink& link)
{
    auto* compose = qobject_cast<ComposeScreen*>(composeScreen_);
    auto* to = compose->findChild<QLineEdit*>(Names::ToText);
    auto* subject = compose->findChild<QLineEdit*>(Names::SubjectText);
    auto* body = compose->findChild<QPlainTextEdit*>(Names::BodyText);
    auto* attachments = compose->findChild<QLineEdit*>(Names::AttachText);
    tabStrip_->setSelectedIndex(2);
    onTabClicked(2);
    // A link clicked elsewhere must not wipe out a mail being written.
    const bool holdsText = !to->text().isEmpty() || !subject->text().isEmpty() || !body->toPlainText().isEmpty()
        || !attachments->text().isEmpty();
    if (holdsText
        && !services_.messageBoxes.confirm(
            QStringLiteral("新規作成画面に書きかけのメールがあります。\r\nリンクの宛先・件名・本文で置き換えますか？")))
        return;
    compose->ClearScreen();
    to->setText(link.toText());
    subject->setText(link.subject);
    body->setPlainText(QString(link.body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (const QString leftOut = link.leftOutNotice(); !leftOut.isEmpty())
        services_.messageBoxes.notify(leftOut, MessageBoxService::Icon::Information);
}

void MainForm::takeHandOver(const QString& mailto)
{
    // A later start of the program comes here instead of opening a second window.
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (const std::optional<MailtoLink> link = MailtoLink::parse(mailto))
        composeMailto(*link);
}

void MainForm::takeImportHandOver(const QStringList& sources)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    emit importHandedOver(sources);
}
