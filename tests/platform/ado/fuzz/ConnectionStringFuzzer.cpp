// libFuzzer target: hostile connection strings (UTF-8) through the parser, the writer and the
// translation to ODBC. Bad input may only raise automation::Error. A string that parses must be
// written back as a string that parses to the same attributes: otherwise a value could end early
// and what follows would become attributes of its own.

#include "platform/ado/ConnectionString.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text =
        automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        const ado::ConnectionString parsed = ado::ConnectionString::Parse(text);
        const ado::ConnectionString again = ado::ConnectionString::Parse(parsed.ToString());
        if (again.Attributes().size() != parsed.Attributes().size()) {
            std::abort();
        }
        for (std::size_t index = 0; index < parsed.Attributes().size(); ++index) {
            if (again.Attributes()[index].value != parsed.Attributes()[index].value) {
                std::abort();
            }
        }
    } catch (const automation::Error&) {
    }
    try {
        static const std::vector<std::u16string> drivers = {u"SQLite3", u"PostgreSQL Unicode", u"FreeTDS"};
        (void)ado::TranslateToOdbc(text, drivers);
    } catch (const automation::Error&) {
    }
    return 0;
}
