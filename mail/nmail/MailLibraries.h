#pragma once

// GMime needs one set-up per process before first use; it is done on first use
// and kept for the life of the process, so any number of mail library objects can come and go.
namespace MailLibraries {

void ensureInitialized();

} // namespace MailLibraries
