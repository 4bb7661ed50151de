#pragma once
// Descriptors written as the platform writes them out (SDDL, as icacls and Get-Acl show
// them), turned into the entry lists the judgements take. The tests' notation only: the
// product reads the binary descriptor. Free of the Windows API, for the host tests too.
#include <optional>
#include <string>
#include <string_view>

#include "trust/access_entries.h"

namespace testing_support {

// The owner and the DACL of `sddl` ("O:", "G:", "D:", "S:" in any order, each at most
// once; the group and the SACL are read and dropped). Nothing for text the platform's
// reader would refuse. A "D:" absent or "NO_ACCESS_CONTROL" gives no DACL. Kinds other
// than "A" and "D" (object, callback) become EntryKind::Other.
std::optional<trust::SecurityFacts> FactsFromSddl(std::wstring_view sddl);

// FactsFromSddl for text a test knows to be good; a test that hands in bad text fails.
trust::SecurityFacts Facts(std::wstring_view sddl);

// An SDDL account as a SID string: "SY" gives "S-1-5-18", a SID string comes back in
// upper case. A domain-relative alias ("DA", "LA"...) stays as written, since its SID
// depends on the domain; empty for text that names no account.
std::wstring SidOfSddlAccount(std::wstring_view account);

}  // namespace testing_support
