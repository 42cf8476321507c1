#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class ImportWindow;
class MainForm;

// The "ファイル" menu's ways in and out: "他のメールソフトから取り込む..." opens the import window
// (also for an import a later start hands over), "mbox に書き出す..." writes the folder of the mail
// tab shown as an mbox, "一通を .eml で保存..." the message selected there as an .eml file.
class ImportExportCommands : public QObject {
    Q_OBJECT
public:
    explicit ImportExportCommands(MainForm& form);

    // The import window, opened; sources (may be empty) fill its path box and start at once.
    ImportWindow& openImportWindow(const QStringList& sources = {});

private:
    // An import a later start handed over: run in the import window once no receive or send runs.
    void takeHandedOverImport(const QStringList& sources);
    void exportFolder();
    void saveMessage();
    void recountFolders();

    static constexpr int HandOverRetryMilliseconds = 500;

    MainForm& form_;
    QPointer<ImportWindow> window_;
};
