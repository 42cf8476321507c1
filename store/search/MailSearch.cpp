#include "MailSearch.h"

#include "MailScan.h"
#include "MailSearchWorker.h"
#include "SearchFolding.h"

MailSearch::MailSearch(const ProgramPaths& paths, QObject* parent)
    : QObject(parent), paths_(paths), worker_(new MailSearchWorker(paths_, ready_, stop_, catchUpPending_))
{
    qRegisterMetaType<SearchResult>();
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &MailSearchWorker::progress, this, &MailSearch::indexProgress);
    connect(worker_, &MailSearchWorker::found, this, [this](quint64 generation, const SearchResult& result, const QString& error) {
        if (generation != generation_)
            return;
        if (error.isEmpty())
            emit found(query_, result, error);
        else
            scan(generation, query_, SearchFolding::queryWords(query_));
    });
    scans_.setMaxThreadCount(1);
    thread_.setObjectName(QStringLiteral("MailSearch"));
}

MailSearch::~MailSearch()
{
    stop_ = true;
    if (cancelScan_)
        *cancelScan_ = true;
    thread_.quit();
    thread_.wait();
    scans_.waitForDone();
}

void MailSearch::start()
{
    if (thread_.isRunning())
        return;
    thread_.start(QThread::LowPriority);
    QMetaObject::invokeMethod(worker_, &MailSearchWorker::start, Qt::QueuedConnection);
}

void MailSearch::storeChanged()
{
    if (!thread_.isRunning() || catchUpPending_.exchange(true))
        return;
    QMetaObject::invokeMethod(worker_, &MailSearchWorker::catchUp, Qt::QueuedConnection);
}

void MailSearch::search(const QString& query)
{
    const quint64 generation = ++generation_;
    query_ = query;
    if (cancelScan_)
        *cancelScan_ = true;
    const QStringList words = SearchFolding::queryWords(query);
    if (words.isEmpty()) {
        emit found(query, SearchResult{}, QString());
        return;
    }
    if (ready_) {
        QMetaObject::invokeMethod(worker_, [worker = worker_, generation, words] { worker->search(generation, words, RowLimit); },
            Qt::QueuedConnection);
        return;
    }
    scan(generation, query, words);
}

void MailSearch::scan(quint64 generation, const QString& query, const QStringList& words)
{
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelScan_ = cancel;
    scans_.start([this, generation, query, words, cancel, paths = paths_] {
        const auto result = MailScan::search(paths, words, RowLimit, cancel.get());
        if (*cancel)
            return;
        const SearchResult found = result.ok() ? result.value() : SearchResult{};
        const QString error = result.ok() ? QString() : result.error();
        QMetaObject::invokeMethod(this, [this, generation, found, error] { deliver(generation, found, error); },
            Qt::QueuedConnection);
    });
}

void MailSearch::deliver(quint64 generation, const SearchResult& result, const QString& error)
{
    if (generation == generation_)
        emit found(query_, result, error);
}
