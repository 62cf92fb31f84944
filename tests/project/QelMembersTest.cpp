#include "ProjectFixture.h"

#include "project/GenerationService.h"
#include "project/Qel.h"
#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SynchronizationService.h"

#include "model/table/QelDatabases.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"
#include "core/Settings.h"
#include "template/TemplateState.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <set>

namespace qv::test {
namespace {

using automation::InvokeKind;
using automation::MakeRef;
using automation::Ref;
using automation::Variant;

class QelMembers : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        WriteUserText(GeneralKey, u"Language", u"");
    }

    static std::int32_t ErrorNumberOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const automation::Error& error) {
            return error.Number();
        }
        return 0;
    }
};

TEST_F(QelMembers, EveryMemberAndSettingIsReachableByName) {
    Ref<Qel> project = MakeRef<Qel>();
    std::set<std::u16string> seen;
    for (const automation::MemberInfo& member : project->GetClassInfo().Members()) {
        SCOPED_TRACE(automation::ToUtf8(member.name));
        EXPECT_TRUE(seen.insert(automation::ToLower(member.name)).second) << "listed twice";
        EXPECT_TRUE(project->GetDispId(member.name).has_value());
    }
    // The host's names, as its type library lists them.
    for (std::u16string_view name : {u"lhWnd",
                                     u"ProjInit",
                                     u"db",
                                     u"DBCnt",
                                     u"Properties",
                                     u"Extensions",
                                     u"Language",
                                     u"CodeBase",
                                     u"masterdetails",
                                     u"customscripts",
                                     u"hwnd",
                                     u"ProjErr",
                                     u"ProjName",
                                     u"ProjVar",
                                     u"sqlquote",
                                     u"codepage",
                                     u"AddProj",
                                     u"DeleteProj",
                                     u"AddExtension",
                                     u"DeleteExtension",
                                     u"AddMasterDetail",
                                     u"AddMasterDetailRelation",
                                     u"DeleteMasterDetail",
                                     u"DeleteMasterDetailRelation",
                                     u"AddCustomScript",
                                     u"UpdateCustomScript",
                                     u"DeleteCustomScript",
                                     u"LoadCodeBase",
                                     u"CodeBaseExist",
                                     u"LoadCustomScriptCode",
                                     u"LoadDB",
                                     u"LoadTable",
                                     u"UnLoadTable",
                                     u"CustomViewConnStr",
                                     u"LoadCustomView",
                                     u"LoadReport",
                                     u"UnLoadDB",
                                     u"CheckDB",
                                     u"SynchronizeDB",
                                     u"SyncCustom",
                                     u"SyncReport",
                                     u"Save",
                                     u"Load",
                                     u"LoadDefault",
                                     u"SaveDefault",
                                     u"FldSrchOprs",
                                     u"GenScript",
                                     u"GenCheck",
                                     u"EvalScriptCode",
                                     u"EvaluateCondition",
                                     u"MergeControlTemplate"}) {
        EXPECT_TRUE(project->GetDispId(name).has_value()) << automation::ToUtf8(name);
    }
    // Every setting but ProjVar takes a value of its type by name and gives it back.
    for (const SettingInfo& info : Qel::Settings().Settings()) {
        SCOPED_TRACE(automation::ToUtf8(info.name));
        Variant value;
        switch (info.dataType) {
        case SettingType::String:
            value = Variant(u"text");
            break;
        case SettingType::Boolean:
            value = Variant(true);
            break;
        case SettingType::Integer:
            value = Variant(std::int16_t{7});
            break;
        case SettingType::Long:
            value = Variant(std::int32_t{70000});
            break;
        case SettingType::Variant:
            value = Variant(u"any");
            break;
        }
        if (info.name == u"ProjVar") {
            EXPECT_EQ(ErrorNumberOf([&] { Call(*project, info.name, {value}, InvokeKind::PropertyLet); }),
                      438);
            continue;
        }
        Call(*project, info.name, {value}, InvokeKind::PropertyLet);
        ExpectSameValue(Get(*project, info.name), value);
    }
}

TEST_F(QelMembers, AccessorsThatDoMoreThanStore) {
    Ref<Qel> first = MakeRef<Qel>();
    Ref<Qel> second = MakeRef<Qel>();
    Call(*first, u"hwnd", {Variant(std::int32_t{42})}, InvokeKind::PropertyLet);
    EXPECT_EQ(automation::ToLong(Get(*first, u"lhWnd")), 42);
    Call(*first, u"lhWnd", {Variant(std::int32_t{7})}, InvokeKind::PropertyLet);
    EXPECT_EQ(automation::ToLong(Get(*first, u"hwnd")), 7);

    Call(*first, u"ProjName", {Variant(u"Order Details")}, InvokeKind::PropertyLet);
    EXPECT_EQ(automation::ToString(Get(*first, u"ProjVar")), u"Order_Details");

    // Module state is the apartment's: shared by both projects, the settings are not.
    Call(*first, u"ProjErr", {Variant(u"broken")}, InvokeKind::PropertyLet);
    EXPECT_EQ(automation::ToString(Get(*second, u"ProjErr")), u"broken");
    Call(*second, u"Destination", {Variant(u"/srv/site")}, InvokeKind::PropertyLet);
    EXPECT_EQ(CurrentTemplateState().destination, u"/srv/site");
    EXPECT_EQ(first->Destination(), u"");
    EXPECT_EQ(Get(*first, u"Extensions").ObjectValue().Get(),
              Get(*second, u"Extensions").ObjectValue().Get());
    EXPECT_NE(Get(*first, u"masterdetails").ObjectValue().Get(),
              Get(*second, u"masterdetails").ObjectValue().Get());

    // A Boolean setting holding text that is no Boolean cannot be read as one.
    first->Properties()->Item(Variant(u"UseCss"))->SetValue(Variant(u"abc"));
    EXPECT_EQ(ErrorNumberOf([&] { first->UseCss(); }), 13);
}

/// Records the calls the project forwards.
class RecordingServices final : public GenerationService, public SynchronizationService {
public:
    explicit RecordingServices(std::vector<std::u16string>& calls) : mCalls(calls) {}
    void GenScript(Qel&) override { mCalls.push_back(u"GenScript"); }
    std::int16_t GenCheck(Qel&) override {
        mCalls.push_back(u"GenCheck");
        return 3;
    }
    std::int16_t CheckDB(Qel&) override {
        mCalls.push_back(u"CheckDB");
        return 2;
    }
    void SynchronizeDB(Qel&) override {
        // A failure below the project becomes its error text.
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    void SyncCustom(Qel&, const Variant& table) override {
        mCalls.push_back(u"SyncCustom " + automation::ToString(table));
    }
    void SyncReport(Qel&, const Variant& table) override {
        mCalls.push_back(u"SyncReport " + automation::ToString(table));
    }
    void LoadCustomView(Qel&, const Variant& name, const Variant&, const Variant&) override {
        mCalls.push_back(u"LoadCustomView " + automation::ToString(name));
    }
    bool LoadReport(Qel&, const Variant& name, const Variant&) override {
        mCalls.push_back(u"LoadReport " + automation::ToString(name));
        return true;
    }
    void SynchronizeAfterLoad(Qel&) override { mCalls.push_back(u"SynchronizeAfterLoad"); }

private:
    std::vector<std::u16string>& mCalls;
};

class ForwardingGeneration final : public GenerationService {
public:
    explicit ForwardingGeneration(RecordingServices& target) : mTarget(target) {}
    void GenScript(Qel& project) override { mTarget.GenScript(project); }
    std::int16_t GenCheck(Qel& project) override { return mTarget.GenCheck(project); }

private:
    RecordingServices& mTarget;
};

TEST_F(QelMembers, GenerationAndSynchronisationGoThroughTheRegisteredServices) {
    Ref<Qel> project = MakeRef<Qel>();
    Call(*project, u"GenScript");
    EXPECT_EQ(automation::ToUtf8(State().gProjErr),
              "Quorvane: Generation is not available: no generation service is registered!");
    EXPECT_EQ(automation::ToLong(Call(*project, u"CheckDB")), 0);
    EXPECT_EQ(automation::ToUtf8(State().gProjErr),
              "Quorvane: Synchronization is not available: no synchronization service is registered!");
    EXPECT_FALSE(automation::ToBoolean(Call(*project, u"LoadReport", {Variant(u"r"), Variant(u"t")})));

    std::vector<std::u16string> calls;
    auto services = std::make_unique<RecordingServices>(calls);
    RecordingServices& recorder = *services;
    RegisterSynchronizationService(std::move(services));
    RegisterGenerationService(std::make_unique<ForwardingGeneration>(recorder));
    State().gProjErr.clear();
    Call(*project, u"GenScript");
    EXPECT_EQ(automation::ToLong(Call(*project, u"GenCheck")), 3);
    EXPECT_EQ(automation::ToLong(Call(*project, u"CheckDB")), 2);
    Call(*project, u"SyncCustom", {Variant(u"v")});
    Call(*project, u"SyncReport", {Variant(u"r")});
    Call(*project, u"LoadCustomView", {Variant(u"cv"), Variant(u"select 1"), Variant(false)});
    EXPECT_TRUE(automation::ToBoolean(Call(*project, u"LoadReport", {Variant(u"rep"), Variant(u"t")})));
    EXPECT_EQ(calls, (std::vector<std::u16string>{u"GenScript", u"GenCheck", u"CheckDB", u"SyncCustom v",
                                                  u"SyncReport r", u"LoadCustomView cv", u"LoadReport rep"}));
    EXPECT_EQ(State().gProjErr, u"");
    Call(*project, u"SynchronizeDB");
    EXPECT_EQ(automation::ToUtf8(State().gProjErr), "Quorvane: Type mismatch");
}

TEST_F(QelMembers, UnloadingTheDatabaseEmptiesTheListsAndSavingRegistersExtensions) {
    Ref<Qel> project = MakeRef<Qel>();
    EXPECT_TRUE(project->AddExtension(u"Charts", u"charts.zip"));
    EXPECT_TRUE(project->AddExtension(u"Audit", u"audit.zip"));
    project->SaveDefault();
    EXPECT_EQ(UserValue(ExtensionsKey, u"Charts"), registry::Value::Text(u"charts.zip"));
    EXPECT_EQ(UserValue(ExtensionsKey, u"Audit"), registry::Value::Text(u"audit.zip"));

    project->AddMasterDetail(u"orders", u"lines");
    project->AddMasterDetail(u"customers", u"orders");
    project->AddCustomScript(u"server", u"table", u"list", u"x", u"orders", u"", u"code");
    project->AddCustomScript(u"client", u"field", u"edit", u"y", u"orders", u"name", u"code");
    // Entries renamed through their settings go too.
    GetExtensions().Item(Variant(u"Audit"))->SetName(u"Audit trail");
    project->MasterDetails().Item(u"orders", u"lines")->SetDetailTable(u"order lines");
    // Give the project a database without a server: unloading needs none.
    project->Databases().Add(u"DB");
    project->SetDatabaseKey(u"DB");
    Call(*project, u"UnLoadDB");
    EXPECT_EQ(project->DBCnt(), 0);
    EXPECT_EQ(GetExtensions().Count(), 0);
    EXPECT_EQ(automation::ToLong(Get(*Get(*project, u"masterdetails").ObjectValue(), u"Count")), 0);
    EXPECT_EQ(automation::ToLong(Get(*Get(*project, u"customscripts").ObjectValue(), u"Count")), 0);
    // The registered values stay for the next load.
    project->SaveDefault();
    EXPECT_TRUE(UserValue(ExtensionsKey, u"Charts"));
}

TEST_F(QelMembers, MasterDetailOperationsAnswerTrueWhateverHappens) {
    Ref<Qel> project = MakeRef<Qel>();
    QelMasterDetails& pairs = project->MasterDetails();
    auto call = [&](std::u16string_view name, std::vector<std::u16string_view> names) {
        std::vector<Variant> arguments;
        arguments.reserve(names.size());
        for (std::u16string_view text : names) {
            arguments.emplace_back(std::u16string(text));
        }
        const Variant result = Call(*project, name, arguments);
        EXPECT_EQ(result.Type(), automation::VarType::Boolean) << automation::ToUtf8(name);
        return automation::ToBoolean(result);
    };
    // Refused or not, every call answers True: the list tells what happened.
    EXPECT_TRUE(call(u"AddMasterDetailRelation", {u"orders", u"lines", u"id", u"order_id"}));
    EXPECT_EQ(pairs.Count(), 0);
    EXPECT_TRUE(call(u"AddMasterDetail", {u"orders", u""}));
    EXPECT_EQ(pairs.Count(), 0);
    EXPECT_TRUE(call(u"AddMasterDetail", {u"orders", u"lines"}));
    EXPECT_TRUE(call(u"AddMasterDetailRelation", {u"orders", u"lines", u"id", u"order_id"}));
    EXPECT_TRUE(call(u"AddMasterDetailRelation", {u"orders", u"lines", u"id", u"other"}));
    EXPECT_EQ(pairs.Item(u"orders", u"lines")->FieldCount(), 1);
    EXPECT_TRUE(call(u"DeleteMasterDetailRelation", {u"orders", u"lines", u"x", u"y"}));
    EXPECT_TRUE(call(u"DeleteMasterDetailRelation", {u"orders", u"lines", u"id", u"order_id"}));
    EXPECT_EQ(pairs.Item(u"orders", u"lines")->FieldCount(), 0);
    EXPECT_TRUE(call(u"DeleteMasterDetail", {u"customers", u"orders"}));
    EXPECT_TRUE(call(u"DeleteMasterDetail", {u"orders", u"lines"}));
    EXPECT_EQ(pairs.Count(), 0);
}

TEST_F(QelMembers, TemplateMembersSeeTheProjectAndItsCurrentObjects) {
    Ref<Qel> project = MakeRef<Qel>();
    project->SetProjName(u"Demo");
    EXPECT_TRUE(
        automation::ToBoolean(Call(*project, u"EvaluateCondition", {Variant(u"proj/ProjName/eq/Demo")})));
    EXPECT_FALSE(
        automation::ToBoolean(Call(*project, u"EvaluateCondition", {Variant(u"proj/ProjName/eq/Shop")})));
    const Variant text = Call(*project, u"EvalScriptCode",
                              {Variant(u"[<!--##=PROJ.ProjName##-->]"), Variant(std::int16_t{0})});
    EXPECT_EQ(automation::ToString(text), u"[Demo]") << automation::ToUtf8(State().gProjErr);
}

} // namespace
} // namespace qv::test
