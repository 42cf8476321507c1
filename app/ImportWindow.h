#pragma once

#include "FileDialogs.h"
#include "MailImport.h"
#include "NMailApi.h"
#include "ProgramPaths.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>

#include <array>
#include <memory>
#include <thread>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// "他のメールソフトから取り込む": the sources, the choice to drop spam, and while the import runs a
// progress bar with the count and the time left and "中止"; the summary at the end. The import
// runs on a thread of its own so that the window answers meanwhile; the window is modal, so
// nothing else of the program writes the store or uses the mail library until it is done.
class ImportWindow : public QDialog {
    Q_OBJECT
public:
    ImportWindow(const ProgramPaths& paths, NMailApi& mail, FileDialogs& fileDialogs,
        std::array<QString, 9> sortingAddresses, QString ownAddress, QWidget* parent = nullptr);
    ~ImportWindow() override;

    void setSources(const QStringList& sources);
    // Starts importing the sources in the path box; nothing when it is empty or an import runs.
    void start();
    bool isRunning() const { return worker_.joinable(); }

    // "12 / 100 通　残り約 8 秒"; without the time left when no time has passed (a stopped import's end).
    static QString countText(int done, int total, qint64 elapsedMilliseconds);

signals:
    // The import ended and its records are stored: the folders' counts have changed.
    void importFinished();

protected:
    // Esc and the close button stop a running import, and close the window once it has ended.
    void reject() override;

private:
    void chooseFile();
    void showProgress(int done, int total);
    void finish();

    const ProgramPaths& paths_;
    NMailApi& mail_;
    FileDialogs& fileDialogs_;
    std::array<QString, 9> sortingAddresses_;
    QString ownAddress_;

    QLineEdit* pathBox_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QCheckBox* spamCheck_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPlainTextEdit* summaryText_ = nullptr;
    QPushButton* closeButton_ = nullptr;

    std::unique_ptr<MailImport> import_;
    MailImport::Summary summary_;
    std::thread worker_;
    QElapsedTimer elapsed_;
    bool closeWhenDone_ = false;
};
