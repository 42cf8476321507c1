#include "MailLibraries.h"

#include <gmime/gmime.h>

#include <mutex>

namespace MailLibraries {

void ensureInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace MailLibraries
