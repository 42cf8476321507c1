#pragma once

#include "NMail.h"

#include <QString>

// The library's words for its last failure, as the program shows them.
inline QString lastLibraryMessage(NMail& mail)
{
    QString text;
    (void)mail.NMailGetMessage(0, text, 8192);
    return text;
}
