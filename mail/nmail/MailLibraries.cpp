#include "MailLibraries.h"

#include <curl/curl.h>
#include <gmime/gmime.h>

#include <mutex>

namespace MailLibraries {

void ensureInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

} // namespace MailLibraries
