#pragma once
// The run acts on its list only when no one but the system's own accounts and the
// service's can change the folder, the folders above it or what the service keeps there:
// otherwise whoever can chooses what a LocalSystem service deletes, or replaces the
// service itself.
#include "trust/list_trust.h"

namespace basQuorvaneService {

// Checks the folders above the service's, the folder, the list, the staging folder and
// the log. When one is not trusted, writes the entry that names it (its header carrying
// the error and the system's text for it) and returns false: the run then leaves the list
// and every listed file alone.
bool ListIsTrusted(const trust::ServicePlaces& places);

// What the last check found, for the run's report: untrusted object and account.
const trust::ListTrust& LastTrustVerdict();

}  // namespace basQuorvaneService
