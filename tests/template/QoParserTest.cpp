#include "template/QoParser.h"

#include "template/TemplateFixture.h"

#include "core/Apartment.h"

#include "platform/automation/Conversion.h"

#include <random>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::Utf8;

class QoParserTest : public test::TemplateTest {
protected:
    struct Block {
        std::int32_t type;
        std::u16string name;
        std::u16string value;
        std::u16string indent;
        bool operator==(const Block&) const = default;
    };

    std::vector<Block> Blocks(std::u16string_view source) {
        mParser->Parse(source);
        std::vector<Block> blocks;
        for (std::int32_t id = 1; id <= mParser->Count(); ++id) {
            mParser->SetBlockID(id);
            blocks.push_back(
                {mParser->BlockType(), mParser->BlockName(), mParser->BlockValue(), mParser->BlockIndent()});
        }
        return blocks;
    }

    Ref<QoParser> mParser = MakeRef<QoParser>();
};

TEST_F(QoParserTest, CutsTextIntoBlocks) {
    using B = Block;
    struct Case {
        std::u16string_view source;
        std::vector<Block> blocks;
    };
    const Case cases[] = {
        {u"", {}},
        {u"plain text", {B{6, u"", u"plain text", u""}}},
        {u"a<!--##=x##-->b", {B{6, u"", u"a", u""}, B{2, u"x", u"x", u""}, B{6, u"", u"b", u""}}},
        // Two blocks with nothing between them: no empty text block.
        {u"<!--##= x ##--><!--##=y##-->", {B{2, u"x", u" x ", u""}, B{2, u"y", u"y", u""}}},
        {u"<!--## a = 1 ##-->", {B{1, u"", u" a = 1 ", u""}}},
        {u"<!--##@ Title ##-->", {B{4, u"Title", u" Title ", u""}}},
        {u"<!--##$ sId ##-->", {B{5, u"sId", u" sId ", u""}}},
        {u"x\r\n\t  <!--##~v##-->", {B{6, u"", u"x\r\n\t  ", u""}, B{3, u"v", u"v", u"\t  "}}},
        {u"<!--##=a##--><!--##~v##-->", {B{2, u"a", u"a", u""}, B{3, u"v", u"v", u""}}},
        // Regression: the closer begins inside the opener; this used to give a negative length.
        {u"<!--##-->", {B{1, u"", u"", u""}}},
        {u"a<!--##-->b", {B{6, u"", u"a", u""}, B{1, u"", u"", u""}, B{6, u"", u"b", u""}}},
        // Blanks only are trimmed from names; tabs stay.
        {u"<!--##=\tx ##-->", {B{2, u"\tx", u"\tx ", u""}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.source));
        EXPECT_EQ(Blocks(test.source), test.blocks);
        EXPECT_EQ(mParser->BlockID(), mParser->Count());
        EXPECT_EQ(State().gProjErr, u"");
    }
}

TEST_F(QoParserTest, ReportsBlockErrorsWithLineAndColumn) {
    struct Case {
        std::u16string_view source;
        std::u16string_view error;
        std::int32_t blocksKept;
    };
    const Case cases[] = {
        {u"<!--##=x", u"***Incomplete Block at line 1 column 1! Generation failed!", 0},
        {u"a\r\nb\r\n<!--##=x", u"***Incomplete Block at line 3 column 1! Generation failed!", 1},
        {u"ok<!--##=y##-->\r\n  <!--## x", u"***Incomplete Block at line 2 column 3! Generation failed!", 3},
        {u"ab\r\ncd<!--## x <!--##=y##-->", u"***Nested Blocks found at line 2 column 12! Generation failed!",
         1},
        // Only CRLF breaks lines.
        {u"a\nb\n<!--##=x", u"***Incomplete Block at line 1 column 5! Generation failed!", 1},
        {u"a\rb\r\n<!--##=x", u"***Incomplete Block at line 2 column 1! Generation failed!", 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.source));
        State().gProjErr.clear();
        mParser->Parse(test.source);
        EXPECT_EQ(State().gProjErr, test.error);
        EXPECT_EQ(mParser->Count(), test.blocksKept);
        EXPECT_EQ(mParser->BlockID(), test.blocksKept);
    }
}

TEST_F(QoParserTest, KeepsAnEarlierErrorText) {
    // Converters stop on any text left by an earlier failure, so a clean parse must not clear it.
    State().gProjErr = u"earlier";
    mParser->Parse(u"<!--##=x##-->");
    EXPECT_EQ(State().gProjErr, u"earlier");
    EXPECT_EQ(mParser->Count(), 1);
}

TEST_F(QoParserTest, FindsTheDeclaredFunctionName) {
    struct Case {
        std::u16string_view code;
        std::u16string_view name;
    };
    const Case cases[] = {
        {u"\r\nFunction Foo(a)\r\nEnd Function\r\n", u"Foo"},
        {u"Function Foo()", u"Foo"},
        {u"\r\n  function  Bar (a)\r\n", u"Bar"},
        {u"\r\nFunction Foo(a)\r\n' Function Bar(b)\r\n", u"Foo"},
        {u"\r\nFunction Foo(a)\r\n  ' Function Bar(b)\r\n", u"Foo"},
        {u"\r\nPublic Function Foo(a)\r\n", u""},
        {u"\r\n\tFunction Foo(a)\r\n", u""},
        {u"\r\nFunction Foo(a)\r\nx = MyFunction (1)\r\n", u"Foo"},
        {u"Function Foo", u""},
        {u"x = 1", u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.code));
        mParser->Parse(u"<!--##" + std::u16string(test.code) + u"##-->");
        EXPECT_EQ(mParser->BlockType(), 1);
        EXPECT_EQ(mParser->BlockName(), test.name);
    }
}

TEST_F(QoParserTest, SelectsBlocksOnlyWithinTheList) {
    mParser->Parse(u"a<!--##=b##-->");
    mParser->SetBlockID(1);
    mParser->SetBlockID(0);
    mParser->SetBlockID(3);
    EXPECT_EQ(mParser->BlockID(), 1);
    EXPECT_EQ(mParser->BlockValue(), u"a");

    mParser->Parse(u"");
    EXPECT_EQ(mParser->BlockType(), 0);
    EXPECT_EQ(mParser->BlockValue(), u"");

    // Late-bound, as scripts use it.
    CallByName(*mParser, u"Parse", automation::InvokeKind::Method, {Variant(u"x<!--##@ P ##-->")});
    CallByName(*mParser, u"BlockID", automation::InvokeKind::PropertyLet, {Variant(1)});
    EXPECT_EQ(automation::ToString(CallByName(*mParser, u"BlockValue", automation::InvokeRead)), u"x");
    EXPECT_EQ(automation::ToLong(CallByName(*mParser, u"Count", automation::InvokeRead)), 2);
}

TEST_F(QoParserTest, ExtractsSessions) {
    const std::u16string source = u"head<!--##SESSION Top##-->\r\nTop text\r\n<!--##/Session##-->"
                                  u"<!--##session  second ##-->two<!--##/session##-->"
                                  u"<!--##session top##-->shadowed<!--##/session##-->";
    struct Case {
        std::u16string_view id;
        std::u16string_view text;
    };
    const Case cases[] = {
        {u"top", u"\r\nTop text\r\n"},
        {u"TOP", u"\r\nTop text\r\n"},
        {u"Second", u"two"},
        {u"missing", u""},
        {u" top", u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.id));
        EXPECT_EQ(mParser->GetSession(source, test.id), test.text);
    }
    EXPECT_EQ(mParser->GetSession(u"<!--##session a##-->no end", u"a"), u"");
    EXPECT_EQ(mParser->GetSession(u"<!--##session a", u"a"), u"");
    // Sessions do not nest: the first end marker ends the session.
    EXPECT_EQ(mParser->GetSession(u"<!--##session a##-->1<!--##session b##-->2<!--##/session##-->3", u"a"),
              u"1<!--##session b##-->2");
}

TEST_F(QoParserTest, ResolvesIncludes) {
    WriteFile("template/common.htm",
              "<!--##session foot##-->[<!--##include Inner.htm / in ##-->]<!--##/session##-->");
    WriteFile("template/inner.htm", "<!--##session in##-->inner<!--##/session##-->");
    WriteFile("template/empty.htm", "");
    WriteFile("template/parts/inner.htm", "<!--##session in##-->sub<!--##/session##-->");
    WriteFile("template/latin.htm", "<!--##session s##-->caf\xE9<!--##/session##-->");
    struct Case {
        std::u16string_view text;
        std::u16string_view resolved;
    };
    const Case cases[] = {
        // Recursive, and a file name in another letter case is found.
        {u"a<!--##include common.htm/foot##-->b", u"a[inner]b"},
        {u"<!--##INCLUDE  common.htm / foot ##-->", u"[inner]"},
        {u"<!--##include latin.htm/s##-->", u"caf\u00e9"},
        // Regression: a file in a sub-folder, named with either separator, was dropped.
        {u"<!--##include parts/Inner.htm/in##-->", u"sub"},
        {u"<!--##include parts\\inner.htm / in ##-->", u"sub"},
        // Malformed, missing and empty contribute nothing.
        {u"a<!--##include common.htm##-->b", u"ab"},
        {u"a<!--##include x/common.htm/foot##-->b", u"ab"},
        {u"a<!--##include nothere.htm/foot##-->b", u"ab"},
        {u"a<!--##include common.htm/nothere##-->b", u"ab"},
        {u"a<!--##include empty.htm/s##-->b", u"ab"},
        // A directive without a closer stays as it is.
        {u"a<!--##include common.htm/foot", u"a<!--##include common.htm/foot"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.text));
        const std::u16string source =
            u"<!--##session s##-->" + std::u16string(test.text) + u"<!--##/session##-->";
        EXPECT_EQ(mParser->GetSession(source, u"s"), test.resolved);
    }
}

TEST_F(QoParserTest, IncludesNeverLeaveTheTemplateFolder) {
    // A file beside the work folders that a hostile template would like to read.
    WriteFile("secret.htm", "<!--##session s##-->secret<!--##/session##-->");
    // Regression: with "/" a climbing name was dropped here, yet refused by the next run's rebuild
    // check; both now refuse it.
    for (std::u16string_view name :
         {u"..\\secret.htm", u"sub\\..\\..\\secret.htm", u"\\etc\\passwd", u"C:\\x.htm", u"c:x.htm",
          u"../secret.htm", u"sub/../../secret.htm", u"/etc/passwd"}) {
        SCOPED_TRACE(Utf8(name));
        const std::u16string source =
            u"<!--##session t##-->a<!--##include " + std::u16string(name) + u"/s##-->b<!--##/session##-->";
        try {
            mParser->GetSession(source, u"t");
            ADD_FAILURE() << "the include was read";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), 52);
            EXPECT_NE(error.Description().find(name), std::u16string::npos) << Utf8(error.Description());
        }
    }
}

TEST_F(QoParserTest, IncludeCyclesEnd) {
    // Regression: a session that included itself, directly or through another file, recursed
    // until the stack overflowed. The repeated directive is now dropped.
    WriteFile("template/self.htm", "<!--##session s##-->x<!--##include self.htm/S##-->y<!--##/session##-->");
    WriteFile("template/a.htm", "<!--##session a##-->A<!--##include b.htm/b##--><!--##/session##-->");
    WriteFile("template/b.htm", "<!--##session b##-->B<!--##include a.htm/a##--><!--##/session##-->");
    EXPECT_EQ(
        mParser->GetSession(u"<!--##session t##--><!--##include self.htm/s##--><!--##/session##-->", u"t"),
        u"xy");
    EXPECT_EQ(mParser->GetSession(u"<!--##session t##--><!--##include a.htm/a##--><!--##/session##-->", u"t"),
              u"AB");

    // A chain of distinct sessions stops at the depth limit.
    std::string chain;
    for (int level = 0; level < 40; ++level) {
        chain += "<!--##session s" + std::to_string(level) + "##-->[" + std::to_string(level) +
                 "<!--##include chain.htm/s" + std::to_string(level + 1) + "##-->]<!--##/session##-->";
    }
    WriteFile("template/chain.htm", chain);
    const std::u16string resolved =
        mParser->GetSession(u"<!--##session t##--><!--##include chain.htm/s0##--><!--##/session##-->", u"t");
    EXPECT_NE(resolved.find(u"[" + automation::FromUtf8(std::to_string(QoParser::MaxIncludeDepth - 1))),
              std::u16string::npos);
    EXPECT_EQ(resolved.find(u"[" + automation::FromUtf8(std::to_string(QoParser::MaxIncludeDepth))),
              std::u16string::npos);
}

TEST_F(QoParserTest, SurvivesArbitraryMarkerSoup) {
    // Pieces that open, close and type blocks in every order; each parse either fails with one
    // of the two messages or gives blocks that lie inside the source.
    const std::u16string_view pieces[] = {u"<!--##",
                                          u"##-->",
                                          u"=",
                                          u"~",
                                          u"@",
                                          u"$",
                                          u"x",
                                          u"\r\n",
                                          u"#",
                                          u"-->",
                                          u"<!--##session a##-->",
                                          u"<!--##/session##-->",
                                          u"<!--##include f/a##-->"};
    std::mt19937 random(20240607);
    for (int round = 0; round < 2000; ++round) {
        std::u16string source;
        const int count = static_cast<int>(random() % 12);
        for (int piece = 0; piece < count; ++piece) {
            source += pieces[random() % std::size(pieces)];
        }
        SCOPED_TRACE(Utf8(source));
        State().gProjErr.clear();
        mParser->Parse(source);
        const std::u16string& error = State().gProjErr;
        EXPECT_TRUE(error.empty() || error.starts_with(u"***Incomplete Block") ||
                    error.starts_with(u"***Nested Blocks"));
        std::size_t total = 0;
        for (std::int32_t id = 1; id <= mParser->Count(); ++id) {
            mParser->SetBlockID(id);
            total += mParser->BlockValue().size();
            EXPECT_GE(mParser->BlockType(), 1);
            EXPECT_LE(mParser->BlockType(), 6);
        }
        EXPECT_LE(total, source.size());
        mParser->GetSession(source, u"a");
    }
}

} // namespace
} // namespace qv
