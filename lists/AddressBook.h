#pragma once

#include "ProgramPaths.h"
#include "Record.h"
#include "RecordFile.h"
#include "StoreResult.h"

#include <QList>
#include <QString>
#include <QStringView>

// One entry as the file holds it: both fields untrimmed, the name with its padding.
struct AddressEntry {
    int recordNumber = 0;
    QString name;
    QString address;
};

// The address book vbmdata20.data: names and mail addresses in the order they were registered.
class AddressBook {
public:
    // The name is padded with full-width spaces up to this many characters.
    static constexpr int NameCharacters = 30;
    static constexpr int NameBoxBytes = 30;
    static constexpr int AddressBoxBytes = 60;

    explicit AddressBook(const ProgramPaths& paths);

    RecordFile file() const;
    QString temporaryPath() const;

    // Every record in file order; a missing file is created empty.
    StoreResult<QList<AddressEntry>> entries() const;
    // Record n, or std::nullopt when the file holds no such record.
    StoreResult<std::optional<Record>> read(int recordNumber) const;
    // Writes name and address as typed as record n (StoreAddressRecord).
    StoreStatus StoreAddressRecord(int recordNumber, QStringView name, QStringView address) const;
    // Writes an entry as the next record (file length / 184 + 1) and returns its number; refused
    // with bookFull(), nothing written, once the book holds as many entries as can be listed.
    StoreResult<int> RegisterAddress(QStringView name, QStringView address) const;
    // Marks record n for removal when remove is true, then compacts in either case (CompactAddressBook).
    StoreStatus DeleteAddress(int recordNumber, bool remove) const;
    // Keeps the live records in order; the file is replaced whole or not at all.
    StoreStatus CompactAddressBook() const;
    // The address of every entry in file order, trailing spaces removed, for a bulk send.
    StoreResult<QStringList> recipients() const;

    static QString bookFull();
    static Record addressRecord(QStringView name, QStringView address);
    // The typed name followed by full-width spaces up to 30 characters.
    static QString paddedName(QStringView name);
    // The display name, one space and the address in angle brackets.
    static QString withCardName(QStringView cardName, QStringView address);

private:
    const ProgramPaths& paths_;
};
