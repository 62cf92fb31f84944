#include "LibraryTestSupport.h"

#include "platform/vbscript/library/Dictionary.h"

#include "platform/automation/Object.h"

namespace qv::vbscript::testing {
namespace {

using automation::CallByName;
using automation::InvokeKind;
using automation::InvokeRead;
using automation::Ref;

Ref<Dictionary> NewDictionary() {
    auto object = CreateSafeObject(u"scripting.dictionary");
    auto dictionary = automation::DynamicRefCast<Dictionary>(object);
    EXPECT_TRUE(dictionary);
    return dictionary;
}

std::string ErrorOf(auto&& action) {
    try {
        action();
    } catch (const automation::Error& error) {
        return "error " + std::to_string(error.Number());
    }
    return "no error";
}

std::string KeysOf(Dictionary& dictionary) {
    return Describe(dictionary.Keys());
}

TEST(DictionaryTest, KeysOfDifferentKindsAreDistinct) {
    auto d = NewDictionary();
    d->Add(Variant(1), Variant(u"long"));
    d->Add(Variant(u"1"), Variant(u"text"));
    EXPECT_EQ(ErrorOf([&] { d->Add(I2(1), Variant()); }), "error 457");
    EXPECT_EQ(ErrorOf([&] { d->Add(Variant(1.0), Variant()); }), "error 457");
    EXPECT_TRUE(d->Exists(Variant(1.0f)));
    EXPECT_TRUE(d->Exists(Variant(std::uint8_t(1))));
    EXPECT_FALSE(d->Exists(Variant(u"01")));
    EXPECT_EQ(Describe(d->GetItem(I2(1))), "String:long");
    EXPECT_EQ(Describe(d->GetItem(Variant(u"1"))), "String:text");
    EXPECT_EQ(d->Count(), 2);
    // Keys keep the subtype they were added with.
    EXPECT_EQ(KeysOf(*d), "[Long:1|String:1]");

    auto other = NewDictionary();
    Variant objectKey{Ref<automation::Object>(other)};
    d->Add(objectKey, Variant(u"object"));
    EXPECT_TRUE(d->Exists(objectKey));
    EXPECT_FALSE(d->Exists(Variant(Ref<automation::Object>(NewDictionary()))));
    EXPECT_EQ(ErrorOf([&] { d->Add(Array({}), Variant()); }), "error 5");
}

TEST(DictionaryTest, ItemReadAddsMissingKeysAndRemoveKeepsOrder) {
    auto d = NewDictionary();
    for (int i = 0; i < 100; ++i) {
        d->Add(Variant(i), Variant(i * 10));
    }
    for (int i = 0; i < 100; i += 2) {
        d->Remove(Variant(i));
    }
    EXPECT_EQ(d->Count(), 50);
    EXPECT_EQ(ErrorOf([&] { d->Remove(Variant(0)); }), "error 32811");
    Variant items = d->Items();
    ASSERT_EQ(items.ArrayValue()->ElementCount(), 50u);
    EXPECT_EQ(Describe(items.ArrayValue()->Elements()[0]), "Long:10");
    EXPECT_EQ(Describe(items.ArrayValue()->Elements()[49]), "Long:990");
    EXPECT_EQ(Describe(*d->Find(Variant(51))), "Long:510");

    EXPECT_FALSE(d->Find(Variant(u"missing")));
    EXPECT_EQ(Describe(d->GetItem(Variant(u"missing"))), "Empty");
    EXPECT_TRUE(d->Exists(Variant(u"missing")));
    EXPECT_EQ(d->Count(), 51);

    d->RemoveAll();
    EXPECT_EQ(d->Count(), 0);
    EXPECT_EQ(KeysOf(*d), "[]");
}

TEST(DictionaryTest, LateBoundMembers) {
    auto d = NewDictionary();
    automation::Object& object = *d;
    CallByName(object, u"Add", InvokeKind::Method, {Variant(u"a"), Variant(1)});
    // d("b") = 2 through the default member, then d.Item("a") = 3.
    CallByName(object, u"Item", InvokeKind::PropertyLet, {Variant(u"b"), Variant(2)});
    CallByName(object, u"item", InvokeKind::PropertyLet, {Variant(u"a"), Variant(3)});
    EXPECT_EQ(Describe(CallByName(object, u"Item", InvokeRead, {Variant(u"a")})), "Long:3");
    auto id = object.GetDefaultDispId();
    ASSERT_TRUE(id);
    std::vector<Variant> key{Variant(u"b")};
    EXPECT_EQ(Describe(object.Invoke(*id, InvokeRead, key)), "Long:2");
    EXPECT_EQ(Describe(CallByName(object, u"Count", InvokeRead)), "Long:2");
    EXPECT_EQ(Describe(CallByName(object, u"Exists", InvokeRead, {Variant(u"b")})), "Boolean:True");

    Variant value{Ref<automation::Object>(NewDictionary())};
    CallByName(object, u"Item", InvokeKind::PropertySet, {Variant(u"c"), value});
    EXPECT_TRUE(CallByName(object, u"Item", InvokeRead, {Variant(u"c")}).IsObject());
    EXPECT_EQ(ErrorOf([&] {
                  CallByName(object, u"Item", InvokeKind::PropertySet, {Variant(u"c"), Variant(1)});
              }),
              "error 424");

    // Key renames in place.
    CallByName(object, u"Key", InvokeKind::PropertyLet, {Variant(u"a"), Variant(u"z")});
    EXPECT_EQ(KeysOf(*d), "[String:z|String:b|String:c]");
    EXPECT_EQ(ErrorOf([&] {
                  CallByName(object, u"Key", InvokeKind::PropertyLet, {Variant(u"z"), Variant(u"b")});
              }),
              "error 457");
    EXPECT_EQ(ErrorOf([&] {
                  CallByName(object, u"Key", InvokeKind::PropertyLet, {Variant(u"q"), Variant(u"r")});
              }),
              "error 32811");
    EXPECT_EQ(ErrorOf([&] {
                  CallByName(object, u"Add", InvokeKind::Method, {Variant(u"b"), Variant()});
              }),
              "error 457");
    EXPECT_EQ(ErrorOf([&] { CallByName(object, u"Nope", InvokeRead); }), "error 438");

    std::vector<std::string> seen;
    auto enumerator = object.NewEnum();
    Variant item;
    while (enumerator->Next(item)) {
        seen.push_back(Describe(item));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"String:z", "String:b", "String:c"}));
}

TEST(DictionaryTest, CompareMode) {
    auto d = NewDictionary();
    EXPECT_EQ(d->GetCompareMode(), 0);
    d->LetCompareMode(1);
    d->Add(Variant(u"Key"), Variant(1));
    EXPECT_TRUE(d->Exists(Variant(u"KEY")));
    EXPECT_EQ(ErrorOf([&] { d->Add(Variant(u"kEy"), Variant(2)); }), "error 457");
    EXPECT_EQ(ErrorOf([&] { d->LetCompareMode(0); }), "error 5");
    EXPECT_EQ(KeysOf(*d), "[String:Key]");

    auto binary = NewDictionary();
    binary->Add(Variant(u"Key"), Variant(1));
    binary->Add(Variant(u"KEY"), Variant(2));
    EXPECT_EQ(binary->Count(), 2);
    EXPECT_EQ(binary->HashVal(Variant(u"a")), 97);
    EXPECT_EQ(binary->HashVal(Variant(u"")), 0);
}

} // namespace
} // namespace qv::vbscript::testing
