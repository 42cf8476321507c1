#include "StoreResult.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A failure never reads as success, whatever words it came with and however it is passed on: a
// caller that deletes mail on the server once its store step is "ok" relies on it.
TEST(StoreResultTest, AFailureStaysAFailureWithWordsToShow)
{
    struct Case {
        const char* name;
        std::function<StoreStatus()> made;
        QString says;
    };
    const QString unexplained = StoreStatus::unexplainedFailure();
    const Case cases[] = {
        {"with words", [] { return StoreStatus::failure(QStringLiteral("書けません")); }, QStringLiteral("書けません")},
        {"without words", [] { return StoreStatus::failure(QString()); }, unexplained},
        {"passed through a result", [] { return StoreResult<int>(StoreStatus::failure(QString())).status(); }, unexplained},
        // A success where a failure belongs has no value to stand for: still a failure.
        {"a success handed to a result", [] { return StoreResult<int>(StoreStatus::success()).status(); }, unexplained},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StoreStatus status = c.made();
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(status.error(), c.says);
    }
    EXPECT_TRUE(StoreStatus::success().ok());
    EXPECT_TRUE(StoreResult<int>(0).status().ok());
}

} // namespace
