#include "core/CSuperCollection.h"
#include "core/QoProperties.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class CSuperCollectionTest : public test::ApartmentTest {
protected:
    /// A collection holding each key's text as its item, under that key.
    static Ref<CSuperCollection> Keyed(std::initializer_list<std::u16string_view> keys,
                                       std::int32_t compareMode = KeyCompare::Binary) {
        Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
        collection->SetCompareMode(compareMode);
        for (std::u16string_view key : keys) {
            collection->Add(Variant(key), key);
        }
        return collection;
    }

    /// The items in position order, as text.
    static std::vector<std::u16string> Items(const CSuperCollection& collection) {
        std::vector<std::u16string> items;
        for (std::int32_t position = 1; position <= collection.Count(); ++position) {
            items.push_back(automation::ToString(*collection.At(position)));
        }
        return items;
    }

    /// Every key still names its own item and KeyExists gives its position.
    static void ExpectKeysConsistent(const CSuperCollection& collection) {
        for (std::int32_t position = 1; position <= collection.Count(); ++position) {
            const std::u16string key = collection.Key(position);
            if (key.empty()) {
                continue;
            }
            EXPECT_EQ(collection.KeyExists(key), position) << automation::ToUtf8(key);
            EXPECT_EQ(automation::ToString(*collection.Find(key)),
                      automation::ToString(*collection.At(position)));
        }
    }

    static std::int32_t ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const automation::Error& error) {
            return error.Number();
        }
        return 0;
    }
};

using Strings = std::vector<std::u16string>;

TEST_F(CSuperCollectionTest, RaisesItsNumberedErrorsWithTheirTexts) {
    struct Case {
        const char* what;
        std::function<void(CSuperCollection&)> action;
        std::int32_t number;
        std::u16string_view description;
    };
    const Case cases[] = {
        {"compare mode after add", [](CSuperCollection& c) { c.SetCompareMode(0); },
         CollectionError::AlreadyInitialized, u"Collection already initialized"},
        {"base index after add", [](CSuperCollection& c) { c.SetBaseIndex(0); },
         CollectionError::AlreadyInitialized, u"Collection already initialized"},
        {"remove unknown key", [](CSuperCollection& c) { c.Remove(Variant(u"zz")); },
         CollectionError::KeyNotFound, u"Key not found."},
        {"remove beyond the end", [](CSuperCollection& c) { c.Remove(Variant(4)); }, 9, {}},
        {"remove by date", [](CSuperCollection& c) { c.Remove(Variant::FromDate(1.0)); },
         CollectionError::InvalidDatatype, u"Invalid datatype"},
        {"item by boolean", [](CSuperCollection& c) { c.Item(Variant(true)); },
         CollectionError::InvalidDatatype, u"Invalid datatype"},
        {"item by empty", [](CSuperCollection& c) { c.Item(Variant()); }, CollectionError::InvalidDatatype,
         u"Invalid datatype"},
        {"add before without position",
         [](CSuperCollection& c) { c.Add(Variant(1), u"n", InsertMode::Before); },
         CollectionError::NoPositionSupplied, u"No position supplied."},
        {"add at position beyond the end",
         [](CSuperCollection& c) { c.Add(Variant(1), u"n", InsertMode::Before, 5); },
         9,
         {}},
        {"add an existing key", [](CSuperCollection& c) { c.Add(Variant(1), u"b"); }, 457, {}},
        {"item set not allowed", [](CSuperCollection& c) { c.SetItem(Variant(1), Variant(2)); }, 438, {}},
        {"move unknown key", [](CSuperCollection& c) { c.MoveItem(Variant(u"zz"), Variant(1)); },
         CollectionError::KeyNotFound, u"Key not found."},
        {"move to position 0", [](CSuperCollection& c) { c.MoveItem(Variant(1), Variant(0)); }, 9, {}},
        {"key of position 0", [](CSuperCollection& c) { c.Key(0); }, 9, {}},
        {"change key to a taken key", [](CSuperCollection& c) { c.ChangeKey(u"a", u"b"); }, 457, {}},
        {"change unknown key", [](CSuperCollection& c) { c.ChangeKey(u"zz", u"y"); },
         CollectionError::KeyNotFound, u"Key not found."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Ref<CSuperCollection> collection = Keyed({u"a", u"b", u"c"});
        try {
            test.action(*collection);
            ADD_FAILURE() << "no error";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), test.number);
            if (!test.description.empty()) {
                EXPECT_EQ(error.Description(), test.description);
            }
        }
        EXPECT_EQ(Items(*collection), (Strings{u"a", u"b", u"c"})) << "a refused call changes nothing";
    }
}

TEST_F(CSuperCollectionTest, CompareModeDecidesWhetherKeysIgnoreCase) {
    Ref<CSuperCollection> text = Keyed({u"Orders"}, KeyCompare::Text);
    EXPECT_EQ(ErrorOf([&] { text->Add(Variant(2), u"ORDERS"); }), 457);
    EXPECT_EQ(text->KeyExists(u"orders"), 1);

    Ref<CSuperCollection> binary = Keyed({u"Orders"}, KeyCompare::Binary);
    binary->Add(Variant(u"ORDERS"), u"ORDERS");
    EXPECT_EQ(binary->KeyExists(u"ORDERS"), 2);
    EXPECT_EQ(binary->KeyExists(u"orders"), NoPosition);
    EXPECT_EQ(binary->KeyExists(u""), NoPosition);
    EXPECT_EQ(ErrorOf([&] { binary->SetCompareMode(0); }), CollectionError::AlreadyInitialized)
        << "refused once an item is in, even for the same mode";
    EXPECT_EQ(ErrorOf([] { MakeRef<CSuperCollection>()->SetCompareMode(2); }), 9);
}

TEST_F(CSuperCollectionTest, AddPlacesItemsByInsertMode) {
    struct Case {
        const char* what;
        std::int32_t insert;
        std::int32_t position;
        Strings expected;
    };
    const Case cases[] = {
        {"before the second", InsertMode::Before, 2, {u"a", u"n", u"b", u"c"}},
        {"before the first", InsertMode::Before, 1, {u"n", u"a", u"b", u"c"}},
        {"after the first", InsertMode::After, 1, {u"a", u"n", u"b", u"c"}},
        {"after the last", InsertMode::After, 3, {u"a", u"b", u"c", u"n"}},
        {"first", InsertMode::First, NoPosition, {u"n", u"a", u"b", u"c"}},
        {"last", InsertMode::Last, NoPosition, {u"a", u"b", u"c", u"n"}},
        {"unknown mode", 9, NoPosition, {u"a", u"b", u"c", u"n"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Ref<CSuperCollection> collection = Keyed({u"a", u"b", u"c"});
        collection->Add(Variant(u"n"), u"n", test.insert, test.position);
        EXPECT_EQ(Items(*collection), test.expected);
        ExpectKeysConsistent(*collection);
    }
    Ref<CSuperCollection> empty = MakeRef<CSuperCollection>();
    empty->Add(Variant(u"n"), u"n", InsertMode::Before, 1); // the first place of an empty collection
    EXPECT_EQ(Items(*empty), (Strings{u"n"}));
}

TEST_F(CSuperCollectionTest, RemoveRenumbersTheKeysOfLaterItems) {
    Ref<CSuperCollection> collection = Keyed({u"k1", u"k2", u"k3", u"k4", u"k5"});
    collection->Remove(Variant(2));
    EXPECT_EQ(collection->KeyExists(u"k3"), 2);
    EXPECT_EQ(collection->KeyExists(u"k4"), 3);
    EXPECT_EQ(collection->KeyExists(u"k5"), 4);
    EXPECT_EQ(collection->KeyExists(u"k2"), NoPosition);
    collection->Remove(Variant(u"k5"));
    EXPECT_EQ(Items(*collection), (Strings{u"k1", u"k3", u"k4"}));
    collection->Remove(Variant(2.6)); // positions round like CLng: 3
    EXPECT_EQ(Items(*collection), (Strings{u"k1", u"k3"}));
    ExpectKeysConsistent(*collection);
}

TEST_F(CSuperCollectionTest, RemovingAnUnkeyedItemKeepsEveryKey) {
    // Regression: removing an item without a key used to drop another item's key entry.
    Ref<CSuperCollection> collection = Keyed({u"a", u"b"});
    collection->Add(Variant(u"unkeyed"));
    collection->Add(Variant(u"c"), u"c");
    collection->Remove(Variant(3));
    EXPECT_EQ(Items(*collection), (Strings{u"a", u"b", u"c"}));
    EXPECT_EQ(collection->KeyExists(u"a"), 1);
    EXPECT_EQ(collection->KeyExists(u"b"), 2);
    EXPECT_EQ(collection->KeyExists(u"c"), 3);
    EXPECT_EQ(collection->Keys()->Count(), 3);
}

TEST_F(CSuperCollectionTest, MoveItemKeepsEveryKeyOnItsItem) {
    struct Case {
        Variant from;
        Variant to;
        Strings expected;
    };
    const Case cases[] = {
        {Variant(1), Variant(3), {u"B", u"C", u"A"}},
        {Variant(3), Variant(1), {u"C", u"A", u"B"}},
        {Variant(u"B"), Variant(u"C"), {u"A", u"C", u"B"}},
        {Variant(2), Variant(2), {u"A", u"B", u"C"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(automation::ToUtf8(automation::ToString(test.from)) + " to " +
                     automation::ToUtf8(automation::ToString(test.to)));
        Ref<CSuperCollection> collection = Keyed({u"A", u"B", u"C"});
        const Variant moved = collection->Item(test.from);
        const std::int32_t target = collection->MoveItem(test.from, test.to);
        EXPECT_EQ(Items(*collection), test.expected);
        EXPECT_EQ(automation::ToString(*collection->At(target)), automation::ToString(moved))
            << "the result is the moved item's new position";
        ExpectKeysConsistent(*collection);
    }
}

TEST_F(CSuperCollectionTest, ItemOfNothingIsEmptyAndAssignmentKeepsTheKey) {
    Ref<CSuperCollection> collection = Keyed({u"a", u"b"});
    EXPECT_TRUE(collection->Item(Variant(u"zz")).IsEmpty());
    EXPECT_TRUE(collection->Item(Variant(3)).IsEmpty());
    EXPECT_TRUE(collection->Item(Variant(0)).IsEmpty());
    EXPECT_TRUE(MakeRef<CSuperCollection>()->Item(Variant(1)).IsEmpty());

    collection->SetAllowItemAsignments(true);
    collection->SetItem(Variant(u"b"), Variant(42));
    EXPECT_EQ(automation::ToLong(collection->Item(Variant(2))), 42);
    EXPECT_EQ(collection->Key(2), u"b");
    EXPECT_EQ(ErrorOf([&] { collection->SetItem(Variant(3), Variant(1)); }), CollectionError::KeyNotFound);
}

TEST_F(CSuperCollectionTest, ChangeKeyRenamesOnlyTheItemItNames) {
    Ref<CSuperCollection> text = Keyed({u"Orders", u"Customers"}, KeyCompare::Text);
    text->ChangeKey(u"orders", u"ORDERS"); // same word in other letter case
    EXPECT_EQ(text->Key(1), u"ORDERS");
    EXPECT_EQ(text->KeyExists(u"Orders"), 1);
    text->ChangeKey(u"Customers", u"Clients");
    EXPECT_EQ(text->KeyExists(u"Customers"), NoPosition);
    EXPECT_EQ(text->KeyExists(u"clients"), 2);
    text->ChangeKey(u"Clients", u"");
    EXPECT_EQ(text->Key(2), u"");
    EXPECT_EQ(text->KeyExists(u"ORDERS"), 1);
    EXPECT_EQ(text->Keys()->Count(), 1);

    // Regression: in a case-sensitive collection, renaming "a" to "A" while another item bears
    // "A" gave both items the key "A".
    Ref<CSuperCollection> binary = Keyed({u"a", u"A"});
    EXPECT_EQ(ErrorOf([&] { binary->ChangeKey(u"a", u"A"); }), 457);
    EXPECT_EQ(binary->Key(1), u"a");

    Ref<CSuperCollection> byIndex = Keyed({u"a", u"b"});
    byIndex->ChangeKeyForIndex(u"2", u"z");
    EXPECT_EQ(byIndex->KeyExists(u"z"), 2);
    byIndex->ChangeKeyForIndex(u"7", u"y"); // outside the items: nothing happens
    EXPECT_EQ(byIndex->KeyExists(u"y"), NoPosition);
    EXPECT_EQ(ErrorOf([&] { byIndex->ChangeKeyForIndex(u"1", u"a"); }), 457) << "even its own key";
}

TEST_F(CSuperCollectionTest, ChangeKeySetsTheKeyPropertyOfTheItem) {
    Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
    Ref<QoProperty> item = MakeRef<QoProperty>();
    collection->Add(Variant(Ref<automation::Object>(item)), u"old");
    collection->ChangeKey(u"old", u"new");
    EXPECT_EQ(item->Key(), u"new");
    EXPECT_EQ(collection->KeyExists(u"new"), 1);
}

TEST_F(CSuperCollectionTest, EnumerationSkipsRemovedItemsAndSeesAddedOnes) {
    // Walking and removing the item just yielded visits every item once.
    Ref<CSuperCollection> collection = Keyed({u"a", u"b", u"c", u"d"});
    Strings visited;
    {
        Ref<automation::Enumerator> items = collection->NewEnum();
        Variant item;
        while (items->Next(item)) {
            visited.push_back(automation::ToString(item));
            collection->Remove(item);
            if (visited.size() == 1) {
                collection->Remove(Variant(u"c")); // removed ahead of the loop: never yielded
            }
        }
    }
    EXPECT_EQ(visited, (Strings{u"a", u"b", u"d"}));
    EXPECT_EQ(collection->Count(), 0);

    Ref<CSuperCollection> growing = Keyed({u"a", u"b"});
    visited.clear();
    Ref<automation::Enumerator> items = growing->NewEnum();
    Variant item;
    while (items->Next(item)) {
        visited.push_back(automation::ToString(item));
        if (visited.size() <= 2) {
            growing->Add(Variant(u"n" + visited.back()), u"n" + visited.back());
        }
    }
    EXPECT_EQ(visited, (Strings{u"a", u"b", u"na", u"nb"}));
}

TEST_F(CSuperCollectionTest, MovingIsRefusedWhileAnEnumeratorIsOpen) {
    Ref<CSuperCollection> collection = Keyed({u"a", u"b", u"c"});
    {
        Ref<cEnumerationObject> items = collection->Enumerate();
        Ref<cEnumerationObject> clone = items->Clone();
        EXPECT_EQ(collection->OpenEnumerators(), 2);
        EXPECT_EQ(ErrorOf([&] { collection->MoveItem(Variant(1), Variant(2)); }),
                  CollectionError::MoveInLoop);
        // Placing a new item would shift the loop's items: refused before anything is added.
        EXPECT_EQ(ErrorOf([&] { collection->Add(Variant(u"n"), u"n", InsertMode::First); }),
                  CollectionError::MoveInLoop);
        EXPECT_EQ(collection->KeyExists(u"n"), NoPosition);
        collection->Add(Variant(u"n"), u"n"); // appending is fine
        EXPECT_TRUE(items->Skip(2));
        Variant item;
        ASSERT_TRUE(items->Next(item));
        EXPECT_EQ(automation::ToString(item), u"c");
        items->Reset();
        ASSERT_TRUE(items->Next(item));
        EXPECT_EQ(automation::ToString(item), u"a");
    }
    EXPECT_EQ(collection->OpenEnumerators(), 0);
    EXPECT_EQ(collection->MoveItem(Variant(1), Variant(2)), 2);
}

TEST_F(CSuperCollectionTest, EnumeratorsAndKeyListsOutliveTheirCollection) {
    Ref<cEnumerationObject> items;
    Ref<CKeys> keys;
    {
        Ref<CSuperCollection> collection = Keyed({u"a"});
        items = collection->Enumerate();
        keys = collection->Keys();
    }
    Variant item;
    EXPECT_FALSE(items->Next(item));
    EXPECT_EQ(keys->Count(), 0);
    EXPECT_FALSE(keys->Next());
}

TEST_F(CSuperCollectionTest, KeysComeInAscendingOrderWithTheirPositions) {
    Ref<CSuperCollection> collection = Keyed({u"b", u"C", u"a"}, KeyCompare::Text);
    collection->Add(Variant(u"unkeyed"));
    Ref<CKeys> keys = collection->Keys();
    EXPECT_EQ(keys->Count(), 3);
    Strings walked;
    std::vector<std::int32_t> positions;
    Ref<automation::Enumerator> walker = keys->NewEnum();
    Variant key;
    while (walker->Next(key)) {
        auto& entry = static_cast<cKey&>(*key.ObjectValue());
        walked.push_back(entry.Name());
        positions.push_back(entry.AssociatedIndex());
    }
    EXPECT_EQ(walked, (Strings{u"a", u"b", u"C"}));
    EXPECT_EQ(positions, (std::vector<std::int32_t>{3, 1, 2}));
    EXPECT_FALSE(keys->NewEnum()->Next(key)) << "a key list is walked once";

    Ref<CSuperCollection> binary = Keyed({u"b", u"C", u"a"});
    Ref<CKeys> binaryKeys = binary->Keys();
    EXPECT_EQ(binaryKeys->Next()->Name(), u"C") << "upper case sorts first when comparing exactly";
    EXPECT_FALSE(MakeRef<CSuperCollection>()->Keys()->Next());
}

TEST_F(CSuperCollectionTest, ClearEmptiesButKeepsTheModes) {
    Ref<CSuperCollection> collection = Keyed({u"a", u"b"}, KeyCompare::Text);
    collection->Clear();
    EXPECT_EQ(collection->Count(), 0);
    EXPECT_EQ(collection->KeyExists(u"a"), NoPosition);
    EXPECT_EQ(collection->CompareMode(), KeyCompare::Text);
    collection->SetBaseIndex(0);
    collection->Add(Variant(u"x"), u"x");
    EXPECT_EQ(collection->KeyExists(u"X"), 0);
}

TEST_F(CSuperCollectionTest, PositionsStayNumbersWhateverTheBase) {
    // Regression: a base near either end of the 32-bit range overflowed the position arithmetic.
    Ref<CSuperCollection> low = MakeRef<CSuperCollection>();
    low->SetBaseIndex(-2000000000);
    low->Add(Variant(u"a"), u"a");
    EXPECT_TRUE(low->Item(Variant(2000000000)).IsEmpty());
    EXPECT_EQ(ErrorOf([&] { low->Key(2000000000); }), 9);
    EXPECT_EQ(low->KeyExists(u"a"), -2000000000);

    Ref<CSuperCollection> high = MakeRef<CSuperCollection>();
    high->SetBaseIndex(2147483647);
    high->Add(Variant(u"a"), u"a", InsertMode::After, 2147483647);
    EXPECT_EQ(high->KeyExists(u"a"), 2147483647);
    EXPECT_EQ(ErrorOf([&] { high->Add(Variant(u"b"), u"b"); }), automation::ErrorNumber::Overflow);
    EXPECT_EQ(high->Count(), 1) << "nothing is added";
}

TEST_F(CSuperCollectionTest, LateBoundMembersTakeOptionalArguments) {
    Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
    automation::CallByName(*collection, u"add", automation::InvokeKind::Method,
                           {Variant(u"x"), Variant(u"k")});
    automation::CallByName(*collection, u"Add", automation::InvokeKind::Method,
                           {Variant(u"y"), Variant(u"j"), Variant(InsertMode::Before), Variant(1)});
    EXPECT_EQ(automation::ToLong(automation::CallByName(*collection, u"Count", automation::InvokeRead)), 2);
    EXPECT_EQ(automation::ToString(
                  automation::CallByName(*collection, u"Item", automation::InvokeRead, {Variant(u"k")})),
              u"x");
    EXPECT_EQ(automation::ToLong(
                  automation::CallByName(*collection, u"KeyExists", automation::InvokeRead, {Variant(u"k")})),
              2);
}

TEST_F(CSuperCollectionTest, ManyKeysStayConsistentThroughRemovalsAndMoves) {
    Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
    collection->SetCompareMode(KeyCompare::Text);
    for (int number = 0; number < 1000; ++number) {
        const std::u16string key = u"Key" + automation::FromUtf8(std::to_string(number));
        collection->Add(Variant(key), key);
    }
    for (int number = 0; number < 1000; number += 7) {
        collection->Remove(Variant(u"KEY" + automation::FromUtf8(std::to_string(number))));
    }
    collection->MoveItem(Variant(1), Variant(collection->Count()));
    collection->MoveItem(Variant(500), Variant(2));
    EXPECT_EQ(collection->Count(), 1000 - 143);
    ExpectKeysConsistent(*collection);
}

} // namespace
} // namespace qv
