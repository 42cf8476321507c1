#pragma once

#include "AccountProfile.h"
#include "PlainPasswordConsent.h"
#include "MailtoLink.h"
#include "ProgramPaths.h"
#include "ServerSettings.h"
#include "Services.h"

#include <QFont>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class IdPassForm;
class MainScreen;
class OperationInProgress;
class OptionForm;
class QLineEdit;
class QMenu;
class SetForm;
class TabStrip;

// The main window: the menu bar, the tab strip and one frame per screen, and the state that the
// screens share. Start-up is load(); every way out of the program goes through shutdown().
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    enum class Screen { Main, Mail, AddressBook, Compose, Reply, Enlarged, SpamKeywords };

    static constexpr int TabCount = 17;
    static constexpr int FirstMailTab = 7;
    static constexpr int FolderCount = 10;
    static constexpr int SortingRules = 9;
    // The start-up size of the window, in twips.
    static constexpr int StartWidth = 11300;
    static constexpr int StartHeight = 9300;

    MainForm(const ProgramPaths& paths, Services& services, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up. false after a message box when the data folder is missing or a store file cannot
    // be opened or read; the program then ends.
    [[nodiscard]] bool load();

    const ProgramPaths& paths() const { return paths_; }
    Services& services() const { return services_; }

    // Folder number of the last opened mail tab: 1 to 10 for tabs 7 to 16, 11 for tab 17; 0 before
    // the first.
    int CurrentFolder = 0;
    // Record number of each row of the list filled last, followed by one spare entry.
    QList<qint16> RowRecordMap{0};
    // SmtpServer, Pop3Server, MailAddress, UseApop.
    ServerSettings Settings;
    QString AccountId;
    QString AccountPassword;
    // NAME ... NAME10 of iniIdPass2.ini, trimmed.
    std::array<QString, 10> SecondProfile;

    // Every list loader rebuilds the map: reset, then one append per row in row order.
    void resetRowRecordMap();
    void appendRowRecord(int recordNumber);
    // List2 gets one row per name and RowRecordMap the record number of each (row i is record i + 1).
    void showRuleNames(const QStringList& names);

    // The held sorting addresses of rules 1 to 9 (Text30 ... Text37, Text39).
    QString sortingAddress(int rule) const;
    void setSortingAddress(int rule, const QString& address);
    std::array<QString, SortingRules> sortingAddresses() const;

    // Past (Text19) and New (Text21) counters of folder 1 to 10.
    QString pastCounter(int folder) const;
    void setPastCounter(int folder, const QString& text);
    QString newCounter(int folder) const;
    void setNewCounter(int folder, const QString& text);

    // The caption of the tab of folder 1 to 11, as the folder is called on screen and in questions.
    QString folderName(int folder) const;

    // The status bar Label17.
    QString statusText() const;
    void setStatusText(const QString& text);

    MainScreen& mainScreen() const { return *mainScreen_; }
    TabStrip& tabStrip() const { return *tabStrip_; }
    QWidget* screenFrame(Screen screen) const;

    // Shows the frame of one screen and hides the others; the tab strip is hidden while the reply
    // screen or the enlarged view is shown, and the rule list goes with the main screen.
    void showScreen(Screen screen);
    // "ファイル(&F)", "編集(&E)" and "HomePage" together.
    void setMenusEnabled(bool enabled);
    bool menusEnabled() const;


    // The tab strip's click, tab index 1 to 17.
    void onTabClicked(int index);

    // Settings windows: each is loaded on first use (hidden) and unloaded when it closes.
    SetForm& setForm();
    IdPassForm& idPassForm();
    OptionForm& optionForm();
    void openSettingsChooser();
    void openAccountDialog();
    void openServerDialog();
    bool isLoaded(const QString& windowName) const;

    // The user's consent to passwords over connections without TLS, for receiving and sending alike.
    PlainPasswordConsent plainPasswordConsent();

    // A receive or send session is running (see OperationInProgress): user input is dropped, and
    // Esc or a close request asks whether to stop it.
    bool isOperationInProgress() const { return operation_ != nullptr; }
    // A mailto: link handed over at start or by a later start: opens the compose screen with the
    // recipients, the subject and the body filled in, after asking when the screen holds a mail
    // being written. CC and BCC addresses, for which the screen has no box, are named in a notice.
    void composeMailto(const MailtoLink& link);
    // What a later start handed over (an empty text when it had no link): the window comes to
    // the front, restored if minimised, and a link goes to the compose screen.
    void takeHandOver(const QString& mailto);
    // An import a later start handed over: the window comes to the front and the import window runs it.
    void takeImportHandOver(const QStringList& sources);

    // Releases the mail library and ends the process.
    void shutdown();
    // Ends the process at once, without releasing the mail library.
    void endProgram();

    // The window's outer size in twips: the size last set while the window still has it.
    QSizeF outerSizeTwips() const;
    void setOuterSizeTwips(double width, double height);

    // The font every window of the program uses unless a control names its own.
    static QFont programFont();
    // The help page shipped in the program folder, opened by "作者ホームページ".
    QString homePageAddress() const;
    // "作者ホームページ"; says so when no browser could be started.
    void openHomePage();
    static QString noBrowserText(const QString& address)
    {
        return QStringLiteral("ブラウザを起動できませんでした。ブラウザがインストールされているか確かめてください。\r\nホームページ: %1").arg(address);
    }
    static QStringList openingLines();

signals:
    // After the screen switch of tabs 2, 3, 4, 5 and 7 to 17, for the parts that fill those screens.
    void composeTabOpened();
    void receiveRequested();
    void addressBookTabOpened();
    void spamKeywordTabOpened();
    void mailTabOpened(int folder);
    void importHandedOver(const QStringList& sources);
    // A store file of mail changed: a message was stored, sent or deleted.
    void storeChanged();
    // The window changed size (including the size set at start-up); width and height in twips.
    void outerSizeChanged(double width, double height);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildMenus();
    void buildScreens();
    void buildWorkBoxes();

    // The screens that other parts of the program fill; each is created in one place.
    QWidget* createMailScreen(QWidget* parent);
    QWidget* createAddressBookScreen(QWidget* parent);
    QWidget* createComposeScreen(QWidget* parent);
    QWidget* createReplyScreen(QWidget* parent);
    QWidget* createEnlargedView(QWidget* parent);
    QWidget* createSpamKeywordScreen(QWidget* parent);

    bool reportStartFailure(const QString& error);
    void setControlVisible(const QString& name, bool visible);
    void setControlEnabled(const QString& name, bool enabled);
    void setControlChecked(const QString& name, bool checked);
    void giveMailListItsColumns();
    void fillOpeningLines();
    bool presetRuleEditor();
    bool countFolders();
    bool fillRuleList();
    bool holdSortingRules(QStringList& tabCaptions);
    void createTabs(const QStringList& ruleCaptions);
    void exitAfterNotice();
    void applyOuterSize();
    void followFrame();

    const ProgramPaths& paths_;
    Services& services_;
    AccountProfile accountProfile_;

    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* homePageMenu_ = nullptr;
    TabStrip* tabStrip_ = nullptr;
    MainScreen* mainScreen_ = nullptr;
    QWidget* mailScreen_ = nullptr;
    QWidget* addressBookScreen_ = nullptr;
    QWidget* composeScreen_ = nullptr;
    QWidget* replyScreen_ = nullptr;
    QWidget* enlargedView_ = nullptr;
    QWidget* spamKeywordScreen_ = nullptr;
    std::array<QLineEdit*, SortingRules> sortingAddressBoxes_{};

    QPointer<SetForm> setForm_;
    QPointer<IdPassForm> idPassForm_;
    QPointer<OptionForm> optionForm_;

    QSizeF outerSizeTwips_;
    // Title bar and borders the window system draws around the window, in pixels.
    QSize frameExtent_;
    bool shuttingDown_ = false;

    friend class OperationInProgress;
    OperationInProgress* operation_ = nullptr;
};
