#include "support/list_writer.h"

#include <stdexcept>

#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_format.h"

namespace testing_support {

std::string ListFileBytes(const std::vector<ListedFile>& entries) {
    using namespace basPendingRebootFiles;
    PendingRebootList list;
    list.Header = kListHeader;
    list.Version = kListVersion;
    for (const ListedFile& e : entries) list.Append(e.path, e.extra, e.flag);
    std::string bytes;
    if (!WriteListBytes(list, SystemCodec(), bytes)) throw std::runtime_error("list too long");
    return bytes;
}

}  // namespace testing_support
