// libFuzzer target: hostile registry hive files through the hive reader. A damaged hive may only
// raise automation::Error; a hive that reads must be written and read back to the same text, as
// saving and loading the registry relies on.

#include "platform/registry/HiveFile.h"

#include "platform/automation/Error.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::unique_ptr<registry::Key> root = registry::ParseHive(text, u"fuzz.reg");
        const std::string saved = registry::FormatHive(*root);
        const std::unique_ptr<registry::Key> reread = registry::ParseHive(saved, u"fuzz.reg");
        if (registry::FormatHive(*reread) != saved) {
            std::abort();
        }
    } catch (const automation::Error&) {
    }
    return 0;
}
