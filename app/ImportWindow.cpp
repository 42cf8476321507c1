#include "ImportWindow.h"

#include "SortRuleBook.h"
#include "SpamKeywordList.h"
#include "WidgetNames.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <utility>

namespace Names = WidgetNames;

ImportWindow::ImportWindow(const ProgramPaths& paths, NMailApi& mail, FileDialogs& fileDialogs,
    std::array<QString, 9> sortingAddresses, QString ownAddress, QWidget* parent)
    : QDialog(parent)
    , paths_(paths)
    , mail_(mail)
    , fileDialogs_(fileDialogs)
    , sortingAddresses_(std::move(sortingAddresses))
    , ownAddress_(std::move(ownAddress))
{
    setObjectName(Names::ImportWindow);
    setWindowTitle(QStringLiteral("他のメールソフトから取り込む"));
    setWindowModality(Qt::ApplicationModal);
    auto* grid = new QGridLayout(this);
    auto* pathLabel = new QLabel(QStringLiteral("取り込むもの（mbox ファイル、Maildir、.eml ファイル、それらのあるフォルダ。複数は「;」で区切る）:"), this);
    pathLabel->setWordWrap(true);
    pathBox_ = new QLineEdit(this);
    pathBox_->setObjectName(Names::ImportPathText);
    pathLabel->setBuddy(pathBox_);
    chooseButton_ = new QPushButton(QStringLiteral("ファイルを選ぶ..."), this);
    chooseButton_->setObjectName(Names::ImportChooseFile);
    spamCheck_ = new QCheckBox(QStringLiteral("迷惑メールを削除する（迷惑メールのキーワードに当たるメールを取り込まない）"), this);
    spamCheck_->setObjectName(Names::ImportSpamCheck);
    startButton_ = new QPushButton(QStringLiteral("取り込む"), this);
    startButton_->setObjectName(Names::ImportStart);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(Names::ImportProgress);
    progress_->setAccessibleName(QStringLiteral("取り込みの進み具合"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(Names::ImportCountLabel);
    stopButton_ = new QPushButton(QStringLiteral("中止"), this);
    stopButton_->setObjectName(Names::ImportStop);
    stopButton_->setEnabled(false);
    summaryText_ = new QPlainTextEdit(this);
    summaryText_->setObjectName(Names::ImportSummaryText);
    summaryText_->setAccessibleName(QStringLiteral("取り込みの結果"));
    summaryText_->setReadOnly(true);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton_->setObjectName(Names::ImportClose);

    grid->addWidget(pathLabel, 0, 0, 1, 3);
    grid->addWidget(pathBox_, 1, 0, 1, 2);
    grid->addWidget(chooseButton_, 1, 2);
    grid->addWidget(spamCheck_, 2, 0, 1, 2);
    grid->addWidget(startButton_, 2, 2);
    grid->addWidget(progress_, 3, 0, 1, 2);
    grid->addWidget(stopButton_, 3, 2);
    grid->addWidget(countLabel_, 4, 0, 1, 3);
    grid->addWidget(summaryText_, 5, 0, 1, 3);
    grid->addWidget(closeButton_, 6, 2);
    resize(640, 360);

    connect(chooseButton_, &QPushButton::clicked, this, &ImportWindow::chooseFile);
    connect(startButton_, &QPushButton::clicked, this, &ImportWindow::start);
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        if (import_)
            import_->stop();
        countLabel_->setText(QStringLiteral("中止しています..."));
    });
    connect(closeButton_, &QPushButton::clicked, this, &ImportWindow::reject);
}

ImportWindow::~ImportWindow()
{
    if (worker_.joinable()) {
        import_->stop();
        worker_.join();
    }
}

void ImportWindow::setSources(const QStringList& sources)
{
    QStringList shown;
    for (const QString& source : sources)
        shown << QDir::toNativeSeparators(source);
    pathBox_->setText(shown.join(u';'));
}

QString ImportWindow::countText(int done, int total, qint64 elapsedMilliseconds)
{
    QString text = QStringLiteral("%1 / %2 通").arg(done).arg(total);
    if (done > 0 && done < total && elapsedMilliseconds > 0) {
        const qint64 left = elapsedMilliseconds * (total - done) / done / 1000;
        text += left >= 60 ? QStringLiteral("　残り約 %1 分 %2 秒").arg(left / 60).arg(left % 60)
                           : QStringLiteral("　残り約 %1 秒").arg(left);
    }
    return text;
}

void ImportWindow::chooseFile()
{
    if (const auto chosen = fileDialogs_.openFileName(QStringLiteral("メールのファイル(*.mbox,*.eml,*.*)|*.*")))
        setSources({*chosen});
}

void ImportWindow::start()
{
    if (isRunning())
        return;
    QStringList sources;
    for (const QString& part : pathBox_->text().split(u';', Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty())
            sources << QDir::fromNativeSeparators(part.trimmed());
    }
    if (sources.isEmpty()) {
        summaryText_->setPlainText(QStringLiteral("取り込むファイルかフォルダを指定してください。"));
        return;
    }
    import_ = std::make_unique<MailImport>(paths_, mail_, sortingAddresses_, ownAddress_);
    if (spamCheck_->isChecked()) {
        // A keyword file that cannot be read condemns nothing, as in a receive.
        if (auto matcher = SpamKeywordList(paths_).ReadMatcher(); matcher.ok())
            import_->setSpamTest([keywords = std::move(matcher.value())](const QString& subject, const QString& sender, const QString& body) {
                return keywords.firstHit(subject, sender, body).has_value();
            });
    }
    for (QWidget* control : {static_cast<QWidget*>(pathBox_), static_cast<QWidget*>(chooseButton_), static_cast<QWidget*>(spamCheck_),
             static_cast<QWidget*>(startButton_), static_cast<QWidget*>(closeButton_)})
        control->setEnabled(false);
    stopButton_->setEnabled(true);
    stopButton_->setFocus();
    summaryText_->setPlainText(QStringLiteral("メールを探しています..."));
    progress_->setRange(0, 0);
    countLabel_->clear();
    elapsed_.start();
    worker_ = std::thread([this, sources] {
        summary_ = import_->run(sources, [this](int done, int total) {
            QMetaObject::invokeMethod(this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(this, &ImportWindow::finish, Qt::QueuedConnection);
    });
}

void ImportWindow::showProgress(int done, int total)
{
    if (!isRunning())
        return;
    if (progress_->maximum() != total) {
        progress_->setRange(0, total);
        summaryText_->setPlainText(QStringLiteral("%1 通のメールを取り込んでいます...").arg(total));
    }
    progress_->setValue(done);
    if (import_ && countLabel_->text() != QStringLiteral("中止しています..."))
        countLabel_->setText(countText(done, total, elapsed_.elapsed()));
}

void ImportWindow::finish()
{
    worker_.join();
    progress_->setRange(0, std::max(1, summary_.found));
    progress_->setValue(summary_.stopped ? progress_->value() : std::max(1, summary_.found));
    countLabel_->setText(countText(summary_.stored() + summary_.alreadyThere + summary_.spamDropped, summary_.found, 0));
    const auto names = SortRuleBook(paths_).names();
    QStringList lines{summary_.line(names.ok() ? names.value() : QStringList())};
    if (!summary_.failure.isEmpty())
        lines << QStringLiteral("取り込みを途中で終えました: %1").arg(summary_.failure);
    if (!summary_.refused.isEmpty())
        lines << QStringLiteral("取り込めなかったもの:") << summary_.refused;
    if (!summary_.keptWhole.isEmpty())
        lines << QStringLiteral("元のメール全体を添付フォルダに保存したもの:") << summary_.keptWhole;
    summaryText_->setPlainText(lines.join(u'\n'));
    for (QWidget* control : {static_cast<QWidget*>(pathBox_), static_cast<QWidget*>(chooseButton_), static_cast<QWidget*>(spamCheck_),
             static_cast<QWidget*>(startButton_), static_cast<QWidget*>(closeButton_)})
        control->setEnabled(true);
    stopButton_->setEnabled(false);
    closeButton_->setFocus();
    emit importFinished();
    if (closeWhenDone_)
        QDialog::reject();
}

void ImportWindow::reject()
{
    if (!isRunning()) {
        QDialog::reject();
        return;
    }
    closeWhenDone_ = true;
    import_->stop();
}
