#pragma once

#include "ProgramPaths.h"
#include "SearchResult.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

class MailSearchWorker;

// Searching all mail for the window that asks: from the index while it is up to date, by reading
// the store files while it is missing or being rebuilt. Both run off the caller's thread; the
// answer to the latest query comes as found(), earlier ones are dropped.
class MailSearch : public QObject {
    Q_OBJECT
public:
    // Rows handed over per search; the count covers every message found.
    static constexpr int RowLimit = 1000;

    explicit MailSearch(const ProgramPaths& paths, QObject* parent = nullptr);
    ~MailSearch() override;

    // Opens the index and brings it up to date in the background.
    void start();
    // Searches for every blank-separated word of the query.
    void search(const QString& query);
    // A store file changed (a receive stored, a message was sent or deleted): the index follows.
    void storeChanged();
    bool indexReady() const { return ready_; }

signals:
    void found(const QString& query, const SearchResult& result, const QString& error);
    // Records indexed of those the index has to catch up with; done == total when it is up to date.
    void indexProgress(int done, int total);

private:
    void scan(quint64 generation, const QString& query, const QStringList& words);
    void deliver(quint64 generation, const SearchResult& result, const QString& error);

    ProgramPaths paths_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> catchUpPending_{false};
    QThread thread_;
    MailSearchWorker* worker_;
    QThreadPool scans_;
    std::shared_ptr<std::atomic<bool>> cancelScan_;
    quint64 generation_ = 0;
    QString query_;
};
