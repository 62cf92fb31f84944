#include "project/QelExtensions.h"

#include "support/ApartmentFixture.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"
#include "core/RegistryValues.h"

#include "platform/automation/Conversion.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using automation::CallByName;
using automation::InvokeRead;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class QelExtensionsTest : public test::ApartmentTest {
protected:
    /// The names by Seq 1 to Count, as the generation run walks the list.
    static std::vector<std::u16string> NamesBySeq(const QelExtensions& list) {
        std::vector<std::u16string> names;
        const auto count = static_cast<std::int16_t>(list.Count());
        for (std::int16_t seq = 1; seq <= count; ++seq) {
            Ref<QelExtension> extension = list.Seq(seq);
            names.push_back(extension ? extension->Name() : u"<none>");
        }
        return names;
    }

    QelExtensions mList;
};

TEST_F(QelExtensionsTest, AddKeepsOneEntryPerNameAndMovesTheCursor) {
    EXPECT_EQ(mList.curSeq(), u"0");
    EXPECT_FALSE(mList.Add(u""));
    EXPECT_FALSE(mList.AddExtension(u"", u"x.zip"));
    EXPECT_EQ(mList.Count(), 0);

    EXPECT_TRUE(mList.AddExtension(u"Stamp", u"stamp1.zip"));
    EXPECT_TRUE(mList.AddExtension(u"Menu", u"menu.zip"));
    EXPECT_EQ(mList.curName(), u"Menu");
    EXPECT_TRUE(mList.AddExtension(u"Stamp", u"stamp2.zip"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.curName(), u"Stamp");
    EXPECT_EQ(mList.curSeq(), u"1");
    EXPECT_EQ(mList.Item(Variant(u"Stamp"))->Template(), u"stamp2.zip");

    // Names only: a position finds nothing, and a miss leaves the cursor.
    EXPECT_FALSE(mList.Item(Variant(std::int16_t(1))));
    EXPECT_FALSE(mList.Item(Variant(u"Nope")));
    EXPECT_EQ(mList.curName(), u"Stamp");
    EXPECT_TRUE(mList.Item(Variant(u"Menu")));
    EXPECT_EQ(mList.curName(), u"Menu");
    EXPECT_EQ(mList.curSeq(), u"2");
}

TEST_F(QelExtensionsTest, DeleteNumbersTheRestWithoutGaps) {
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        mList.Add(name);
    }
    EXPECT_FALSE(mList.Delete(Variant(u"")));
    EXPECT_FALSE(mList.DeleteExtension(u"Z"));
    EXPECT_TRUE(mList.DeleteExtension(u"B"));
    EXPECT_EQ(NamesBySeq(mList), (std::vector<std::u16string>{u"A", u"C"}));
    EXPECT_FALSE(mList.Seq(3));
    // The cursor still names the last extension added, even though it is gone from the list.
    EXPECT_EQ(mList.curName(), u"C");
}

// Regression: a name spelt like a listed one in another letter case raised the duplicate-key
// error, so a registered "Stamp" and a project file holding "stamp" failed the whole load.
TEST_F(QelExtensionsTest, ANameInAnotherLetterCaseDenotesTheListedExtension) {
    mList.AddExtension(u"Stamp", u"stamp.zip");
    EXPECT_FALSE(mList.ExtensionExist(Variant(u"stamp")));
    EXPECT_TRUE(mList.AddExtension(u"stamp", u"new.zip"));
    EXPECT_EQ(mList.Count(), 1);
    EXPECT_EQ(mList.curName(), u"Stamp");
    EXPECT_EQ(mList.Item(Variant(u"Stamp"))->Template(), u"new.zip");
    // The exact spelling wins over another listed one that differs only in case.
    Ref<QelExtension> other = mList.AddOrFind(u"Other");
    other->SetName(u"STAMP");
    EXPECT_EQ(mList.AddOrFind(u"STAMP").Get(), other.Get());
    EXPECT_EQ(mList.AddOrFind(u"stamp")->Template(), u"new.zip");
}

// Regression: the list kept each extension under the name it was added with, so after a rename
// through the extension's own setters adding the old name raised 457 and adding the new name
// raised "Key not found.".
TEST_F(QelExtensionsTest, RenamedExtensionsAreFoundByTheirNewNames) {
    mList.Add(u"A");
    mList.Add(u"B");
    mList.Item(Variant(u"A"))->SetKey(u"Renamed");
    mList.Item(Variant(u"B"))->Properties()->Find(u"Name")->SetValue(Variant(u"ViaBag"));

    EXPECT_TRUE(mList.Add(u"Renamed"));
    EXPECT_TRUE(mList.Add(u"ViaBag"));
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_TRUE(mList.Add(u"A"));
    EXPECT_TRUE(mList.Add(u"b"));
    EXPECT_EQ(NamesBySeq(mList), (std::vector<std::u16string>{u"Renamed", u"ViaBag", u"A", u"b"}));

    EXPECT_TRUE(mList.DeleteExtension(u"Renamed"));
    EXPECT_EQ(NamesBySeq(mList), (std::vector<std::u16string>{u"ViaBag", u"A", u"b"}));
}

TEST_F(QelExtensionsTest, RegisteredExtensionsJoinTheListWithoutFailing) {
    State().gRegKeyExtensions = u"Software\\Quorvane\\6.0\\Extensions";
    // Nothing registered: nothing added.
    LoadRegisteredExtensions(mList);
    EXPECT_EQ(mList.Count(), 0);

    std::int32_t text = 1;
    SetRegValue(u"HKCU", State().gRegKeyExtensions, u"Stamp", text, Variant(u"stamp-2.zip"));
    SetRegValue(u"HKCU", State().gRegKeyExtensions, u"Menu", text, Variant(u"menu.zip"));
    mList.AddExtension(u"stamp", u"stamp-1.zip");
    LoadRegisteredExtensions(mList);
    EXPECT_EQ(mList.Count(), 2);
    EXPECT_EQ(mList.Item(Variant(u"stamp"))->Template(), u"stamp-2.zip");
    EXPECT_EQ(mList.Item(Variant(u"Menu"))->Template(), u"menu.zip");
}

TEST_F(QelExtensionsTest, TheSharedListIsReadLateBound) {
    // The template engine walks gExtensions by Count, Seq(i) and Name.
    GetExtensions().AddExtension(u"Stamp", u"stamp.zip");
    GetExtensions().AddExtension(u"Menu", u"menu.zip");
    ASSERT_TRUE(State().gExtensions);
    automation::Object& shared = *State().gExtensions;
    EXPECT_EQ(automation::ToLong(CallByName(shared, u"Count", InvokeRead)), 2);
    Variant second = CallByName(shared, u"Seq", InvokeRead, {Variant(std::int16_t(2))});
    EXPECT_EQ(automation::ToString(CallByName(*second.ObjectValue(), u"Name", InvokeRead)), u"Menu");
    EXPECT_EQ(automation::ToString(CallByName(*second.ObjectValue(), u"template", InvokeRead)), u"menu.zip");
    Variant first = CallByName(shared, u"item", InvokeRead, {Variant(u"Stamp")});
    EXPECT_EQ(automation::ToString(CallByName(*first.ObjectValue(), u"Key", InvokeRead)), u"Stamp");

    std::vector<std::u16string> walked;
    Ref<automation::Enumerator> items = shared.NewEnum();
    for (Variant item; items->Next(item);) {
        walked.push_back(automation::ToString(CallByName(*item.ObjectValue(), u"Name", InvokeRead)));
    }
    EXPECT_EQ(walked, (std::vector<std::u16string>{u"Stamp", u"Menu"}));
}

} // namespace
} // namespace qv
