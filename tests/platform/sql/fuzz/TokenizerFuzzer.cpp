// libFuzzer target: hostile SQL text through the tokenizer of every dialect and the readers that
// walk its tokens. The first byte picks the dialect; the rest is UTF-8 text. Tokenizing never
// fails, so every token must lie inside the text and the list must end with one End token.

#include "platform/sql/SqlTokens.h"

#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto dialect = static_cast<sql::SqlDialect>(1 + data[0] % 4);
    const std::u16string text =
        automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    const sql::SqlTokens result = sql::TokenizeSql(text, dialect);
    const auto& tokens = result.tokens;
    if (tokens.empty() || tokens.back().kind != sql::SqlTokenKind::End) {
        std::abort();
    }
    for (std::size_t index = 0; index < tokens.size(); ++index) {
        const sql::SqlToken& token = tokens[index];
        if (token.End() > text.size() ||
            (token.kind == sql::SqlTokenKind::End) != (index + 1 == tokens.size())) {
            std::abort();
        }
        if (token.IsSymbol(u"(") && sql::AfterGroup(tokens, index) > tokens.size() - 1) {
            std::abort();
        }
        std::size_t position = index;
        (void)sql::ReadQualifiedName(tokens, position, tokens.size() - 1, true);
        if (position >= tokens.size()) {
            std::abort();
        }
    }
    (void)sql::SourceText(text, tokens, 0, tokens.size() - 1);
    return 0;
}
