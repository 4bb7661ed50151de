#pragma once
// The run acts on its list only when no one but the system's own accounts and the
// service's can write the folder or the list: otherwise whoever can write them chooses
// what a LocalSystem service deletes, or replaces the service itself.
#include "pendinglist/list_trust.h"

namespace basQuorvaneService {

// Checks the folder and the list. When either is not trusted, writes the entry that
// names it (its header carrying the error and the system's text for it) and returns
// false: the run then leaves the list and every listed file alone.
bool ListIsTrusted();

// What the last check found, for the run's report: untrusted object and account.
const basPendingRebootFiles::ListTrust& LastTrustVerdict();

}  // namespace basQuorvaneService
