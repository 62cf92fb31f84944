#include "LibraryTestSupport.h"

#include "platform/vbscript/library/Dictionary.h"
#include "platform/vbscript/library/RegExp.h"

#include "platform/automation/Object.h"

#include <algorithm>

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

// An object whose default property reads a value, as a script class with a default property.
class Holder final : public automation::Object {
public:
    explicit Holder(Variant value) : mValue(std::move(value)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(
            u"Holder", {automation::Default(automation::Method<&Holder::Value>(u"Value"))});
        return info;
    }
    Variant Value() const { return mValue; }

private:
    Variant mValue;
};

// An object without a default member.
class Plain final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"Plain", {automation::Method<&Plain::Name>(u"Name")});
        return info;
    }
    std::u16string Name() const { return u"plain"; }
};

// An object whose default property counts its reads.
class Counter final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(
            u"Counter", {automation::Default(automation::Method<&Counter::Value>(u"Value"))});
        return info;
    }
    std::int32_t Value() { return ++mReads; }
    std::int32_t mReads = 0;
};

Variant Holding(Variant value) {
    return Variant(automation::Ref<automation::Object>(automation::MakeRef<Holder>(std::move(value))));
}
Variant PlainObject() {
    return Variant(automation::Ref<automation::Object>(automation::MakeRef<Plain>()));
}

TEST(InspectionFunctionsTest, IsFunctions) {
    Variant array = Array({Variant(1)});
    ExpectOutcomes({
        {u"IsNumeric", {Empty}, "Boolean:True"},
        {u"IsNumeric", {Null}, "Boolean:False"},
        {u"IsNumeric", {Variant(true)}, "Boolean:True"},
        {u"IsNumeric", {Variant(u"44")}, "Boolean:True"},
        {u"IsNumeric", {Variant(u" 12 ")}, "Boolean:True"},
        {u"IsNumeric", {Variant(u"&H1F")}, "Boolean:True"},
        {u"IsNumeric", {Variant(u"1e3")}, "Boolean:True"},
        {u"IsNumeric", {Variant(u"rwrf")}, "Boolean:False"},
        {u"IsNumeric", {Variant(u"")}, "Boolean:False"},
        {u"IsNumeric", {Date(2000, 1, 1)}, "Boolean:False"},
        {u"IsNumeric", {array}, "Boolean:False"},
        {u"IsNumeric", {Variant::Nothing()}, "Boolean:False"},
        {u"IsNumeric", {Holding(Variant(1))}, "Boolean:True"},
        {u"IsNumeric", {Holding(Variant(u"test"))}, "Boolean:False"},
        {u"IsNumeric", {PlainObject()}, "Boolean:False"},
        {u"IsDate", {Date(2000, 1, 1)}, "Boolean:True"},
        {u"IsDate", {Variant(u"1/1/2000")}, "Boolean:True"},
        {u"IsDate", {Variant(u"4")}, "Boolean:False"},
        {u"IsDate", {Variant(4)}, "Boolean:False"},
        {u"IsDate", {Empty}, "Boolean:False"},
        {u"IsDate", {Null}, "Boolean:False"},
        {u"IsDate", {PlainObject()}, "Boolean:False"},
        {u"IsEmpty", {Empty}, "Boolean:True"},
        {u"IsEmpty", {Variant::Nothing()}, "Boolean:False"},
        {u"IsNull", {Null}, "Boolean:True"},
        // An object is judged by its default value, as IsNull(rs("x")) in every page relies on;
        // one without a default member is neither Null nor Empty.
        {u"IsNull", {Holding(Null)}, "Boolean:True"},
        {u"IsNull", {PlainObject()}, "Boolean:False"},
        {u"IsEmpty", {Holding(Empty)}, "Boolean:True"},
        {u"IsEmpty", {PlainObject()}, "Boolean:False"},
        {u"IsObject", {Variant::Nothing()}, "Boolean:True"},
        {u"IsObject", {Variant(4)}, "Boolean:False"},
        {u"IsArray", {array}, "Boolean:True"},
        {u"IsArray", {Empty}, "Boolean:False"},
    });
}

// A function that looks at an argument twice must not run a script's property twice.
TEST(InspectionFunctionsTest, ObjectArgumentsReadTheirDefaultOnce) {
    auto counter = automation::MakeRef<Counter>();
    Variant object{automation::Ref<automation::Object>(counter)};
    struct Row {
        std::u16string_view function;
        std::vector<Variant> args;
    };
    const std::vector<Row> rows = {
        {u"Mid", {Variant(u"abc"), object, object}},
        {u"Space", {object}},
        {u"String", {object, Variant(u"x")}},
        {u"Replace", {Variant(u"a"), Variant(u"a"), object}},
        {u"DateSerial", {Variant(2000), object, object}},
        {u"FormatNumber", {object, object}},
        {u"Left", {object, object}},
        {u"Len", {object}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(automation::ToUtf8(row.function));
        counter->mReads = 0;
        Call(row.function, row.args);
        auto objects =
            std::count_if(row.args.begin(), row.args.end(), [](const Variant& v) { return v.IsObject(); });
        EXPECT_EQ(counter->mReads, objects);
    }
}

TEST(InspectionFunctionsTest, TypeNameAndVarType) {
    Variant dictionary(CreateSafeObject(u"Scripting.Dictionary"));
    ExpectOutcomes({
        {u"TypeName", {Empty}, "String:Empty"},
        {u"TypeName", {Null}, "String:Null"},
        {u"TypeName", {I2(255)}, "String:Integer"},
        {u"TypeName", {Variant(32768)}, "String:Long"},
        {u"TypeName", {Variant(0.5f)}, "String:Single"},
        {u"TypeName", {Variant(-0.5)}, "String:Double"},
        {u"TypeName", {Variant(automation::Currency::FromScaled(5000))}, "String:Currency"},
        {u"TypeName", {Date(2000, 1, 1)}, "String:Date"},
        {u"TypeName", {Variant(u"x")}, "String:String"},
        {u"TypeName", {Variant(true)}, "String:Boolean"},
        {u"TypeName", {Variant(std::uint8_t(1))}, "String:Byte"},
        {u"TypeName", {Variant::FromError(5)}, "String:Error"},
        {u"TypeName", {Array({})}, "String:Variant()"},
        {u"TypeName", {Variant::Nothing()}, "String:Nothing"},
        {u"TypeName", {dictionary}, "String:Dictionary"},
        {u"TypeName", {Variant(CreateSafeObject(u"VBScript.RegExp"))}, "String:IRegExp2"},
        {u"VarType", {Empty}, "Integer:0"},
        {u"VarType", {Null}, "Integer:1"},
        {u"VarType", {Variant(u"x")}, "Integer:8"},
        {u"VarType", {Array({})}, "Integer:8204"},
        {u"VarType", {PlainObject()}, "Integer:9"},
        {u"VarType", {Variant::Nothing()}, "Integer:9"},
        // An object reports the type of its default value; a dictionary's needs a key.
        {u"VarType", {Holding(Variant(u"x"))}, "Integer:8"},
        {u"VarType", {dictionary}, "Integer:9"},
    });
}

TEST(InspectionFunctionsTest, EngineAndColours) {
    ExpectOutcomes({
        {u"ScriptEngine", {}, "String:VBScript"},
        {u"ScriptEngineMajorVersion", {}, "Long:5"},
        {u"ScriptEngineMinorVersion", {}, "Long:8"},
        {u"ScriptEngineBuildVersion", {}, "Long:16384"},
        {u"RGB", {Variant(0), Variant(0x1F), Variant(0xF1)}, "Long:15802112"},
        {u"RGB", {Variant(1), Variant(0x100), Variant(0x111)}, "Long:16776961"},
        {u"RGB", {Variant(-1), Variant(0), Variant(0)}, "error 5"},
        {u"RGB", {Variant(1), Null, Variant(0)}, "error 94"},
    });
}

TEST(ArrayFunctionsTest, ArrayAndBounds) {
    Variant items = Call(u"Array", {Variant(u"a1"), I2(2), Variant(u"a3")});
    EXPECT_EQ(Describe(items), "[String:a1|Integer:2|String:a3]");
    EXPECT_EQ(items.VarTypeCode(), 8204);
    Variant grid(automation::MakeRef<automation::SafeArray>(
        automation::VarType::Variant, std::vector<automation::SafeArray::Bound>{{0, 3}, {1, 5}}));
    ExpectOutcomes({
        {u"UBound", {items}, "Long:2"},
        {u"UBound", {items, Variant(1)}, "Long:2"},
        {u"LBound", {items}, "Long:0"},
        {u"UBound", {Array({})}, "Long:-1"},
        {u"UBound", {grid, Variant(2)}, "Long:5"},
        {u"LBound", {grid, Variant(2)}, "Long:1"},
        {u"UBound", {grid, Variant(3)}, "error 9"},
        {u"UBound", {grid, Variant(0)}, "error 9"},
        {u"UBound", {Empty}, "error 13"},
        {u"LBound", {Null}, "error 13"},
        {u"LBound", {}, "error 450"},
        {u"LBound", {items, Variant(1), Variant(2)}, "error 450"},
        {u"Array", {}, "[]"},
    });
    // A by-reference argument is copied, not shared.
    Variant source(u"before");
    Variant copy = Call(u"Array", {Variant::ByRef(source)});
    source = Variant(u"after");
    EXPECT_EQ(Describe(copy), "[String:before]");
}

} // namespace
} // namespace qv::vbscript::testing
