#pragma once

#include <QString>
#include <QStringList>

// The pictures of one folder in name order, with a current one that steps forward and back and
// wraps at either end.
class PictureList {
public:
    explicit PictureList(const QString& folder);

    bool isEmpty() const { return files_.isEmpty(); }
    int count() const { return static_cast<int>(files_.size()); }
    // 0-based; -1 when the folder holds no pictures.
    int currentIndex() const { return current_; }
    QString currentPath() const;

    void next();
    void previous();

    // The file name patterns of the picture formats the viewer reads.
    static QStringList nameFilters();

private:
    QString folder_;
    QStringList files_;
    int current_ = -1;
};
