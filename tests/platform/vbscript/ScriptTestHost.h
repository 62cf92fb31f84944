#pragma once

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <string>
#include <vector>

namespace qv::vbscript::test {

using automation::ClassInfo;
using automation::MakeRef;
using automation::MemberInfo;
using automation::Object;
using automation::Ref;
using automation::Variant;

/// A host collection: Item (default, by 0-based index or by name), Count, Add, and For Each.
class HostCollection final : public Object {
public:
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(
            u"HostCollection", {
                                   automation::Default(automation::Method<&HostCollection::Item>(u"Item")),
                                   automation::Method<&HostCollection::Count>(u"Count"),
                                   automation::Method<&HostCollection::Add>(u"Add"),
                               });
        return info;
    }
    Variant Item(Variant key) {
        if (key.IsString()) {
            for (std::size_t index = 0; index < mNames.size(); ++index) {
                if (automation::EqualsNoCase(mNames[index], key.StringValue())) {
                    return mValues[index];
                }
            }
            automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
        }
        std::int32_t index = automation::ToLong(key);
        if (index < 0 || static_cast<std::size_t>(index) >= mValues.size()) {
            automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
        }
        return mValues[static_cast<std::size_t>(index)];
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(mValues.size()); }
    void Add(Variant value, std::optional<std::u16string> name) {
        mValues.push_back(value);
        mNames.push_back(name ? *name : std::u16string());
    }
    Ref<automation::Enumerator> NewEnum() override {
        class Walk final : public automation::Enumerator {
        public:
            explicit Walk(Ref<HostCollection> owner) : mOwner(std::move(owner)) {}
            bool Next(Variant& item) override {
                if (mIndex >= mOwner->mValues.size()) {
                    return false;
                }
                item = mOwner->mValues[mIndex++];
                return true;
            }

        private:
            Ref<HostCollection> mOwner;
            std::size_t mIndex = 0;
        };
        return MakeRef<Walk>(Ref<HostCollection>(this));
    }

private:
    std::vector<Variant> mValues;
    std::vector<std::u16string> mNames;
};

/// A host record with a Name property and a default Value property that may be assigned.
class HostRecord final : public Object {
public:
    explicit HostRecord(std::u16string name) : mName(std::move(name)) {}
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(
            u"HostRecord", {
                               automation::Method<&HostRecord::Name>(u"Name"),
                               automation::Default(
                                   automation::Property<&HostRecord::Value, &HostRecord::SetValue>(u"Value")),
                           });
        return info;
    }
    std::u16string Name() const { return mName; }
    Variant Value() const { return mValue; }
    void SetValue(Variant value) { mValue = std::move(value); }

private:
    std::u16string mName;
    Variant mValue;
};

/// The object scripts under test see as "Test": checks that record failures, output capture,
/// and members that exercise the late-bound paths (by-reference arguments, collections, default
/// members, properties without arguments applied with arguments).
class ScriptTestHost final : public Object {
public:
    ScriptTestHost() {
        mItems = MakeRef<HostCollection>();
        mItems->Add(Variant(std::int32_t(10)), std::nullopt);
        mItems->Add(Variant(u"twenty"), std::nullopt);
        mItems->Add(Variant(std::int32_t(30)), std::nullopt);
        mTables = MakeRef<HostCollection>();
        for (const char16_t* name : {u"Orders", u"Customers"}) {
            mTables->Add(Variant(Ref<Object>(MakeRef<HostRecord>(name))), std::u16string(name));
        }
    }

    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(
            u"ScriptTestHost",
            {
                automation::Method<&ScriptTestHost::Equal>(u"Equal"),
                automation::Method<&ScriptTestHost::IsTrue>(u"IsTrue"),
                automation::Method<&ScriptTestHost::Fail>(u"Fail"),
                MemberInfo{u"Echo", &ScriptTestHost::EchoThunk, nullptr, nullptr, 0, 64},
                automation::Method<&ScriptTestHost::Write>(u"Write"),
                automation::Method<&ScriptTestHost::Swap>(u"Swap"),
                automation::Method<&ScriptTestHost::AddOne>(u"AddOne"),
                automation::Method<&ScriptTestHost::Items>(u"Items"),
                automation::Method<&ScriptTestHost::Tables>(u"Tables"),
                automation::Property<&ScriptTestHost::Counter, &ScriptTestHost::SetCounter>(u"Counter"),
                automation::Method<&ScriptTestHost::Self>(u"Self"),
                automation::Method<&ScriptTestHost::Sum>(u"Sum"),
            });
        return info;
    }

    void Equal(Variant actual, Variant expected, std::optional<std::u16string> label) {
        if (!Same(actual, expected)) {
            mFailures.push_back(automation::ToUtf8(label.value_or(u"Equal")) + ": got " + Describe(actual) +
                                ", expected " + Describe(expected));
        }
    }
    void IsTrue(Variant condition, std::optional<std::u16string> label) {
        if (condition.Type() != automation::VarType::Boolean || !condition.BooleanValue()) {
            mFailures.push_back(automation::ToUtf8(label.value_or(u"IsTrue")) + ": got " +
                                Describe(condition));
        }
    }
    void Fail(std::u16string label) { mFailures.push_back(automation::ToUtf8(label)); }
    void Write(Variant text) { mOutput += automation::ToString(text); }
    void Swap(Variant& a, Variant& b) { std::swap(a, b); }
    void AddOne(Variant& value) {
        value = automation::Evaluate(automation::BinaryOp::Add, value, Variant(std::int16_t(1)));
    }
    Ref<HostCollection> Items() const { return mItems; }
    Ref<HostCollection> Tables() const { return mTables; }
    std::int32_t Counter() const { return mCounter; }
    void SetCounter(std::int32_t value) { mCounter = value; }
    Ref<ScriptTestHost> Self() { return Ref<ScriptTestHost>(this); }
    double Sum(double a, std::optional<double> b, std::optional<double> c) {
        return a + b.value_or(0) + c.value_or(0);
    }

    const std::vector<std::string>& Failures() const { return mFailures; }
    const std::u16string& Output() const { return mOutput; }

    /// An equal value of the same kind: numbers of any numeric subtype by value, everything else
    /// of the same subtype (objects: the same object). Scripts check exact subtypes by TypeName.
    static bool Same(const Variant& a, const Variant& b) {
        if (a.IsNumeric() && b.IsNumeric()) {
            return automation::Compare(a, b) == automation::CompareResult::Equal;
        }
        if (a.VarTypeCode() != b.VarTypeCode()) {
            return false;
        }
        if (a.IsObject()) {
            return a.ObjectValue().Get() == b.ObjectValue().Get();
        }
        if (a.IsNull() || a.IsArray()) {
            return true;
        }
        return automation::Compare(a, b) == automation::CompareResult::Equal;
    }
    static std::string Describe(const Variant& value) {
        std::string type = std::to_string(value.VarTypeCode());
        if (value.IsObject() || value.IsNull() || value.IsArray() ||
            value.Type() == automation::VarType::Error) {
            return "<vartype " + type + ">";
        }
        return "\"" + automation::ToUtf8(automation::ToString(value)) + "\" (vartype " + type + ")";
    }

private:
    static Variant EchoThunk(Object& self, std::span<Variant> args) {
        auto& host = static_cast<ScriptTestHost&>(self);
        for (std::size_t index = 0; index < args.size(); ++index) {
            if (index > 0) {
                host.mOutput += u' ';
            }
            if (!args[index].IsNull()) {
                host.mOutput += automation::ToString(automation::DefaultValue(args[index]));
            }
        }
        host.mOutput += u'\n';
        return Variant();
    }

    std::vector<std::string> mFailures;
    std::u16string mOutput;
    Ref<HostCollection> mItems;
    Ref<HostCollection> mTables;
    std::int32_t mCounter = 0;
};

} // namespace qv::vbscript::test
