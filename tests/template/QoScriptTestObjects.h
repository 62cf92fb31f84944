#pragma once

#include "support/ApartmentFixture.h"

#include "template/QoScript.h"
#include "template/TemplateState.h"

#include "core/Apartment.h"
#include "core/RegistryValues.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::test::qoscript {

// Stand-ins for the objects a script engine is given: just the members that the common code,
// the built-in code and the tests' page functions reach.

/// A database, table, field or control: the members the scripts read, all in one class.
class FakeEntity final : public automation::Object {
public:
    enum Setting { Tables, TblName, TblVar, TblGen, Fields, FldName, FldVar, CtrlID, SettingCount };

    const automation::ClassInfo& GetClassInfo() const override {
        using namespace automation;
        static const ClassInfo info(
            u"FakeEntity", {
                               Method<&FakeEntity::Get<Tables>>(u"Tables"),
                               Property<&FakeEntity::Get<TblName>, &FakeEntity::Set<TblName>>(u"TblName"),
                               Property<&FakeEntity::Get<TblVar>, &FakeEntity::Set<TblVar>>(u"TblVar"),
                               Property<&FakeEntity::Get<TblGen>, &FakeEntity::Set<TblGen>>(u"TblGen"),
                               Method<&FakeEntity::Get<Fields>>(u"Fields"),
                               Property<&FakeEntity::Get<FldName>, &FakeEntity::Set<FldName>>(u"FldName"),
                               Property<&FakeEntity::Get<FldVar>, &FakeEntity::Set<FldVar>>(u"FldVar"),
                               Property<&FakeEntity::Get<CtrlID>, &FakeEntity::Set<CtrlID>>(u"CtrlID"),
                           });
        return info;
    }

    automation::Variant& operator[](Setting setting) { return mValues[setting]; }

private:
    template <int N> automation::Variant Get() { return mValues[N]; }
    template <int N> void Set(automation::Variant value) { mValues[N] = std::move(value); }

    std::array<automation::Variant, SettingCount> mValues;
};

/// A list of entities with a current one, as the table, field and control lists have.
class FakeList final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        using namespace automation;
        static const ClassInfo info(u"FakeList", {
                                                     Method<&FakeList::curName>(u"curName"),
                                                     Method<&FakeList::curIndex>(u"curIndex"),
                                                     Method<&FakeList::Count>(u"Count"),
                                                     Default(Method<&FakeList::Item>(u"Item")),
                                                     Method<&FakeList::Seq>(u"Seq"),
                                                 });
        return info;
    }

    /// Appends an entity named `name`; it becomes current.
    FakeEntity& Add(std::u16string name) {
        mItems.emplace_back(std::move(name), automation::MakeRef<FakeEntity>());
        mCurrent = static_cast<std::int16_t>(mItems.size());
        return *mItems.back().second;
    }
    void SetCurrent(std::int16_t position) { mCurrent = position; }

private:
    std::u16string curName() { return mCurrent > 0 ? mItems[mCurrent - 1].first : std::u16string(); }
    std::int16_t curIndex() { return mCurrent; }
    std::int32_t Count() { return static_cast<std::int32_t>(mItems.size()); }
    automation::Ref<automation::Object> Item(automation::Variant index) {
        if (index.IsString()) {
            for (std::size_t position = 0; position < mItems.size(); ++position) {
                if (mItems[position].first == index.StringValue()) {
                    mCurrent = static_cast<std::int16_t>(position + 1);
                    return mItems[position].second;
                }
            }
            return {};
        }
        const std::int32_t position = automation::ToLong(index);
        if (position < 1 || position > Count()) {
            return {};
        }
        mCurrent = static_cast<std::int16_t>(position);
        return mItems[position - 1].second;
    }
    automation::Ref<automation::Object> Seq(std::int16_t position) {
        if (position < 1 || position > Count()) {
            return {};
        }
        return mItems[position - 1].second;
    }

    std::vector<std::pair<std::u16string, automation::Ref<FakeEntity>>> mItems;
    std::int16_t mCurrent = 0;
};

/// The project: its error text is the apartment's, as the real one's is.
class FakeProject final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        using namespace automation;
        static const ClassInfo info(u"FakeProject",
                                    {
                                        Property<&FakeProject::ProjErr, &FakeProject::SetProjErr>(u"ProjErr"),
                                        Method<&FakeProject::DBCnt>(u"DBCnt"),
                                        Method<&FakeProject::ProjName>(u"ProjName"),
                                    });
        return info;
    }
    std::int16_t databaseCount = 1;
    std::u16string name = u"Demo";

private:
    std::u16string ProjErr() { return State().gProjErr; }
    void SetProjErr(std::u16string text) { State().gProjErr = std::move(text); }
    std::int16_t DBCnt() { return databaseCount; }
    std::u16string ProjName() { return name; }
};

/// The language object: a phrase is its identifier in brackets.
class FakeLanguage final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        using namespace automation;
        static const ClassInfo info(u"FakeLanguage", {Method<&FakeLanguage::Phrase>(u"Phrase")});
        return info;
    }

private:
    std::u16string Phrase(std::u16string id) { return u"[" + id + u"]"; }
};

/// A fresh apartment with the product's texts, a destination folder in the temporary folder, a
/// database of two tables ("Orders" current, with its field "Customer Name" current) and two
/// controls ("list" current), ready to be given to an engine.
class ScriptHostTest : public ApartmentTest {
public:
    void SetUp() override {
        ApartmentTest::SetUp();
        ModuleState& state = State();
        state.gMsgPrefix = u"Quorvane";
        state.gProductName = u"Quorvane";
        state.gRegKeyGeneral = u"Software\\Quorvane\\6.0\\Settings\\General";
        std::filesystem::create_directories(mTemp / "site");
        CurrentTemplateState().destination = TempPath("site");
        BuildObjects();
    }

    /// New project, database and control objects in their first state.
    void BuildObjects() {
        mProject = automation::MakeRef<FakeProject>();
        mDatabase = automation::MakeRef<FakeEntity>();
        mTables = automation::MakeRef<FakeList>();
        (*mDatabase)[FakeEntity::Tables] = automation::Variant(automation::Ref<automation::Object>(mTables));
        mControls = automation::MakeRef<FakeList>();
        AddTable(u"Orders", {u"OrderID", u"Customer Name"});
        AddTable(u"Products", {u"ProductID"});
        mTables->SetCurrent(1);
        mControls->Add(u"list")[FakeEntity::CtrlID] = u"list";
        mControls->Add(u"edit")[FakeEntity::CtrlID] = u"edit";
        mControls->SetCurrent(1);
    }

    /// A generated table whose variable is its name with blanks as "_"; its fields likewise with
    /// "x_" in front. The last field is current.
    FakeEntity& AddTable(std::u16string name, std::initializer_list<std::u16string> fieldNames) {
        FakeEntity& table = mTables->Add(name);
        table[FakeEntity::TblName] = name;
        table[FakeEntity::TblVar] = Identifier(name);
        table[FakeEntity::TblGen] = true;
        auto fields = automation::MakeRef<FakeList>();
        for (const std::u16string& fieldName : fieldNames) {
            FakeEntity& field = fields->Add(fieldName);
            field[FakeEntity::FldName] = fieldName;
            field[FakeEntity::FldVar] = u"x_" + Identifier(fieldName);
        }
        table[FakeEntity::Fields] = automation::Variant(automation::Ref<automation::Object>(fields));
        return table;
    }

    static std::u16string Identifier(std::u16string name) {
        for (char16_t& c : name) {
            if (c == u' ') {
                c = u'_';
            }
        }
        return name;
    }

    /// Sets a text value under the general key of the user hive.
    void SetGeneral(std::u16string_view name, std::u16string_view value) {
        std::int32_t type = 1;
        SetRegValue(u"", State().gRegKeyGeneral, name, type, automation::Variant(value));
    }

    /// Writes a file in the temporary folder, the text as it stands (ASCII), and returns its path.
    std::u16string WriteFile(const std::string& name, std::u16string_view text) {
        const std::filesystem::path path = mTemp / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << automation::ToUtf8(text);
        return TempPath(name);
    }

    /// The text of a file in the temporary folder; "" when there is none.
    std::u16string ReadFile(const std::string& name) const {
        std::ifstream stream(mTemp / name, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        return automation::FromUtf8(bytes);
    }

    void Initialize(QoScript& script) {
        automation::Variant proj{automation::Ref<automation::Object>(mProject)};
        automation::Variant db{automation::Ref<automation::Object>(mDatabase)};
        automation::Variant controls{automation::Ref<automation::Object>(mControls)};
        automation::Variant lang{automation::Ref<automation::Object>(mLanguage)};
        automation::Variant masterdetails = automation::Variant::Nothing();
        automation::Variant customscripts = automation::Variant::Nothing();
        script.Initialize(proj, db, controls, lang, masterdetails, customscripts);
    }

    /// Lines joined by CRLF, each ended by one.
    static std::u16string Lines(std::initializer_list<std::u16string_view> lines) {
        std::u16string text;
        for (std::u16string_view line : lines) {
            text += line;
            text += u"\r\n";
        }
        return text;
    }

    automation::Ref<FakeProject> mProject = automation::MakeRef<FakeProject>();
    automation::Ref<FakeEntity> mDatabase;
    automation::Ref<FakeList> mTables;
    automation::Ref<FakeList> mControls = automation::MakeRef<FakeList>();
    automation::Ref<FakeLanguage> mLanguage = automation::MakeRef<FakeLanguage>();
};

} // namespace qv::test::qoscript
