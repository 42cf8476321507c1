#include "PictureList.h"

#include <QDir>

PictureList::PictureList(const QString& folder) : folder_(folder)
{
    files_ = QDir(folder).entryList(nameFilters(), QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    current_ = files_.isEmpty() ? -1 : 0;
}

QString PictureList::currentPath() const { return current_ < 0 ? QString() : QDir(folder_).filePath(files_.at(current_)); }

void PictureList::next()
{
    if (!files_.isEmpty())
        current_ = (current_ + 1) % count();
}

void PictureList::previous()
{
    if (!files_.isEmpty())
        current_ = (current_ - 1 + count()) % count();
}

QStringList PictureList::nameFilters()
{
    return {QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.bmp"), QStringLiteral("*.gif")};
}
