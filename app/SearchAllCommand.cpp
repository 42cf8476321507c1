#include "SearchAllCommand.h"

#include "FolderFiles.h"
#include "MailScreen.h"
#include "MailSearch.h"
#include "MainForm.h"
#include "SearchAllForm.h"
#include "TabStrip.h"
#include "WidgetNames.h"

#include <QAction>
#include <QLineEdit>
#include <QScreen>

namespace Names = WidgetNames;

SearchAllCommand::SearchAllCommand(MainForm& form) : QObject(&form), form_(form)
{
    auto* action = form_.findChild<QAction*>(Names::mSearchAll);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    // Added to the window itself, the shortcut works on the screens whose menus are disabled.
    action->setShortcutContext(Qt::WindowShortcut);
    form_.addAction(action);
    connect(action, &QAction::triggered, this, &SearchAllCommand::open);
    connect(&form_, &MainForm::storeChanged, this, [this] {
        if (search_) {
            search_->storeChanged();
            window_->searchAgainSoon();
        }
    });
}

SearchAllCommand::~SearchAllCommand() { delete window_.data(); }

void SearchAllCommand::open()
{
    if (!search_) {
        search_ = new MailSearch(form_.paths(), this);
        // As its tab names it; a sorting folder whose rule has no name yet by its number.
        auto folderName = [this](int folder) {
            const QString caption = form_.tabStrip().tabText(MainForm::FirstMailTab + folder - 1).trimmed();
            return caption.isEmpty() ? QStringLiteral("フォルダ%1").arg(folder) : caption;
        };
        window_ = new SearchAllForm(folderName, &form_);
        connect(window_, &SearchAllForm::searchRequested, search_, &MailSearch::search);
        connect(search_, &MailSearch::found, window_, &SearchAllForm::showResult);
        connect(search_, &MailSearch::indexProgress, window_, &SearchAllForm::showIndexProgress);
        connect(window_, &SearchAllForm::messageChosen, this, &SearchAllCommand::showMessage);
        search_->start();
        // Beside the main window where the screen has room, so that both stay in sight.
        const QRect main = form_.frameGeometry();
        const QPoint beside(main.right() + 1, main.top());
        if (const QScreen* screen = form_.screen(); screen && beside.x() + window_->width() <= screen->availableGeometry().right())
            window_->move(beside);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->queryBox()->setFocus();
    window_->queryBox()->selectAll();
}

void SearchAllCommand::showMessage(int folder, int recordNumber)
{
    if (!FolderFiles::isFolder(folder) || form_.isOperationInProgress())
        return;
    form_.tabStrip().activateTab(MainForm::FirstMailTab + folder - 1);
    qobject_cast<MailScreen*>(form_.screenFrame(MainForm::Screen::Mail))->showRecord(recordNumber);
}
