#include "platform/automation/Variant.h"

#include "platform/automation/AutomationTestSupport.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace qv::automation {
namespace {

using testing::Describe;
using testing::Outcome;

std::int32_t Subscript(const Variant& array, std::int32_t index) {
    const std::int32_t subscripts[] = {index};
    return ToLong(array.ArrayValue()->At(subscripts));
}

TEST(Variant, SubtypesAndVarTypeCodes) {
    EXPECT_EQ(Variant(std::int16_t(1)).VarTypeCode(), 2);
    EXPECT_EQ(Variant(1).VarTypeCode(), 3);
    EXPECT_EQ(Variant(1.0f).VarTypeCode(), 4);
    EXPECT_EQ(Variant(Currency()).VarTypeCode(), 6);
    EXPECT_EQ(Variant::FromDate(0).VarTypeCode(), 7);
    EXPECT_EQ(Variant(u"").VarTypeCode(), 8);
    EXPECT_EQ(Variant::Nothing().VarTypeCode(), 9);
    EXPECT_EQ(Variant::Missing().VarTypeCode(), 10);
    EXPECT_EQ(Variant(false).VarTypeCode(), 11);
    EXPECT_EQ(Variant(std::uint8_t(1)).VarTypeCode(), 17);
    EXPECT_EQ(Variant(MakeArray({})).VarTypeCode(), 8204);
    EXPECT_EQ(Variant(MakeRef<SafeArray>(VarType::Byte, std::vector<SafeArray::Bound>{{0, 2}})).VarTypeCode(),
              8209);
    EXPECT_TRUE(Variant::Nothing().IsNothing());
    EXPECT_TRUE(Variant::Missing().IsMissing());
    EXPECT_FALSE(Variant(true).IsNumeric());
    EXPECT_TRUE(Variant(std::uint8_t(1)).IsNumeric());
}

TEST(Variant, CopyOfAReferenceIsTheReference) {
    Variant target(5);
    Variant reference = Variant::ByRef(target);
    Variant copy = reference;
    ASSERT_TRUE(copy.IsByRef());
    copy.Deref() = Variant(7);
    EXPECT_EQ(target.LongValue(), 7);
    EXPECT_EQ(reference.LongValue(), 7);
    // A reference to a reference points at the variable itself.
    Variant chained = Variant::ByRef(reference);
    EXPECT_EQ(&chained.Deref(), &target);
    // Assigning to the reference variant rebinds it; the target keeps its value.
    reference = Variant(u"x");
    EXPECT_FALSE(reference.IsByRef());
    EXPECT_EQ(target.LongValue(), 7);
}

TEST(Variant, AssignmentFromInsideItsOwnValue) {
    // The source lives in the array the target releases; the copy must be taken first.
    Variant value(MakeArray({Variant(u"inner"), Variant(2)}));
    value = value.ArrayValue()->Elements()[0];
    EXPECT_EQ(Describe(value), "String inner");

    Variant moved(MakeArray({Variant(u"moved")}));
    moved = std::move(moved.MutableArray().Elements()[0]);
    EXPECT_EQ(Describe(moved), "String moved");

    Variant self(u"self");
    const Variant& alias = self; // the same variant, under a name compilers do not flag
    self = alias;
    EXPECT_EQ(Describe(self), "String self");
}

TEST(Variant, StringsAreSharedAndCopiedOnAppend) {
    Variant text(u"abc");
    Variant shared = text;
    text.AppendString(u"def");
    EXPECT_EQ(ToUtf8(text.StringValue()), "abcdef");
    EXPECT_EQ(ToUtf8(shared.StringValue()), "abc");

    Variant number(12);
    number.AppendString(u"x");
    EXPECT_EQ(Describe(number), "String 12x");
    Variant empty;
    empty.AppendString(u"x");
    EXPECT_EQ(Describe(empty), "String x");
    Variant null = Variant::Null();
    null.AppendString(u"x");
    EXPECT_EQ(Describe(null), "String x");

    // Through a reference the caller's variable grows.
    Variant target(u"a");
    Variant reference = Variant::ByRef(target);
    reference.AppendString(u"b");
    EXPECT_EQ(ToUtf8(target.StringValue()), "ab");
}

TEST(Variant, StringsMadeAfterOthersDiedHoldTheirOwnTextAndCharge) {
    const std::size_t before = MemoryInUse();
    {
        std::vector<Variant> dying;
        dying.reserve(40);
        for (int index = 0; index < 40; ++index) {
            dying.emplace_back(std::u16string(20, static_cast<char16_t>(u'a' + index % 26)));
        }
        EXPECT_GT(MemoryInUse(), before) << "texts beyond a few units are charged";
        const std::size_t hashBefore = dying[0].StringHash(false);
        dying[0].AppendString(u"grown in place");
        EXPECT_NE(dying[0].StringHash(false), hashBefore);
        EXPECT_EQ(dying[0].StringHash(false), HashText(u"aaaaaaaaaaaaaaaaaaaagrown in place"));
    }
    EXPECT_EQ(MemoryInUse(), before) << "strings that died hold no charge";

    // The next strings reuse what died: each has exactly its own text and hash.
    Variant shortText(std::u16string_view(u"short"));
    Variant longText(std::u16string(u"a text longer than seven units"));
    Variant built(u"x");
    EXPECT_EQ(ToUtf8(shortText.StringValue()), "short");
    EXPECT_EQ(ToUtf8(longText.StringValue()), "a text longer than seven units");
    EXPECT_EQ(ToUtf8(built.StringValue()), "x");
    EXPECT_EQ(shortText.StringHash(false), HashText(u"short"));
    EXPECT_EQ(longText.StringHash(true), HashNoCase(u"A TEXT LONGER THAN SEVEN UNITS"));
    EXPECT_GT(MemoryInUse(), before);
}

TEST(Variant, AppendingStaysLinear) {
    // `s = s & piece` on a string nobody else holds must not copy the string each time.
    auto appendTime = [](int count) {
        Variant text(u"");
        const auto start = std::chrono::steady_clock::now();
        for (int index = 0; index < count; ++index) {
            text.AppendString(u"0123456789");
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(text.StringValue().size(), static_cast<std::size_t>(count) * 10);
        return std::chrono::duration<double>(elapsed).count();
    };
    double best = 1e9;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double small = appendTime(100000);
        const double large = appendTime(400000);
        best = std::min(best, large / std::max(small, 1e-6));
    }
    // Four times the appends: about four times the time if linear, sixteen if quadratic.
    EXPECT_LT(best, 8.0);
}

TEST(Variant, ArraysHaveValueSemantics) {
    Variant a(MakeArray({Variant(1), Variant(2), Variant(3)}));
    Variant b = a;
    EXPECT_EQ(a.ArrayValue().Get(), b.ArrayValue().Get());
    const std::int32_t first[] = {0};
    b.MutableArray().At(first) = Variant(9);
    EXPECT_EQ(Subscript(a, 0), 1);
    EXPECT_EQ(Subscript(b, 0), 9);
    // Unshared now: writing again keeps the same storage.
    SafeArray* storage = b.ArrayValue().Get();
    b.MutableArray().At(first) = Variant(10);
    EXPECT_EQ(b.ArrayValue().Get(), storage);
    EXPECT_EQ(Outcome([] { return ToString(Variant(5).MutableArray().Elements()[0]); }), "#13");
}

TEST(SafeArray, SubscriptsAndBounds) {
    SafeArray grid(VarType::Variant, {{1, 2}, {-1, 3}});
    EXPECT_EQ(grid.Dimensions(), 2u);
    EXPECT_EQ(grid.LowerBound(2), -1);
    EXPECT_EQ(grid.UpperBound(2), 1);
    EXPECT_EQ(grid.ElementCount(), 6u);
    EXPECT_EQ(Outcome([&] { return ToString(Variant(grid.LowerBound(3))); }), "#9");
    int value = 0;
    for (std::int32_t column = -1; column <= 1; ++column) {
        for (std::int32_t row = 1; row <= 2; ++row) {
            const std::int32_t subscripts[] = {row, column};
            grid.At(subscripts) = Variant(value++);
        }
    }
    // The first subscript varies fastest in storage (and in For Each).
    for (std::size_t index = 0; index < grid.ElementCount(); ++index) {
        EXPECT_EQ(grid.Elements()[index].LongValue(), static_cast<std::int32_t>(index));
    }
    struct Case {
        std::vector<std::int32_t> subscripts;
        const char* expected;
    };
    const Case cases[] = {{{2, 1}, "5"},  {{0, 0}, "#9"}, {{3, 0}, "#9"},
                          {{1, 2}, "#9"}, {{1}, "#9"},    {{1, 0, 0}, "#9"}};
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.expected);
        EXPECT_EQ(Outcome([&] { return ToString(grid.At(testCase.subscripts)); }), testCase.expected);
    }
    EXPECT_EQ(Outcome([] {
                  return ToString(
                      Variant(MakeRef<SafeArray>(VarType::Variant, std::vector<SafeArray::Bound>{{0, -1}})));
              }),
              "#9");
}

TEST(SafeArray, TypedElementsStartAsTheirZero) {
    SafeArray numbers(VarType::Integer, {{0, 1}});
    EXPECT_EQ(Describe(numbers.Elements()[0]), "Integer 0");
    SafeArray texts(VarType::String, {{0, 1}});
    EXPECT_EQ(Describe(texts.Elements()[0]), "String ");
    SafeArray objects(VarType::Object, {{0, 1}});
    EXPECT_TRUE(objects.Elements()[0].IsNothing());
}

TEST(SafeArray, RedimRules) {
    SafeArray fixed(VarType::Variant, {{0, 3}}, /*isFixed=*/true);
    EXPECT_EQ(Outcome([&] {
                  fixed.Redim({{0, 5}}, false);
                  return std::u16string(u"done");
              }),
              "#10");

    SafeArray locked(VarType::Variant, {{0, 3}});
    locked.Lock();
    EXPECT_EQ(Outcome([&] {
                  locked.Redim({{0, 5}}, true);
                  return std::u16string(u"done");
              }),
              "#10");
    locked.Unlock();
    EXPECT_EQ(Outcome([&] {
                  locked.Redim({{0, 5}}, true);
                  return std::u16string(u"done");
              }),
              "done");

    SafeArray grid(VarType::Variant, {{0, 2}, {0, 2}});
    const std::int32_t corner[] = {1, 1};
    grid.At(corner) = Variant(u"kept");
    EXPECT_EQ(Outcome([&] {
                  grid.Redim({{0, 3}, {0, 2}}, true);
                  return std::u16string(u"done");
              }),
              "#9");
    EXPECT_EQ(Outcome([&] {
                  grid.Redim({{0, 2}}, true);
                  return std::u16string(u"done");
              }),
              "#9");
    grid.Redim({{0, 2}, {0, 4}}, true);
    EXPECT_EQ(ToUtf8(grid.At(corner).StringValue()), "kept");
    EXPECT_EQ(grid.UpperBound(2), 3);
    grid.Redim({{0, 2}, {0, 1}}, true);
    EXPECT_EQ(Outcome([&] { return ToString(grid.At(corner)); }), "#9");
    // Without Preserve the number of dimensions may change and the elements start over.
    grid.Redim({{0, 4}}, false);
    EXPECT_EQ(grid.Dimensions(), 1u);
    EXPECT_TRUE(grid.Elements()[0].IsEmpty());
}

TEST(SafeArray, RedimFromBoundsItDoesNotOwn) {
    // The bounds are copied: the caller's buffer may change afterwards.
    SafeArray list(VarType::Variant, {{0, 1}});
    list.Elements()[0] = Variant(u"first");
    SafeArray::Bound buffer[] = {{0, 3}, {0, 2}};
    list.Redim(std::span<const SafeArray::Bound>(buffer, 1), true);
    buffer[0].count = 7;
    EXPECT_EQ(list.UpperBound(1), 2);
    EXPECT_EQ(list.ElementCount(), 3u);
    EXPECT_EQ(ToUtf8(list.Elements()[0].StringValue()), "first");
    EXPECT_EQ(Outcome([&] {
                  list.Redim(std::span<const SafeArray::Bound>(buffer, 2), true);
                  return std::u16string(u"done");
              }),
              "#9");
    list.Redim(std::span<const SafeArray::Bound>(buffer, 2), false);
    EXPECT_EQ(list.Dimensions(), 2u);
    EXPECT_EQ(list.ElementCount(), 14u);
}

TEST(SafeArray, LockedArrayIsWrittenInPlace) {
    // For Each holds a second reference while it walks; element writes in the loop body reach
    // the array being walked.
    Variant array(MakeArray({Variant(1), Variant(2)}));
    Ref<SafeArray> walking = array.ArrayValue();
    walking->Lock();
    const std::int32_t second[] = {1};
    array.MutableArray().At(second) = Variant(20);
    EXPECT_EQ(walking->At(second).LongValue(), 20);
    walking->Unlock();
}

} // namespace
} // namespace qv::automation
