#include "MailListModel.h"

#include <utility>

namespace {

QString withoutTrailingBlanks(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == QChar(0x3000)))
        --end;
    text.truncate(end);
    return text;
}

} // namespace

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MailListModel::setListing(FolderListing listing)
{
    beginResetModel();
    listing_ = std::move(listing);
    endResetModel();
}

void MailListModel::clear() { setListing(FolderListing()); }

int MailListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : listing_.rowCount(); }

int MailListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ListColumnCount; }

QVariant MailListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= listing_.rowCount())
        return {};
    // The file pads every field with blanks; shown with them, each short field would end in the
    // view's elision mark instead of its last character.
    return withoutTrailingBlanks(listing_.cell(index.row(), static_cast<ListColumn>(index.column())));
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (static_cast<ListColumn>(section)) {
    case ListColumn::Subject:
        return QStringLiteral("Subject");
    case ListColumn::From:
        return QStringLiteral("From");
    case ListColumn::Date:
        return QStringLiteral("Date");
    }
    return {};
}
