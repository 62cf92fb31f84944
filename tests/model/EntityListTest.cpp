// The field and table lists: numbering, cursor, lookups by name and position, renames and
// removals. One body runs over both lists.

#include "ModelFixture.h"

#include "model/field/QelFields.h"
#include "model/table/QelTables.h"

#include "core/QelVars.h"
#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

template <class List> struct ListTraits;

template <> struct ListTraits<QelFields> {
    using Entity = QelField;
    static constexpr std::u16string_view VarPrefix = u"x_";
    static constexpr std::u16string_view EnumMember = u"NewEnum_fld";
    static constexpr std::u16string_view ExistMember = u"FieldExist";
    static std::u16string Name(const QelField& field) { return field.FldName(); }
    static void SetName(QelField& field, std::u16string_view name) { field.SetFldName(name); }
    static std::int16_t Seq(const QelField& field) { return field.FldSeq(); }
    static void SetSeq(QelField& field, std::int16_t seq) { field.SetFldSeq(seq); }
    static std::u16string Var(const QelField& field) { return field.FldVar(); }
    static bool Exist(const QelFields& list, const Variant& name) { return list.FieldExist(name); }
};

template <> struct ListTraits<QelTables> {
    using Entity = QelTable;
    static constexpr std::u16string_view VarPrefix = u"";
    static constexpr std::u16string_view EnumMember = u"NewEnum_tbl";
    static constexpr std::u16string_view ExistMember = u"TableExist";
    static std::u16string Name(const QelTable& table) { return table.TblName(); }
    static void SetName(QelTable& table, std::u16string_view name) { table.SetTblName(name); }
    static std::int16_t Seq(const QelTable& table) { return table.TblSeq(); }
    static void SetSeq(QelTable& table, std::int16_t seq) { table.SetTblSeq(seq); }
    static std::u16string Var(const QelTable& table) { return table.TblVar(); }
    static bool Exist(const QelTables& list, const Variant& name) { return list.TableExist(name); }
};

template <class List> class EntityListTest : public test::ModelTest {
protected:
    using Traits = ListTraits<List>;

    void SetUp() override {
        test::ModelTest::SetUp();
        mList = automation::MakeRef<List>();
    }

    void AddAll(std::initializer_list<std::u16string_view> names) {
        for (std::u16string_view name : names) {
            ASSERT_TRUE(mList->Add(std::u16string(name)));
        }
    }

    /// The names in list order with their sequence numbers, as "A1 C2".
    std::u16string Layout() const {
        std::u16string layout;
        for (const auto& entity : *mList) {
            if (!layout.empty()) {
                layout += u' ';
            }
            layout += Traits::Name(entity) + automation::ToString(Variant(Traits::Seq(entity)));
        }
        return layout;
    }

    std::u16string Cursor() const {
        return mList->curName() + u"/" + automation::ToString(Variant(mList->curSeq()));
    }

    Ref<List> mList;
};

using ListTypes = ::testing::Types<QelFields, QelTables>;
TYPED_TEST_SUITE(EntityListTest, ListTypes);

TYPED_TEST(EntityListTest, AddNumbersInOrderAndMovesTheCursor) {
    using Traits = typename TestFixture::Traits;
    EXPECT_EQ(this->Cursor(), u"/0");
    EXPECT_FALSE(this->mList->Add(u""));
    this->AddAll({u"A", u"B", u"C"});
    EXPECT_EQ(this->Layout(), u"A1 B2 C3");
    EXPECT_EQ(this->Cursor(), u"C/3");
    EXPECT_FALSE(this->mList->Add(u"B")) << "an exact duplicate";
    EXPECT_EQ(this->mList->Count(), 3);
    EXPECT_EQ(this->Cursor(), u"C/3");
    EXPECT_TRUE(Traits::Exist(*this->mList, Variant(u"B")));
    EXPECT_FALSE(Traits::Exist(*this->mList, Variant(u"b")));
    EXPECT_FALSE(Traits::Exist(*this->mList, Variant(std::int16_t{1})));
}

// Adding a name that differs from a present one only in letter case used to raise 457 from the
// key, which ended the whole load; it is refused as a duplicate now.
TYPED_TEST(EntityListTest, AddRefusesANameTakenInAnotherLetterCase) {
    this->AddAll({u"OrderID", u"Total"});
    EXPECT_TRUE(this->mList->IsNameTaken(u"ORDERID"));
    EXPECT_TRUE(this->mList->IsNameTaken(u"Total"));
    EXPECT_FALSE(this->mList->IsNameTaken(u"Totals"));
    EXPECT_FALSE(this->mList->Add(u"orderid"));
    EXPECT_EQ(this->Layout(), u"OrderID1 Total2");
    EXPECT_EQ(this->Cursor(), u"Total/2");
    // The late-bound Add answers the same.
    EXPECT_FALSE(automation::CallByName(*this->mList, u"Add", automation::InvokeRead, {Variant(u"TOTAL")})
                     .BooleanValue());
}

TYPED_TEST(EntityListTest, DeleteClosesTheGapAndLeavesTheCursor) {
    this->AddAll({u"A", u"B", u"C"});
    EXPECT_FALSE(this->mList->Delete(u""));
    EXPECT_FALSE(this->mList->Delete(u"b")) << "names compare exactly";
    EXPECT_TRUE(this->mList->Delete(u"B"));
    EXPECT_EQ(this->Layout(), u"A1 C2");
    EXPECT_EQ(this->Cursor(), u"C/3");
    EXPECT_EQ(this->mList->Item(Variant(std::int16_t{2})).Get(), this->mList->Find(u"C"));

    EXPECT_TRUE(this->mList->Delete(u"C"));
    EXPECT_TRUE(this->mList->Delete(u"A"));
    EXPECT_EQ(this->mList->Count(), 0);
    EXPECT_EQ(this->Cursor(), u"C/2") << "the cursor still names the last entity made current";
    EXPECT_TRUE(this->mList->Add(u"c")) << "a deleted name is free again";
}

// Delete found the entity by its name but removed whatever bore that text as its key: after a
// rename through the bag it removed nothing (or another entity) and broke the numbering.
TYPED_TEST(EntityListTest, DeleteRemovesTheEntityFoundByNameWhateverItsKey) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C"});
    Traits::SetName(*this->mList->Find(u"B"), u"Z");
    EXPECT_FALSE(this->mList->Delete(u"B"));
    EXPECT_TRUE(this->mList->Delete(u"Z"));
    EXPECT_EQ(this->Layout(), u"A1 C2");
    EXPECT_TRUE(this->mList->Add(u"B")) << "the key went with it";
}

TYPED_TEST(EntityListTest, InSequenceOrderIsSeqOneToCount) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C", u"D"});
    // Renumbered by a client: a gap (no 2), a number beyond Count and a number taken twice,
    // where the first in list order holds it, as Seq finds it.
    Traits::SetSeq(*this->mList->Find(u"A"), 3);
    Traits::SetSeq(*this->mList->Find(u"B"), 9);
    Traits::SetSeq(*this->mList->Find(u"C"), 1);
    Traits::SetSeq(*this->mList->Find(u"D"), 3);
    const auto ordered = this->mList->InSequenceOrder();
    ASSERT_EQ(ordered.size(), 4u);
    for (std::int16_t seq = 1; seq <= 4; ++seq) {
        SCOPED_TRACE(seq);
        EXPECT_EQ(ordered[static_cast<std::size_t>(seq - 1)].Get(), this->mList->Seq(seq).Get());
    }
    EXPECT_EQ(Traits::Name(*ordered[2]), u"A");
}

TYPED_TEST(EntityListTest, ItemBySeqPositionAndName) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C"});
    // Position and sequence number part when a client renumbers.
    Traits::SetSeq(*this->mList->Find(u"B"), 7);
    const Ref<typename Traits::Entity> second = this->mList->Item(Variant(2.0));
    ASSERT_TRUE(second);
    EXPECT_EQ(Traits::Name(*second), u"B");
    EXPECT_EQ(this->Cursor(), u"B/7");
    EXPECT_FALSE(this->mList->Seq(2));
    EXPECT_EQ(this->mList->Seq(7).Get(), second.Get());
    this->mList->SetSeq(3);
    EXPECT_EQ(this->Cursor(), u"C/3");
    EXPECT_EQ(Traits::Name(*this->mList->Seq(1)), u"A");
    EXPECT_EQ(this->Cursor(), u"C/3") << "Seq leaves the cursor";

    struct Miss {
        const char* label;
        Variant index;
    };
    const Miss misses[] = {
        {"position 0", Variant(std::int16_t{0})},
        {"position Count + 1", Variant(std::int32_t{4})},
        {"a huge double", Variant(1e300)},
        {"lower case name", Variant(u"a")},
        {"unknown name", Variant(u"D")},
        {"Boolean", Variant(true)},
        {"Empty", Variant()},
        {"Null", Variant::Null()},
        {"date", Variant::FromDate(2.0)},
        {"currency", Variant(automation::Currency::FromScaled(20000))},
    };
    for (const Miss& miss : misses) {
        SCOPED_TRACE(miss.label);
        EXPECT_FALSE(this->mList->Item(miss.index));
        EXPECT_EQ(this->Cursor(), u"C/3");
    }
    this->mList->SetItem(Variant(std::int16_t{1}));
    this->mList->SetItem(Variant(u"b"));
    this->mList->SetSeq(9);
    EXPECT_EQ(this->Cursor(), u"C/3");
    this->mList->SetItem(Variant(u"A"));
    EXPECT_EQ(this->Cursor(), u"A/1");
    EXPECT_EQ(Traits::Name(*this->mList->Item(Variant(u"C"))), u"C");
    EXPECT_EQ(this->Cursor(), u"C/3");
}

TYPED_TEST(EntityListTest, ChangeRenamesInPlace) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C"});
    EXPECT_FALSE(this->mList->Change(u"", u"X"));
    EXPECT_FALSE(this->mList->Change(u"A", u""));
    EXPECT_FALSE(this->mList->Change(u"Q", u"X"));
    EXPECT_FALSE(this->mList->Change(u"a", u"X")) << "the old name compares exactly";

    ASSERT_TRUE(this->mList->Change(u"A", u"Unit Price"));
    EXPECT_EQ(this->Layout(), u"Unit Price1 B2 C3");
    EXPECT_EQ(this->Cursor(), u"Unit Price/1");
    const auto* renamed = this->mList->Find(u"Unit Price");
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(Traits::Var(*renamed), std::u16string(Traits::VarPrefix) + ToIdentifier(u"Unit Price", u""));
    EXPECT_TRUE(this->mList->IsNameTaken(u"unit price")) << "the key follows the name";
    EXPECT_FALSE(this->mList->IsNameTaken(u"A"));

    ASSERT_TRUE(this->mList->Change(u"B", u"b")) << "a change of letter case only";
    EXPECT_EQ(this->Layout(), u"Unit Price1 b2 C3");

    try {
        this->mList->Change(u"C", u"B");
        ADD_FAILURE() << "the new name is another entity's key";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::DuplicateKey);
    }
    EXPECT_EQ(this->Layout(), u"Unit Price1 b2 C3");
    EXPECT_EQ(this->Cursor(), u"b/2");
}

// Exact lookups go through an index of the names; a name changed behind the list's back, by an
// accessor or through the bag, must be found by its new text at once, as when every entity was
// compared in turn.
TYPED_TEST(EntityListTest, LookupsFollowNamesChangedBehindTheListsBack) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C", u"D"});
    auto positionOf = [&](std::u16string_view name) -> std::int16_t {
        const auto* found = this->mList->Find(name);
        return found == nullptr ? std::int16_t{0} : Traits::Seq(*found);
    };
    auto bagOf = [&](std::u16string_view name) { return this->mList->Find(name)->Properties(); };
    const std::u16string setting = std::is_same_v<TypeParam, QelFields> ? u"FldName" : u"TblName";

    struct Step {
        const char* label;
        std::function<void()> change;
        std::vector<std::pair<std::u16string_view, std::int16_t>> expected; // name, seq (0: none)
    };
    const Step steps[] = {
        {"accessor", [&] { Traits::SetName(*this->mList->Find(u"B"), u"Z"); }, {{u"B", 0}, {u"Z", 2}}},
        {"bag value",
         [&] { bagOf(u"C")->Item(Variant(setting))->SetValue(Variant(u"Y")); },
         {{u"C", 0}, {u"Y", 3}}},
        {"same name twice: the first in list order",
         [&] { Traits::SetName(*this->mList->Find(u"D"), u"A"); },
         {{u"A", 1}, {u"D", 0}}},
        {"a number as name",
         [&] { bagOf(u"Z")->Item(Variant(setting))->SetValue(Variant(std::int32_t{5})); },
         {{u"Z", 0}, {u"5", 2}}},
        {"deleted from the bag", [&] { bagOf(u"Y")->Delete(Variant(setting)); }, {{u"Y", 0}}},
        {"deleting the first of two", [&] { EXPECT_TRUE(this->mList->Delete(u"A")); }, {{u"A", 3}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.change();
        for (const auto& [name, seq] : step.expected) {
            SCOPED_TRACE(automation::ToUtf8(name));
            EXPECT_EQ(positionOf(name), seq);
            EXPECT_EQ(Traits::Exist(*this->mList, Variant(name)), seq != 0);
        }
    }
    // A setting added again through the bag is watched like the one it replaced.
    const Ref<QoProperties> bag = this->mList->Item(Variant(std::int16_t{2}))->Properties();
    ASSERT_TRUE(bag->Add(setting, u"String"));
    bag->Item(Variant(setting))->SetValue(Variant(u"X"));
    EXPECT_EQ(positionOf(u"X"), 2);
    bag->Item(Variant(setting))->SetValue(Variant(u"W"));
    EXPECT_EQ(positionOf(u"X"), 0);
    EXPECT_EQ(positionOf(u"W"), 2);
    EXPECT_FALSE(this->mList->Add(u"W")) << "an exact name is taken whatever the key";
}

// Seq goes through an index of the numbers, kept while no number changes; a number changed
// behind the list's back, an entity added while the index stands and a removal that renumbers
// must all be seen at once, as when every entity was compared in turn.
TYPED_TEST(EntityListTest, SeqFollowsNumbersChangedBehindTheListsBack) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C"});
    auto nameNumbered = [&](std::int16_t seq) -> std::u16string {
        const auto found = this->mList->Seq(seq);
        return found ? Traits::Name(*found) : u"-";
    };
    auto bagOf = [&](std::u16string_view name) { return this->mList->Find(name)->Properties(); };
    const std::u16string setting = std::is_same_v<TypeParam, QelFields> ? u"FldSeq" : u"TblSeq";
    EXPECT_EQ(nameNumbered(2), u"B");

    struct Step {
        const char* label;
        std::function<void()> change;
        std::vector<std::pair<std::int16_t, std::u16string_view>> expected; // seq, name ("-": none)
    };
    const Step steps[] = {
        {"accessor", [&] { Traits::SetSeq(*this->mList->Find(u"B"), 5); }, {{2, u"-"}, {5, u"B"}}},
        {"bag value",
         [&] { bagOf(u"C")->Item(Variant(setting))->SetValue(Variant(std::int16_t{2})); },
         {{2, u"C"}, {3, u"-"}}},
        {"added while an earlier entity holds its number",
         [&] {
             Traits::SetSeq(*this->mList->Find(u"A"), 4);
             EXPECT_EQ(nameNumbered(4), u"A");
             ASSERT_TRUE(this->mList->Add(u"D"));
         },
         {{4, u"A"}, {1, u"-"}}},
        {"deleted from the bag", [&] { bagOf(u"B")->Delete(Variant(setting)); }, {{5, u"-"}}},
        {"added to the bag again", [&] { ASSERT_TRUE(bagOf(u"B")->Add(setting, u"Integer")); }, {{5, u"-"}}},
        {"the added setting's value",
         [&] { bagOf(u"B")->Item(Variant(setting))->SetValue(Variant(std::int16_t{7})); },
         {{7, u"B"}}},
        {"a removal renumbers",
         [&] { EXPECT_TRUE(this->mList->Delete(u"C")); },
         {{2, u"-"}, {3, u"A"}, {6, u"B"}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.change();
        for (const auto& [seq, name] : step.expected) {
            SCOPED_TRACE(seq);
            EXPECT_EQ(nameNumbered(seq), name);
        }
    }
    EXPECT_EQ(this->Layout(), u"A3 B6 D3");
}

TYPED_TEST(EntityListTest, WalksAndLateBoundMembers) {
    using Traits = typename TestFixture::Traits;
    this->AddAll({u"A", u"B", u"C", u"D"});
    // Deleting while walking still visits every remaining entity once.
    std::vector<std::u16string> visited;
    for (auto& entity : *this->mList) {
        visited.push_back(Traits::Name(entity));
        this->mList->Delete(Traits::Name(entity));
        if (visited.size() == 1) {
            this->mList->Delete(u"C");
        }
    }
    EXPECT_EQ(visited, (std::vector<std::u16string>{u"A", u"B", u"D"}));
    EXPECT_EQ(this->mList->Count(), 0);

    this->AddAll({u"A", u"B"});
    automation::Object& list = *this->mList;
    Variant first = automation::CallByName(list, u"item", automation::InvokeRead, {Variant(std::int32_t{1})});
    ASSERT_TRUE(first.IsObject());
    EXPECT_EQ(first.ObjectValue().Get(), static_cast<automation::Object*>(this->mList->Find(u"A")));
    EXPECT_TRUE(automation::CallByName(list, u"Item", automation::InvokeRead, {Variant(u"X")}).IsNothing());
    EXPECT_TRUE(automation::CallByName(list, Traits::ExistMember, automation::InvokeRead, {Variant(u"B")})
                    .BooleanValue());
    EXPECT_FALSE(
        automation::CallByName(list, u"Delete", automation::InvokeRead, {Variant(u"b")}).BooleanValue());
    EXPECT_EQ(automation::CallByName(list, u"curName", automation::InvokeRead).StringValue(), u"A");

    Variant enumerable = automation::CallByName(list, Traits::EnumMember, automation::InvokeRead);
    ASSERT_TRUE(enumerable.IsObject());
    Ref<automation::Enumerator> items = enumerable.ObjectValue()->NewEnum();
    std::vector<std::u16string> names;
    for (Variant item; items->Next(item);) {
        names.push_back(Traits::Name(static_cast<typename Traits::Entity&>(*item.ObjectValue())));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"B"}));
}

} // namespace
} // namespace qv
