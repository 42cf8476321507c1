#include "MailEditorCommands.h"

#include "EditorToolBar.h"
#include "MailScreen.h"
#include "MainForm.h"
#include "ScreenControls.h"
#include "Services.h"
#include "TextQuickSave.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

namespace Names = WidgetNames;

} // namespace

MailEditorCommands::MailEditorCommands(MainForm& form, MailScreen& screen, QWidget* toolbarStrip)
    : QObject(&screen)
    , form_(form)
    , screen_(screen)
    , services_(form.services())
    , view_(*screen.bodyBox(), form)
    , editor_(view_, services_.fileDialogs, services_.clipboard)
{
    buildStripControls(toolbarStrip);
    connectMenus();
    connect(screen.findChild<QPushButton*>(Names::Command27), &QPushButton::clicked, this, &MailEditorCommands::quickSave);
}

void MailEditorCommands::buildStripControls(QWidget* strip)
{
    auto* toolBar = new EditorToolBar(strip);
    toolBar->setGeometry(Twips::rect(30, 15, 4200, 390));
    connect(toolBar, &EditorToolBar::buttonClicked, this, &MailEditorCommands::runToolbarButton);

    QLabel* searchLabel = ScreenControls::label(QStringLiteral("検索文字"), Twips::rect(4290, 90, 780, 255), strip);
    searchLabel->setObjectName(Names::Label2_1);
    searchBox_ = ScreenControls::box(Names::Text2, Twips::rect(5070, 45, 1560, 330), strip);
    searchLabel->setBuddy(searchBox_);
    QPushButton* copy = ScreenControls::button(
        Names::Command35, QStringLiteral("コピー（Subject/from/Data）"), Twips::rect(6690, 30, 2700, 360), strip);
    copyBox_ = ScreenControls::box(Names::Text49, Twips::rect(9450, 45, 1700, 330), strip);
    copyBox_->setAccessibleName(QStringLiteral("コピーする内容"));
    connect(copy, &QPushButton::clicked, this, &MailEditorCommands::copyHeaderField);
}

void MailEditorCommands::connectMenus()
{
    const auto onMenu = [this](const QString& name, auto&& handler) {
        if (auto* action = form_.findChild<QAction*>(name))
            connect(action, &QAction::triggered, this, handler);
    };
    onMenu(Names::mnew, [this] { editor_.NewText(); });
    onMenu(Names::mopen, [this] { tell(editor_.OpenText()); });
    onMenu(Names::msave, [this] { tell(editor_.SaveShownMessage(shownHeader())); });
    onMenu(Names::mprint, [this] { editor_.PrintText(); });
    onMenu(Names::mall, [this] { editor_.SelectAll(); });
    onMenu(Names::matamajump, [this] { editor_.JumpToStart(); });
    onMenu(Names::mbunmatujump, [this] { editor_.JumpToEnd(); });
    onMenu(Names::mkensaku, [this] { search(); });
    onMenu(Names::mcut, [this] { editor_.CutText(); });
    onMenu(Names::mcopy, [this] { editor_.CopyText(); });
    onMenu(Names::mpaste, [this] { editor_.PasteText(); });
}

void MailEditorCommands::runToolbarButton(const QString& key)
{
    if (key == u"New")
        editor_.NewText();
    else if (key == u"Open")
        tell(editor_.OpenText());
    else if (key == u"Save" || key == u"SaveAs")
        tell(editor_.SaveShownMessage(shownHeader()));
    else if (key == u"Print")
        editor_.PrintText();
    else if (key == u"Cut")
        editor_.CutText();
    else if (key == u"Copy")
        editor_.CopyText();
    else if (key == u"Paste")
        editor_.PasteText();
    else if (key == u"Bold")
        editor_.ToggleStyle(TextStyle::Bold);
    else if (key == u"Italic")
        editor_.ToggleStyle(TextStyle::Italic);
    else if (key == u"Underline")
        editor_.ToggleStyle(TextStyle::Underline);
}

void MailEditorCommands::quickSave()
{
    QLineEdit* marker = screen_.markerBox();
    if (marker->text().isEmpty()) {
        services_.messageBoxes.notify(MailScreen::nothingSelected());
        return;
    }
    const TextQuickSave::Outcome outcome = TextQuickSave::write(form_.paths().quickSaveFolder(), shownHeader(),
        view_.text(), [this] { return services_.messageBoxes.confirmDeletion(TextQuickSave::overwriteQuestion()); });
    switch (outcome.result) {
    case TextQuickSave::Result::Declined:
        marker->clear();
        return;
    case TextQuickSave::Result::FolderMissing:
    case TextQuickSave::Result::Failed:
        // The selection stays, so the export can be tried again once the folder is there.
        services_.messageBoxes.notify(outcome.message, MessageBoxService::Icon::Critical);
        return;
    case TextQuickSave::Result::Written:
        view_.setText(outcome.shownText);
        marker->clear();
        if (!outcome.message.isEmpty())
            services_.messageBoxes.notify(outcome.message, MessageBoxService::Icon::Exclamation);
        return;
    }
}

void MailEditorCommands::copyHeaderField()
{
    services_.clipboard.clear();
    services_.clipboard.setText(copyBox_->text());
}

void MailEditorCommands::search() { editor_.Search(searchBox_->text()); }

MessageHeader MailEditorCommands::shownHeader() const
{
    return {screen_.subjectBox()->text(), screen_.senderBox()->text(), screen_.dateBox()->text()};
}

void MailEditorCommands::tell(const EditorOutcome& outcome)
{
    if (!outcome.error.isEmpty())
        services_.messageBoxes.notify(outcome.error, MessageBoxService::Icon::Critical);
    if (!outcome.notice.isEmpty())
        services_.messageBoxes.notify(outcome.notice, MessageBoxService::Icon::Exclamation);
}
