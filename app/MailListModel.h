#pragma once

#include "FolderListing.h"

#include <QAbstractTableModel>

// The rows of the message list: one per record of the open store file, in record order and never
// sorted, so that row i (0-based) is record i + 1. Cells are decoded only when the view asks for
// them, which keeps a full folder's list to its raw list bytes in memory.
class MailListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit MailListModel(QObject* parent = nullptr);

    void setListing(FolderListing listing);
    void clear();
    const FolderListing& listing() const { return listing_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    FolderListing listing_;
};
