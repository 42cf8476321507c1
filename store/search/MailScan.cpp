#include "MailScan.h"

#include "FolderFiles.h"
#include "Record.h"
#include "SearchDocument.h"
#include "SearchFolding.h"

#include <algorithm>

namespace MailScan {

StoreResult<SearchResult> search(const ProgramPaths& paths, const QStringList& words, int rowLimit,
    const std::atomic<bool>* cancel)
{
    QList<SearchHit> hits;
    if (words.isEmpty())
        return SearchResult{};
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
        const RecordFile file = FolderFiles::folderFile(paths, folder);
        const StoreStatus read = file.forEach([&](int recordNumber, std::string_view bytes) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            if (Record::liveOf(file.layout(), bytes) == 0)
                return true;
            SearchDocument document = SearchDocument::fromRecord(folder, recordNumber, bytes);
            if (SearchFolding::holdsAll(document.foldedText, words))
                hits.append(std::move(document.hit));
            return true;
        });
        if (!read.ok())
            return read;
    }
    SearchResult result;
    result.count = static_cast<int>(hits.size());
    const auto shown = std::min<qsizetype>(hits.size(), rowLimit);
    std::partial_sort(hits.begin(), hits.begin() + shown, hits.end(), SearchHit::newerFirst);
    hits.resize(shown);
    result.rows = std::move(hits);
    return result;
}

} // namespace MailScan
