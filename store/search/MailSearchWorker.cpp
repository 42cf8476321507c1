#include "MailSearchWorker.h"

#include "FolderFiles.h"

MailSearchWorker::MailSearchWorker(const ProgramPaths& paths, std::atomic<bool>& ready, std::atomic<bool>& stop,
    std::atomic<bool>& catchUpPending)
    : paths_(paths), index_(paths.dataFile(SearchIndex::fileName())), ready_(ready), stop_(stop),
      catchUpPending_(catchUpPending)
{
}

void MailSearchWorker::start()
{
    opened_ = index_.open().ok();
    catchUp();
}

void MailSearchWorker::catchUp()
{
    catchUpPending_ = false;
    if (!opened_)
        return;
    if (catchUpOnce())
        return;
    // What cannot be written or read is started anew once; should that fail too, searches go on
    // reading the store files.
    ready_ = false;
    opened_ = index_.startAnew().ok();
    if (opened_ && !stop_)
        catchUpOnce();
}

bool MailSearchWorker::catchUpOnce()
{
    int total = 0;
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
        const auto records = index_.recordsToIndex(paths_, folder);
        if (!records.ok())
            return false;
        total += records.value();
    }
    if (total > QuietCatchUp) {
        ready_ = false;
        emit progress(0, total);
    }
    int done = 0;
    const auto step = [&] {
        ++done;
        if (total > QuietCatchUp && done % 100 == 0)
            emit progress(done, total);
    };
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
        if (stop_)
            return true;
        if (!index_.catchUp(paths_, folder, step, &stop_).ok())
            return false;
    }
    ready_ = true;
    emit progress(total, total);
    return true;
}

void MailSearchWorker::search(quint64 generation, const QStringList& words, int rowLimit)
{
    const auto result = index_.search(words, rowLimit);
    if (result.ok()) {
        emit found(generation, result.value(), QString());
        return;
    }
    // An index that cannot be read is built anew; the caller reads the store files meanwhile.
    ready_ = false;
    emit found(generation, SearchResult{}, result.error());
    opened_ = index_.startAnew().ok();
    if (opened_)
        catchUpOnce();
}
