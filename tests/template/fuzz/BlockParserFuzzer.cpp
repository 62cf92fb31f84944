// libFuzzer target: hostile template text (UTF-8) through the block parser: the blocks of the
// text, and a session with its include directives resolved. Syntax errors go to the error text;
// the only exception is the automation error that refuses an include name leaving the template's
// folder; every block must lie inside the text.

#include "FuzzApartment.h"

#include "template/QoParser.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzApartment apartment;
    apartment.Reset();
    const std::u16string text =
        automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    auto parser = automation::MakeRef<QoParser>();
    parser->Parse(text);
    for (std::int32_t block = 1; block <= parser->Count(); ++block) {
        parser->SetBlockID(block);
        if (parser->BlockValue().size() > text.size() || parser->BlockType() < 1 || parser->BlockType() > 6) {
            std::abort();
        }
        (void)parser->BlockName();
        (void)parser->BlockIndent();
    }
    // The session named by the text's first block, and one of a fixed name.
    parser->SetBlockID(1);
    try {
        (void)parser->GetSession(text, parser->BlockName());
        (void)parser->GetSession(text, u"main");
    } catch (const automation::Error& error) {
        if (error.Number() != 52) {
            std::abort();
        }
    }
    return 0;
}
