#include "template/ConditionEvaluator.h"

#include "template/TemplateFixture.h"
#include "template/TemplateState.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"

#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;
using test::FakeProject;
using test::Utf8;

class ConditionEvaluatorTest : public test::TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        FakeProject::Set(*mProject.project, u"ProjName", u"String", Variant(u"Demo"));
        FakeProject::Set(*mProject.project, u"ProjCount", u"Integer", Variant(std::int16_t{5}));
        FakeProject::Set(*mProject.project, u"ProjFlag", u"Boolean", Variant(true));
        FakeProject::Set(*mProject.project, u"ProjNull", u"String", Variant::Null());
        FakeProject::Set(*mProject.project, u"ProjEmpty", u"String", Variant(u""));
        mProject.database = MakeRef<QoProperties>();
        FakeProject::Set(*mProject.database, u"DBType", u"String", Variant(u"ACCESS"));
        mProject.table = MakeRef<QoProperties>();
        FakeProject::Set(*mProject.table, u"TblType", u"String", Variant(u"VIEW"));
        mProject.field = MakeRef<QoProperties>();
        FakeProject::Set(*mProject.field, u"FldType", u"Long", Variant(3));
        FakeProject::Set(*mProject.field, u"FldMax", u"Long", Variant(10));

        Ref<QelControl> control = MakeRef<QelControl>();
        control->SetCtrlID(u"list");
        mProject.controls->AddControl(*control);
        mProject.controls->Item(Variant(1));

        mPage->functionResults[u"IsFoo"] = Variant(u"True");
        mPage->functionResults[u"Count"] = Variant(5);
        CurrentTemplateState().pageScript = mPage;
    }

    FakeProject mProject;
    Ref<test::FakeScriptHost> mPage = MakeRef<test::FakeScriptHost>();
    ConditionEvaluator mConditions{mProject};
};

TEST_F(ConditionEvaluatorTest, EvaluatesTerms) {
    struct Case {
        std::u16string_view condition;
        bool holds;
    };
    const Case cases[] = {
        {u"", true},
        {u"   ", true},
        {u"proj/ProjName", true},
        {u"proj/ProjName/eq/Demo/more", true},
        {u"table/TblType/eq/TABLE|VIEW", true},
        {u"table/TblType/eq/TABLE", false},
        {u"TABLE/tbltype/EQ/VIEW", true},
        {u"table/TblType/eq/view", false}, // text compares in binary order
        {u"proj/ProjName/ne/", false},
        {u"proj/ProjName/eq/ Demo ", true},
        {u"proj/ProjName/eq/'Demo'", true},
        {u"proj/ProjName/ne/Demo|Other", true},
        {u"proj/ProjCount/eq/ 5 ", true},
        {u"proj/ProjCount/eq/05", true},
        {u"proj/ProjCount/ge/5", true},
        {u"proj/ProjCount/gt/5", false},
        {u"proj/ProjCount/le/4", false},
        {u"proj/ProjCount/lt/10", true}, // numbers compare as numbers, not as text
        {u"proj/ProjFlag/eq/true", true},
        {u"proj/ProjFlag/eq/0", false},
        {u"proj/ProjName/in/EM", true},
        {u"proj/ProjName/ni/EM", false},
        {u"proj/ProjName/ni/xyz", true},
        {u"proj/ProjName/in/xyz|mo", true},
        {u"proj/ProjEmpty/in/x", false},
        {u"proj/ProjEmpty/ni/x", true},
        {u"proj/ProjNull/eq/x", false},
        {u"proj/ProjNull/ne/x", false},
        {u"proj/ProjNull/ni/x", false},
        {u"proj/ProjName/xx/anything", true},
        {u"proj/ProjName/xx/", false},
        {u"unknown/x/eq/y", true},
        {u"db/DBType/eq/ACCESS", true},
        {u"field/FldType/lt/%FldMax", true},
        {u"field/FldType/gt/ %fldmax ", false},
        {u"ctrl/CtrlID/eq/'list'", true},
        {u"ctrl/ctrlid/eq/\"'list'\"", true},
        {u"ctrl/CtrlID/eq/List", false},
        {u"ctrl/CtrlSpace/eq/True", true}, // a Boolean against text compares its text form
        {u"ctrl/CtrlGen/eq/True", false},
        {u"ctrl/CtrlUnknown/eq/x", true},
        {u" proj/ProjName/eq/Demo , table/TblType/eq/VIEW ", true},
        {u"proj/ProjName/eq/Other,table/TblType/eq/VIEW", false},
        // A setting that does not exist makes the whole condition true, whatever follows.
        {u"proj/NoSuch/eq/x,proj/ProjName/eq/Other", true},
        {u"proj/ProjName/eq/Other,proj/NoSuch/eq/x", false},
        {u"field/FldType/eq/%NoSuch,proj/ProjName/eq/Other", true},
        {u"CUSTOM: IsFoo/Boolean/eq/True", true},
        {u"custom:IsFoo/Boolean/eq/False", false},
        {u"custom:Count/Integer/gt/3", true},
        {u"custom:Count/Integer/gt/7", false},
        {u"custom:Missing/String/eq/x", false},
        {u"custom:Missing/String/eq/", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.condition));
        EXPECT_EQ(mConditions.EvaluateCondition(test.condition), test.holds);
        EXPECT_EQ(State().gProjErr, u"");
    }
}

TEST_F(ConditionEvaluatorTest, MissingObjectsDecideByTerm) {
    mProject.table = nullptr;
    mProject.field = nullptr;
    mProject.database = nullptr;
    struct Case {
        std::u16string_view condition;
        bool holds;
    };
    const Case cases[] = {
        // Without a current table only that term holds...
        {u"table/TblType/eq/TABLE,proj/ProjName/eq/Other", false},
        {u"table/TblType/eq/TABLE", true},
        // ...while a missing field or database makes the whole condition true.
        {u"field/FldType/eq/1,proj/ProjName/eq/Other", true},
        {u"db/DBType/eq/x,proj/ProjName/eq/Other", true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.condition));
        EXPECT_EQ(mConditions.EvaluateCondition(test.condition), test.holds);
    }

    // No current control: a control attribute cannot be read.
    Ref<QelControls> fresh = MakeRef<QelControls>();
    mProject.controls = fresh;
    EXPECT_TRUE(mConditions.EvaluateCondition(u"ctrl/CtrlID/eq/x,proj/ProjName/eq/Other"));
    EXPECT_FALSE(mConditions.EvaluateCondition(u"ctrl/Other/eq/x,proj/ProjName/eq/Other"));
}

TEST_F(ConditionEvaluatorTest, CallsSystemFunctionsOfThePageEngine) {
    EXPECT_EQ(mConditions.EvaluateCustomCode(u"IsFoo"), u"True");
    EXPECT_EQ(mConditions.EvaluateCustomCode(u"Missing"), u"");
    EXPECT_EQ(mPage->buildCodeCalls, (std::vector<std::u16string>{u"IsFoo", u"Missing"}));

    // A failing function leaves its message and gives "".
    mPage->buildCodeError = u"Quorvane: VBScript Runtime error in module \"IsFoo\"";
    EXPECT_EQ(mConditions.EvaluateCustomCode(u"IsFoo"), u"");
    EXPECT_EQ(State().gProjErr, mPage->buildCodeError);
    State().gProjErr.clear();

    CurrentTemplateState().pageScript = nullptr;
    EXPECT_EQ(mConditions.EvaluateCustomCode(u"IsFoo"), u"");
    EXPECT_FALSE(mConditions.EvaluateCondition(u"custom:IsFoo/Boolean/eq/True"));
}

TEST_F(ConditionEvaluatorTest, ConvertsOperands) {
    const QoProperties& field = *mProject.field;
    EXPECT_EQ(mConditions.GetConditionOperand(field, u" %FldMax ", u"Long").LongValue(), 10);
    EXPECT_EQ(mConditions.GetConditionOperand(field, u" 7 ", u"Long").LongValue(), 7);
    EXPECT_EQ(mConditions.GetConditionOperand(field, u" 'x' ", u"String").StringValue(), u"x");
    EXPECT_EQ(mConditions.GetConditionOperand(field, u" x ", u"Variant").StringValue(), u" x ");
    EXPECT_TRUE(mConditions.GetConditionOperand(field, u"abc", u"Long").IsEmpty());
    EXPECT_THROW(mConditions.GetConditionOperand(field, u"%NoSuch", u"Long"), automation::Error);

    struct Case {
        std::u16string_view value;
        std::u16string_view stripped;
    };
    const Case cases[] = {
        {u"\"'a'\"", u"a"}, {u" ' \"b\" ' ", u"b"}, {u"\"c'", u"\"c'"}, {u"\"", u"\""}, {u"\"\"", u""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(Utf8(test.value));
        EXPECT_EQ(ConditionEvaluator::StripQuotes(test.value), test.stripped);
    }
}

} // namespace
} // namespace qv
