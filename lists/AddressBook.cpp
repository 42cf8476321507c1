#include "AddressBook.h"

#include "RecordLayouts.h"

using RecordLayouts::AddressField;

AddressBook::AddressBook(const ProgramPaths& paths) : paths_(paths) {}

RecordFile AddressBook::file() const { return RecordFile(paths_.dataFile(QStringLiteral("vbmdata20.data")), RecordLayouts::Address); }

QString AddressBook::temporaryPath() const { return paths_.dataFile(QStringLiteral("VBMDATA20.TMP")); }

QString AddressBook::paddedName(QStringView name)
{
    QString padded = name.toString();
    if (padded.size() < NameCharacters)
        padded.append(QString(NameCharacters - padded.size(), QChar(0x3000)));
    return padded;
}

QString AddressBook::withCardName(QStringView cardName, QStringView address)
{
    return cardName.toString() + QStringLiteral(" <") + address.toString() + u'>';
}

Record AddressBook::addressRecord(QStringView name, QStringView address)
{
    Record record(RecordLayouts::Address);
    record.setText(AddressField::Name, paddedName(name));
    record.setText(AddressField::Address, address);
    return record;
}

StoreResult<QList<AddressEntry>> AddressBook::entries() const
{
    QList<AddressEntry> found;
    const StoreStatus status = file().forEach([&](int recordNumber, std::string_view bytes) {
        const Record record(RecordLayouts::Address, std::string(bytes));
        found.append({recordNumber, record.text(AddressField::Name), record.text(AddressField::Address)});
        return true;
    });
    if (!status.ok())
        return status;
    return found;
}

StoreResult<std::optional<Record>> AddressBook::read(int recordNumber) const { return file().read(recordNumber); }

StoreStatus AddressBook::StoreAddressRecord(int recordNumber, QStringView name, QStringView address) const
{
    return file().write(recordNumber, addressRecord(name, address));
}

QString AddressBook::bookFull()
{
    return QStringLiteral("アドレス帳は満杯です（最大 %1 件）。これ以上登録できません。").arg(RecordFile::Capacity);
}

StoreResult<int> AddressBook::RegisterAddress(QStringView name, QStringView address) const
{
    const auto next = file().nextRecordNumber();
    if (!next.ok())
        return next;
    if (next.value() > RecordFile::Capacity)
        return StoreStatus::failure(bookFull());
    if (StoreStatus stored = StoreAddressRecord(next.value(), name, address); !stored.ok())
        return stored;
    return next;
}

StoreStatus AddressBook::DeleteAddress(int recordNumber, bool remove) const
{
    if (remove) {
        const RecordFile book = file();
        const auto stored = book.read(recordNumber);
        if (!stored.ok())
            return stored.status();
        // A row whose record has gone meanwhile has nothing to mark; writing it would lengthen the file.
        if (stored.value()) {
            Record marked = *stored.value();
            marked.setLive(0);
            if (StoreStatus written = book.write(recordNumber, marked); !written.ok())
                return written;
        }
    }
    return CompactAddressBook();
}

StoreStatus AddressBook::CompactAddressBook() const
{
    const RecordFile book = file();
    if (StoreStatus created = book.ensureExists(); !created.ok())
        return created;
    return book.compact(temporaryPath());
}

StoreResult<QStringList> AddressBook::recipients() const
{
    const auto all = entries();
    if (!all.ok())
        return all.status();
    QStringList addresses;
    for (const AddressEntry& entry : all.value()) {
        QString address = entry.address;
        while (address.endsWith(u' '))
            address.chop(1);
        addresses.append(address);
    }
    return addresses;
}
