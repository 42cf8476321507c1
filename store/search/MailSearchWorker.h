#pragma once

#include "ProgramPaths.h"
#include "SearchIndex.h"
#include "SearchResult.h"

#include <QObject>
#include <QStringList>

#include <atomic>

// The index's own thread: opening it, bringing it up to date with the store files and answering
// searches from it. Lives on a thread of MailSearch; nothing here runs on the window's thread.
class MailSearchWorker : public QObject {
    Q_OBJECT
public:
    // Up to this many records are indexed with the index still answering; more (a new index, a
    // folder indexed anew after a deletion) and searches read the store files until it is done.
    static constexpr int QuietCatchUp = 200;

    MailSearchWorker(const ProgramPaths& paths, std::atomic<bool>& ready, std::atomic<bool>& stop,
        std::atomic<bool>& catchUpPending);

    // Opens the index and brings every folder up to date.
    void start();
    // Brings every folder that changed up to date.
    void catchUp();
    void search(quint64 generation, const QStringList& words, int rowLimit);

signals:
    void found(quint64 generation, const SearchResult& result, const QString& error);
    // Records indexed of those the current catch-up has to index; done == total when it ends.
    void progress(int done, int total);

private:
    bool catchUpOnce();

    ProgramPaths paths_;
    SearchIndex index_;
    bool opened_ = false;
    std::atomic<bool>& ready_;
    std::atomic<bool>& stop_;
    std::atomic<bool>& catchUpPending_;
};
