#include "AccountProfile.h"

#include "ProfileFile.h"
#include "TextHelpers.h"

namespace {
const QString Section = QStringLiteral("EXEINI");
} // namespace

AccountProfile::AccountProfile(const ProgramPaths& paths) : paths_(paths) {}

QString AccountProfile::accountFilePath() const { return paths_.path(u"★MailData/iniIdPass.ini"); }

QString AccountProfile::readId() const { return ProfileFile(accountFilePath()).read(Section, QStringLiteral("NAME")); }

QString AccountProfile::readPassword() const
{
    return ProfileFile(accountFilePath()).read(Section, QStringLiteral("NAME2"));
}

StoreStatus AccountProfile::saveAccount(const QString& id, const QString& password) const
{
    return ProfileFile(accountFilePath())
        .write(Section, {{QStringLiteral("NAME"), id}, {QStringLiteral("NAME2"), password}, {QStringLiteral("NAME3"), QStringLiteral("1")}});
}

StoreStatus AccountProfile::markNotSaved() const
{
    return ProfileFile(accountFilePath()).write(Section, {{QStringLiteral("NAME3"), QStringLiteral("0")}});
}

QString AccountProfile::readSmtpId() const { return ProfileFile(accountFilePath()).read(Section, QStringLiteral("SMTPID")); }

QString AccountProfile::readSmtpPassword() const { return ProfileFile(accountFilePath()).read(Section, QStringLiteral("SMTPPASS")); }

StoreStatus AccountProfile::saveSmtpAccount(const QString& id, const QString& password) const
{
    return ProfileFile(accountFilePath()).write(Section, {{QStringLiteral("SMTPID"), id}, {QStringLiteral("SMTPPASS"), password}});
}

std::array<QString, 10> AccountProfile::readSecondProfile() const
{
    const ProfileFile profile(paths_.path(u"★MailData/iniIdPass2.ini"));
    std::array<QString, 10> values;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QString key = i == 0 ? QStringLiteral("NAME") : QStringLiteral("NAME%1").arg(i + 1);
        values[i] = TrimBlanks(profile.read(Section, key));
    }
    return values;
}
