#include "platform/automation/Object.h"

#include "platform/automation/AutomationTestSupport.h"

#include <gtest/gtest.h>

namespace qv::automation {
namespace {

using testing::Describe;
using testing::VariantOutcome;

/// A collection-like object whose default member is Item(index).
class Shelf final : public Object {
public:
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Shelf", {
                                                  Default(Property<&Shelf::Item, &Shelf::SetItem>(u"Item")),
                                                  Method<&Shelf::Count>(u"Count"),
                                              });
        return info;
    }
    std::u16string Item(std::int32_t index) const {
        if (index < 0 || index >= Count()) {
            Raise(ErrorNumber::SubscriptOutOfRange);
        }
        return mItems[static_cast<std::size_t>(index)];
    }
    void SetItem(std::int32_t index, std::u16string value) {
        Item(index);
        mItems[static_cast<std::size_t>(index)] = std::move(value);
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(mItems.size()); }

private:
    std::vector<std::u16string> mItems{u"item0", u"item1", u"item2"};
};

/// Exercises every kind of member: a default property with Let, a method with an optional
/// argument, a by-reference argument, an object property with Set and an array property.
class Counter final : public Object {
public:
    static int sLiving;
    Counter() { ++sLiving; }
    ~Counter() override { --sLiving; }

    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Counter",
                                    {
                                        Default(Property<&Counter::Value, &Counter::SetValue>(u"Value")),
                                        Method<&Counter::Greet>(u"Greet"),
                                        Method<&Counter::Increment>(u"Increment"),
                                        ObjectProperty<&Counter::Child, &Counter::SetChild>(u"Child"),
                                        Method<&Counter::Shelf>(u"Shelf"),
                                        Method<&Counter::Items>(u"Items"),
                                        Method<&Counter::Reset>(u"Reset"),
                                    });
        return info;
    }

    std::int32_t Value() const { return mValue; }
    void SetValue(std::int32_t value) { mValue = value; }
    std::u16string Greet(std::u16string name, std::optional<std::u16string> greeting) const {
        return greeting.value_or(u"Hello") + u", " + name;
    }
    void Increment(Variant& target) { target = Evaluate(BinaryOp::Add, target, mValue); }
    Ref<Counter> Child() const { return mChild; }
    void SetChild(Ref<Counter> child) { mChild = std::move(child); }
    Ref<qv::automation::Object> Shelf() const { return mShelf; }
    Variant Items() const { return Variant(MakeArray({Variant(u"a"), Variant(u"b")})); }
    void Reset() { mValue = 0; }

private:
    std::int32_t mValue = 5;
    Ref<Counter> mChild;
    Ref<class Shelf> mShelf = MakeRef<class Shelf>();
};

int Counter::sLiving = 0;

/// An object without a default member.
class Plain final : public Object {
public:
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Plain", {});
        return info;
    }
};

/// Members with the parameter kinds that read an argument in place, and noexcept members.
class Reader final : public Object {
public:
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Reader", {
                                                   Method<&Reader::Join>(u"Join"),
                                                   Method<&Reader::Length>(u"Length"),
                                                   Method<&Reader::Suffix>(u"Suffix"),
                                                   Method<&Reader::Kind>(u"Kind"),
                                                   Method<&Reader::Pair>(u"Pair"),
                                                   Method<&Reader::Count>(u"Count"),
                                               });
        return info;
    }
    std::u16string Join(std::u16string_view first, const std::u16string& second) const {
        return std::u16string(first) + u"|" + second;
    }
    std::int32_t Length(std::u16string_view text) noexcept { return static_cast<std::int32_t>(text.size()); }
    std::u16string Suffix(std::optional<std::u16string_view> text) const noexcept {
        if (!text) {
            return u"none";
        }
        std::u16string out = u"(";
        out += *text;
        out += u")";
        return out;
    }
    std::int32_t Kind(const Variant& value) const { return value.VarTypeCode(); }
    std::int32_t Pair(std::int32_t first, std::int32_t second) { return first * 10 + second; }
    std::int32_t Count() const noexcept { return 3; }
};

Variant Call(Object& object, std::u16string_view name, InvokeKind kind, std::vector<Variant> args = {}) {
    return CallByName(object, name, kind, std::move(args));
}

TEST(Object, MembersByNameIgnoringCase) {
    auto counter = MakeRef<Counter>();
    EXPECT_EQ(Describe(Call(*counter, u"VALUE", InvokeRead)), "Long 5");
    Call(*counter, u"value", InvokeKind::PropertyLet, {Variant(u"7")});
    EXPECT_EQ(counter->Value(), 7);
    EXPECT_EQ(ToUtf8(counter->TypeName()), "Counter");
    EXPECT_EQ(counter->GetDispId(u"greet"), 1);
    EXPECT_EQ(counter->GetDispId(u"Nope"), std::nullopt);
    EXPECT_EQ(counter->GetDefaultDispId(), 0);
    Call(*counter, u"Reset", InvokeKind::Method);
    EXPECT_EQ(counter->Value(), 0);
}

TEST(Object, Errors) {
    auto counter = MakeRef<Counter>();
    struct Case {
        const char* label;
        std::u16string_view name;
        InvokeKind kind;
        std::vector<Variant> args;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"unknown member", u"Missing", InvokeRead, {}, "#438"},
        {"Let on a method", u"Greet", InvokeKind::PropertyLet, {Variant(1)}, "#438"},
        {"Set on a value property", u"Value", InvokeKind::PropertySet, {Variant::Nothing()}, "#438"},
        {"too few arguments", u"Greet", InvokeRead, {}, "#450"},
        {"too many arguments", u"Greet", InvokeRead, {Variant(u"a"), Variant(u"b"), Variant(u"c")}, "#450"},
        {"Let with a value of the wrong kind", u"Value", InvokeKind::PropertyLet, {Variant(u"x")}, "#13"},
        {"Set of a non-object", u"Child", InvokeKind::PropertySet, {Variant(1)}, "#424"},
        {"Set of the wrong class",
         u"Child",
         InvokeKind::PropertySet,
         {Variant(Ref<Object>(MakeRef<Plain>()))},
         "#13"},
        {"index into a Long result", u"Value", InvokeRead, {Variant(1)}, "#450"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(VariantOutcome([&] { return Call(*counter, testCase.name, testCase.kind, testCase.args); }),
                  testCase.expected);
    }
    EXPECT_EQ(VariantOutcome([&] { return counter->Invoke(99, InvokeRead, {}); }), "#438");
    EXPECT_THROW(counter->NewEnum(), Error);
}

TEST(Object, OptionalAndByReferenceArguments) {
    auto counter = MakeRef<Counter>();
    EXPECT_EQ(Describe(Call(*counter, u"Greet", InvokeRead, {Variant(u"Ann")})), "String Hello, Ann");
    EXPECT_EQ(Describe(Call(*counter, u"Greet", InvokeRead, {Variant(u"Ann"), Variant(u"Hi")})),
              "String Hi, Ann");
    EXPECT_EQ(Describe(Call(*counter, u"Greet", InvokeRead, {Variant(u"Ann"), Variant::Missing()})),
              "String Hello, Ann");

    Variant total(std::int16_t(10));
    Call(*counter, u"Increment", InvokeKind::Method, {Variant::ByRef(total)});
    EXPECT_EQ(Describe(total), "Long 15");
    // Passed by value, the caller's variable stays as it was.
    Call(*counter, u"Increment", InvokeKind::Method, {total});
    EXPECT_EQ(Describe(total), "Long 15");
}

TEST(Object, TextAndValueParametersReadInPlace) {
    auto reader = MakeRef<Reader>();
    Variant text(u"abc");
    struct Case {
        const char* label;
        std::u16string_view name;
        std::vector<Variant> args;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"views and const references of strings", u"Join", {Variant(u"a"), Variant(u"b")}, "String a|b"},
        {"numbers converted for text parameters", u"Join", {Variant(12), Variant(2.5)}, "String 12|2.5"},
        {"a by-reference string", u"Length", {Variant::ByRef(text)}, "Long 3"},
        {"Null for a text parameter", u"Length", {Variant::Null()}, "#94"},
        {"optional view given", u"Suffix", {Variant(u"x")}, "String (x)"},
        {"optional view omitted", u"Suffix", {}, "String none"},
        {"optional view skipped", u"Suffix", {Variant::Missing()}, "String none"},
        {"const Variant& looks through a reference", u"Kind", {Variant::ByRef(text)}, "Long 8"},
        {"noexcept member without arguments", u"Count", {}, "Long 3"},
        {"arguments convert in order", u"Pair", {Variant(1), Variant(2)}, "Long 12"},
        // Both arguments are bad; the first one is the error reported.
        {"the first bad argument raises", u"Pair", {Variant(u"x"), Variant::Null()}, "#13"},
        {"a later bad argument raises", u"Pair", {Variant(1), Variant::Null()}, "#94"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(VariantOutcome([&] { return Call(*reader, testCase.name, InvokeRead, testCase.args); }),
                  testCase.expected);
    }
}

TEST(Object, ObjectPropertiesAndLifetime) {
    {
        auto parent = MakeRef<Counter>();
        auto child = MakeRef<Counter>();
        EXPECT_TRUE(Call(*parent, u"Child", InvokeRead).IsNothing());
        Call(*parent, u"Child", InvokeKind::PropertySet, {Variant(Ref<Object>(child))});
        EXPECT_EQ(parent->Child().Get(), child.Get());
        Call(*parent, u"Child", InvokeKind::PropertySet, {Variant::Nothing()});
        EXPECT_FALSE(parent->Child());
        EXPECT_EQ(Counter::sLiving, 2);
    }
    EXPECT_EQ(Counter::sLiving, 0);
}

TEST(Object, DefaultMembers) {
    auto counter = MakeRef<Counter>();
    const Variant object{Ref<Object>(counter)};
    EXPECT_EQ(Describe(DefaultValue(object)), "Long 5");
    EXPECT_EQ(Describe(DefaultValue(u"text")), "String text");
    EXPECT_EQ(Describe(Evaluate(BinaryOp::Add, object, 1)), "Long 6");
    EXPECT_EQ(Compare(object, 5), CompareResult::Equal);
    EXPECT_EQ(ToLong(object), 5);
    EXPECT_EQ(VariantOutcome([] { return DefaultValue(Variant::Nothing()); }), "#91");
    EXPECT_EQ(VariantOutcome([] { return DefaultValue(Variant(Ref<Object>(MakeRef<Plain>()))); }), "#438");
    EXPECT_EQ(VariantOutcome([] { return Variant(ToString(Variant(Ref<Object>(MakeRef<Plain>())))); }),
              "#438");

    // A property without parameters, given arguments, indexes its result.
    EXPECT_EQ(Describe(Call(*counter, u"Shelf", InvokeRead, {Variant(2)})), "String item2");
    EXPECT_EQ(Describe(Call(*counter, u"Items", InvokeRead, {Variant(1)})), "String b");
    EXPECT_EQ(VariantOutcome([&] { return Call(*counter, u"Items", InvokeRead, {Variant(2)}); }), "#9");
    EXPECT_EQ(VariantOutcome([&] { return Call(*counter, u"Child", InvokeRead, {Variant(2)}); }), "#91");

    // An assignment with an index goes to the default member of the property's object.
    Call(*counter, u"Shelf", InvokeKind::PropertyLet, {Variant(1), Variant(u"new")});
    EXPECT_EQ(Describe(Call(*counter, u"Shelf", InvokeRead, {Variant(1)})), "String new");
    EXPECT_EQ(
        VariantOutcome([&] { return Call(*counter, u"Shelf", InvokeKind::PropertyLet, {Variant(u"x")}); }),
        "#438");
    EXPECT_EQ(VariantOutcome([&] {
                  return Call(*counter, u"Shelf", InvokeKind::PropertyLet, {Variant(7), Variant(u"x")});
              }),
              "#9");
}

TEST(ClassInfo, IndexesMembers) {
    const ClassInfo info(u"Sample",
                         {Method<&Counter::Reset>(u"Reset"), Default(Method<&Counter::Value>(u"Value"))});
    EXPECT_EQ(info.Find(u"RESET"), 0);
    EXPECT_EQ(info.Find(u"value"), 1);
    EXPECT_EQ(info.DefaultMember(), 1);
    EXPECT_EQ(info.Members()[1].getMaxArgs, 0);
    EXPECT_EQ(ClassInfo(u"Empty", {}).DefaultMember(), std::nullopt);
}

TEST(ClassInfoDeathTest, DuplicateNamesAreAProgrammingError) {
#ifndef NDEBUG
    EXPECT_DEATH(ClassInfo(u"Twice", {Method<&Counter::Reset>(u"Reset"), Method<&Counter::Value>(u"RESET")}),
                 "letter case");
#else
    GTEST_SKIP() << "asserts are compiled out";
#endif
}

} // namespace
} // namespace qv::automation
