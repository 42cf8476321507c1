#include "ImportExportCommands.h"

#include "FolderFiles.h"
#include "ImportWindow.h"
#include "MainForm.h"
#include "MboxExport.h"
#include "WidgetNames.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QTimer>

namespace Names = WidgetNames;

ImportExportCommands::ImportExportCommands(MainForm& form) : QObject(&form), form_(form)
{
    const auto onMenu = [this](const QString& name, auto&& handler) {
        if (auto* action = form_.findChild<QAction*>(name))
            connect(action, &QAction::triggered, this, handler);
    };
    onMenu(Names::mImport, [this] { (void)openImportWindow(); });
    onMenu(Names::mExport, [this] { exportFolder(); });
    onMenu(Names::mSaveEml, [this] { saveMessage(); });
    connect(&form_, &MainForm::importHandedOver, this, &ImportExportCommands::takeHandedOverImport);
}

void ImportExportCommands::takeHandedOverImport(const QStringList& sources)
{
    // A receive or a send uses the store and the mail library until it ends: the import waits.
    if (form_.isOperationInProgress()) {
        QTimer::singleShot(HandOverRetryMilliseconds, this, [this, sources] { takeHandedOverImport(sources); });
        return;
    }
    (void)openImportWindow(sources);
}

ImportWindow& ImportExportCommands::openImportWindow(const QStringList& sources)
{
    if (!window_) {
        Services& services = form_.services();
        window_ = new ImportWindow(form_.paths(), services.mail, services.fileDialogs, form_.sortingAddresses(),
            form_.Settings.MailAddress, &form_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &ImportWindow::importFinished, this, &ImportExportCommands::recountFolders);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    // A second hand-over while one import runs waits for the user: the window shows the first.
    if (!sources.isEmpty() && !window_->isRunning()) {
        window_->setSources(sources);
        window_->start();
    }
    return *window_;
}

void ImportExportCommands::recountFolders()
{
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::OthersFolder; ++folder) {
        if (const auto count = FolderFiles::folderFile(form_.paths(), folder).recordCount(); count.ok())
            form_.setPastCounter(folder, QString::number(count.value()));
    }
    emit form_.storeChanged();
    // The list shown is listed again, with what the import added to it.
    if (form_.screenFrame(MainForm::Screen::Mail)->isVisible() && FolderFiles::isFolder(form_.CurrentFolder))
        form_.onTabClicked(MainForm::FirstMailTab + form_.CurrentFolder - 1);
}

void ImportExportCommands::exportFolder()
{
    const int folder = form_.CurrentFolder;
    Services& services = form_.services();
    if (!FolderFiles::isFolder(folder))
        return;
    const auto file = services.fileDialogs.saveFileName(QStringLiteral("mbox ファイル(*.mbox)|*.mbox"), true);
    if (!file)
        return;
    const auto written = MboxExport(form_.paths(), form_.Settings.MailAddress).writeFolder(folder, *file);
    if (!written.ok()) {
        services.messageBoxes.notify(QStringLiteral("書き出せませんでした。\r\n%1").arg(written.error()), MessageBoxService::Icon::Exclamation);
        return;
    }
    services.messageBoxes.notify(QStringLiteral("%1 通を %2 に書き出しました。").arg(written.value()).arg(QDir::toNativeSeparators(*file)));
}

void ImportExportCommands::saveMessage()
{
    const int folder = form_.CurrentFolder;
    Services& services = form_.services();
    // Row n of the list is record n + 1 of the folder, as for every other action on the selection.
    const auto* list = form_.findChild<QAbstractItemView*>(Names::MailListView);
    const QModelIndexList selected = list && list->selectionModel() ? list->selectionModel()->selectedRows() : QModelIndexList();
    const int recordNumber = FolderFiles::isFolder(folder) && !selected.isEmpty() ? selected.first().row() + 1 : 0;
    if (recordNumber == 0) {
        services.messageBoxes.notify(QStringLiteral("保存するメールを一覧で選んでください。"));
        return;
    }
    const auto file = services.fileDialogs.saveFileName(QStringLiteral("eml ファイル(*.eml)|*.eml"), true);
    if (!file)
        return;
    if (const StoreStatus saved = MboxExport(form_.paths(), form_.Settings.MailAddress).writeMessage(folder, recordNumber, *file); !saved.ok())
        services.messageBoxes.notify(QStringLiteral("保存できませんでした。\r\n%1").arg(saved.error()), MessageBoxService::Icon::Exclamation);
}
