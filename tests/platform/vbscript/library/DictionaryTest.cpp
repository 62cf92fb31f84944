#include "LibraryTestSupport.h"

#include "platform/vbscript/library/Dictionary.h"

#include "platform/automation/Object.h"

#include <cmath>

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

// Keys are looked up through views of the caller's text; the index must find them again after
// it grows, after removals pack the entries and after a key is renamed, in both modes, with keys
// long enough to live outside the string's own buffer.
TEST(DictionaryTest, LookupsSurviveGrowthRemovalAndRenaming) {
    for (std::int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "binary" : "text");
        auto d = NewDictionary();
        d->LetCompareMode(mode);
        auto key = [](int i) { return Variant(u"Customer name " + automation::ToString(Variant(i))); };
        for (int i = 0; i < 500; ++i) {
            d->Add(key(i), Variant(i));
        }
        for (int i = 0; i < 500; i += 3) {
            d->Remove(key(i));
        }
        d->LetKey(key(1), Variant(u"renamed key of one"));
        EXPECT_EQ(d->Count(), 333);
        EXPECT_FALSE(d->Exists(key(1)));
        EXPECT_EQ(Describe(d->GetItem(Variant(u"renamed key of one"))), "Long:1");
        EXPECT_EQ(Describe(*d->Find(key(499))), "Long:499");
        EXPECT_FALSE(d->Find(key(498)));
        // Only text mode finds a key spelled in other letters.
        EXPECT_EQ(d->Exists(Variant(u"CUSTOMER NAME 2")), mode == 1);
        EXPECT_EQ(d->Count(), 333);
    }
}

// Removed keys leave marks in the index until it is rebuilt; a long run of adds and removes over
// a few live keys must neither lose a key nor fill the index.
TEST(DictionaryTest, ChurnKeepsLiveKeys) {
    auto d = NewDictionary();
    d->Add(Variant(u"kept"), Variant(-1));
    for (int round = 0; round < 2000; ++round) {
        d->Add(Variant(round), Variant(round));
        if (round >= 5) {
            d->Remove(Variant(round - 5));
        }
    }
    EXPECT_EQ(d->Count(), 6);
    EXPECT_EQ(Describe(d->GetItem(Variant(u"kept"))), "Long:-1");
    EXPECT_EQ(Describe(d->GetItem(Variant(1999.0))), "Long:1999");
    EXPECT_FALSE(d->Exists(Variant(1994)));
    EXPECT_EQ(KeysOf(*d), "[String:kept|Long:1995|Long:1996|Long:1997|Long:1998|Long:1999]");
}

TEST(DictionaryTest, NumberKeysIgnoreSubtypeAndSign) {
    auto d = NewDictionary();
    d->Add(Variant(0.0), Variant(u"zero"));
    EXPECT_TRUE(d->Exists(Variant(-0.0)));
    EXPECT_TRUE(d->Exists(Variant()));
    EXPECT_TRUE(d->Exists(Variant(false)));
    d->Add(Variant(automation::Currency::FromScaled(25000)), Variant(u"two and a half"));
    EXPECT_EQ(Describe(d->GetItem(Variant(2.5f))), "String:two and a half");
    EXPECT_EQ(ErrorOf([&] { d->Add(Variant(std::nan("")), Variant()); }), "error 5");
    d->Add(Variant::Null(), Variant(u"null"));
    EXPECT_EQ(Describe(d->GetItem(Variant::Null())), "String:null");
    EXPECT_EQ(d->Count(), 3);
}

} // namespace
} // namespace qv::vbscript::testing
