#include "AdoObjects.h"

#include "platform/ado/Command.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <optional>

namespace qv::test {

using automation::MakeRef;
using automation::Object;
using automation::Ref;
using automation::Variant;
namespace ErrorNumber = ado::ErrorNumber;

namespace {

// The cursor and command settings the pages name.
constexpr std::int32_t UseServer = 2;
constexpr std::int32_t UseClient = 3;
constexpr std::int32_t OpenForwardOnly = 0;
constexpr std::int32_t OpenDynamic = 2;
constexpr std::int32_t PosBof = -2;
constexpr std::int32_t PosEof = -3;

[[noreturn]] void RaiseAdo(std::int32_t number, std::u16string_view source, std::u16string_view text) {
    automation::Raise(number, std::u16string(source), std::u16string(text));
}

[[noreturn]] void RaiseClosed(std::u16string_view source) {
    RaiseAdo(ErrorNumber::ObjectClosed, source, u"Operation is not allowed when the object is closed.");
}

[[noreturn]] void RaiseNoRecord() {
    RaiseAdo(ErrorNumber::NoCurrentRecord, u"ADODB.Field",
             u"Either BOF or EOF is True, or the current record has been deleted. Requested operation "
             u"requires a current record.");
}

[[noreturn]] void RaiseBadArgument(std::u16string_view source) {
    RaiseAdo(ErrorNumber::InvalidArgument, source,
             u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             u"another.");
}

bool Given(const std::optional<Variant>& value) {
    return value && !value->IsMissing() && !value->Deref().IsEmpty();
}

// ---------------------------------------------------------------------------------------------

class AdoConnection;

/// The rows of one result, read whole, with the cursor position and paging of a recordset.
class AdoRecordset final : public Object {
public:
    explicit AdoRecordset(StatementLog& log) : mLog(log) {}

    const automation::ClassInfo& GetClassInfo() const override;

    void Open(std::optional<Variant> source, std::optional<Variant> connection,
              std::optional<std::int32_t> cursorType, std::optional<std::int32_t> lockType,
              std::optional<std::int32_t> options);
    /// Takes the rows of a statement that has run.
    void Fill(ado::Recordset rows);
    void Close() {
        RequireOpen();
        mOpen = false;
        mRows.clear();
    }
    std::int32_t State() const { return mOpen ? 1 : 0; }
    bool Eof() const {
        RequireOpen();
        return mPosition >= RowCount();
    }
    bool Bof() const {
        RequireOpen();
        return mPosition < 0 || RowCount() == 0;
    }
    void MoveNext() {
        if (Eof()) {
            RaiseNoRecord();
        }
        ++mPosition;
    }
    void MovePrevious() {
        if (Bof()) {
            RaiseNoRecord();
        }
        --mPosition;
    }
    void MoveFirst() {
        RequireOpen();
        mPosition = 0;
    }
    void MoveLast() {
        RequireScrolling();
        mPosition = std::max<std::int32_t>(RowCount() - 1, 0);
    }
    void Move(std::int32_t count) {
        RequireOpen();
        if (count < 0) {
            RequireScrolling();
        }
        mPosition = std::clamp<std::int32_t>(mPosition + count, -1, RowCount());
    }
    std::int32_t RecordCount() const {
        RequireOpen();
        return Counted() ? RowCount() : -1;
    }
    std::int32_t PageSize() const { return mPageSize; }
    void SetPageSize(std::int32_t size) {
        if (size < 1) {
            RaiseBadArgument(u"ADODB.Recordset");
        }
        mPageSize = size;
    }
    std::int32_t PageCount() const {
        RequireOpen();
        return Counted() ? (RowCount() + mPageSize - 1) / mPageSize : -1;
    }
    std::int32_t AbsolutePage() const {
        if (Bof()) {
            return PosBof;
        }
        if (Eof()) {
            return PosEof;
        }
        return mPosition / mPageSize + 1;
    }
    void SetAbsolutePage(std::int32_t page) {
        RequireScrolling();
        if (page < 1 || page > PageCount()) {
            RaiseBadArgument(u"ADODB.Recordset");
        }
        mPosition = (page - 1) * mPageSize;
    }
    std::int32_t AbsolutePosition() const {
        if (Bof()) {
            return PosBof;
        }
        if (Eof()) {
            return PosEof;
        }
        return mPosition + 1;
    }
    void SetAbsolutePosition(std::int32_t position) {
        RequireScrolling();
        if (position < 1 || position > RowCount()) {
            RaiseBadArgument(u"ADODB.Recordset");
        }
        mPosition = position - 1;
    }
    std::int32_t CursorLocation() const { return mCursorLocation; }
    void SetCursorLocation(std::int32_t location) {
        RequireClosed();
        mCursorLocation = location;
    }
    std::int32_t CursorType() const { return mCursorLocation == UseClient ? 3 : mCursorType; }
    void SetCursorType(std::int32_t type) {
        RequireClosed();
        mCursorType = type;
    }
    std::int32_t LockType() const { return mLockType; }
    void SetLockType(std::int32_t type) {
        RequireClosed();
        mLockType = type;
    }
    Ref<Object> Fields();

    std::int32_t FieldCount() const {
        RequireOpen();
        return mFields.Count();
    }
    const ado::Field& FieldAt(std::int32_t index) const { return mFields.Item(index); }
    std::int32_t FieldIndex(const Variant& index) const {
        RequireOpen();
        const Variant& plain = index.Deref();
        if (plain.IsString()) {
            return static_cast<std::int32_t>(mFields.IndexOf(plain.StringValue()));
        }
        const std::int32_t number = automation::ToLong(plain);
        mFields.Item(number);
        return number;
    }
    const Variant& ValueAt(std::int32_t column) const {
        RequireOpen();
        if (mPosition < 0 || mPosition >= RowCount()) {
            RaiseNoRecord();
        }
        return mRows[static_cast<std::size_t>(mPosition) * static_cast<std::size_t>(mFields.Count()) +
                     static_cast<std::size_t>(column)];
    }

private:
    std::int32_t RowCount() const {
        return mFields.Count() == 0
                   ? 0
                   : static_cast<std::int32_t>(mRows.size() / static_cast<std::size_t>(mFields.Count()));
    }
    /// A forward-only or dynamic cursor on the server cannot count its rows, as a provider's.
    bool Counted() const {
        return mCursorLocation == UseClient || (mCursorType != OpenForwardOnly && mCursorType != OpenDynamic);
    }
    void RequireOpen() const {
        if (!mOpen) {
            RaiseClosed(u"ADODB.Recordset");
        }
    }
    void RequireClosed() const {
        if (mOpen) {
            RaiseAdo(ErrorNumber::ObjectOpen, u"ADODB.Recordset",
                     u"Operation is not allowed when the object is open.");
        }
    }
    void RequireScrolling() const {
        RequireOpen();
        if (!Counted()) {
            RaiseAdo(
                ErrorNumber::FeatureNotAvailable, u"ADODB.Recordset",
                u"Current Recordset does not support bookmarks. This may be a limitation of the provider "
                u"or of the selected cursortype.");
        }
    }

    StatementLog& mLog;
    ado::Fields mFields;
    std::vector<Variant> mRows;
    std::int32_t mPosition = 0;
    std::int32_t mPageSize = 10;
    std::int32_t mCursorLocation = UseServer;
    std::int32_t mCursorType = OpenForwardOnly;
    std::int32_t mLockType = 1;
    bool mOpen = false;
};

/// One column of a recordset's current row.
class AdoField final : public Object {
public:
    AdoField(Ref<AdoRecordset> rows, std::int32_t column) : mRows(std::move(rows)), mColumn(column) {}
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(
            u"Field",
            {automation::Default(automation::Method<&AdoField::Value>(u"Value")),
             automation::Method<&AdoField::Name>(u"Name"), automation::Method<&AdoField::Type>(u"Type"),
             automation::Method<&AdoField::DefinedSize>(u"DefinedSize"),
             automation::Method<&AdoField::ActualSize>(u"ActualSize"),
             automation::Method<&AdoField::Precision>(u"Precision"),
             automation::Method<&AdoField::NumericScale>(u"NumericScale"),
             automation::Method<&AdoField::Attributes>(u"Attributes"),
             automation::Method<&AdoField::Value>(u"OriginalValue"),
             automation::Method<&AdoField::Value>(u"UnderlyingValue")});
        return info;
    }
    Variant Value() const { return mRows->ValueAt(mColumn); }
    std::u16string Name() const { return mRows->FieldAt(mColumn).Name(); }
    std::int32_t Type() const { return mRows->FieldAt(mColumn).Type(); }
    std::int32_t DefinedSize() const { return mRows->FieldAt(mColumn).DefinedSize(); }
    std::int32_t ActualSize() const {
        const Variant& value = mRows->ValueAt(mColumn);
        if (value.IsNull()) {
            return 0;
        }
        if (value.IsArray()) {
            return static_cast<std::int32_t>(value.ArrayValue()->ElementCount());
        }
        return static_cast<std::int32_t>(automation::ToString(value).size());
    }
    std::uint8_t Precision() const { return mRows->FieldAt(mColumn).Precision(); }
    std::uint8_t NumericScale() const { return mRows->FieldAt(mColumn).NumericScale(); }
    std::int32_t Attributes() const { return mRows->FieldAt(mColumn).Attributes(); }

private:
    Ref<AdoRecordset> mRows;
    std::int32_t mColumn;
};

class AdoFields final : public Object {
public:
    explicit AdoFields(Ref<AdoRecordset> rows) : mRows(std::move(rows)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(
            u"Fields", {automation::Default(automation::Method<&AdoFields::Item>(u"Item")),
                        automation::Method<&AdoFields::Count>(u"Count")});
        return info;
    }
    Ref<Object> Item(const Variant& index) { return MakeRef<AdoField>(mRows, mRows->FieldIndex(index)); }
    std::int32_t Count() const { return mRows->FieldCount(); }

private:
    Ref<AdoRecordset> mRows;
};

Ref<Object> AdoRecordset::Fields() {
    RequireOpen();
    return MakeRef<AdoFields>(Ref<AdoRecordset>(this));
}

void AdoRecordset::Fill(ado::Recordset rows) {
    mFields = rows.Fields();
    mRows.clear();
    const std::int32_t width = mFields.Count();
    for (rows.MoveFirst(); width > 0 && !rows.Eof(); rows.MoveNext()) {
        for (std::int32_t column = 0; column < width; ++column) {
            mRows.push_back(rows.Value(column));
        }
    }
    mPosition = 0;
    mOpen = true;
}

const automation::ClassInfo& AdoRecordset::GetClassInfo() const {
    using automation::Method;
    using automation::Property;
    static const automation::ClassInfo info(
        u"Recordset",
        {Method<&AdoRecordset::Open>(u"Open"), Method<&AdoRecordset::Close>(u"Close"),
         Method<&AdoRecordset::State>(u"State"), Method<&AdoRecordset::Eof>(u"EOF"),
         Method<&AdoRecordset::Bof>(u"BOF"), Method<&AdoRecordset::MoveNext>(u"MoveNext"),
         Method<&AdoRecordset::MovePrevious>(u"MovePrevious"), Method<&AdoRecordset::MoveFirst>(u"MoveFirst"),
         Method<&AdoRecordset::MoveLast>(u"MoveLast"), Method<&AdoRecordset::Move>(u"Move"),
         Method<&AdoRecordset::RecordCount>(u"RecordCount"), Method<&AdoRecordset::PageCount>(u"PageCount"),
         Property<&AdoRecordset::PageSize, &AdoRecordset::SetPageSize>(u"PageSize"),
         Property<&AdoRecordset::AbsolutePage, &AdoRecordset::SetAbsolutePage>(u"AbsolutePage"),
         Property<&AdoRecordset::AbsolutePosition, &AdoRecordset::SetAbsolutePosition>(u"AbsolutePosition"),
         Property<&AdoRecordset::CursorLocation, &AdoRecordset::SetCursorLocation>(u"CursorLocation"),
         Property<&AdoRecordset::CursorType, &AdoRecordset::SetCursorType>(u"CursorType"),
         Property<&AdoRecordset::LockType, &AdoRecordset::SetLockType>(u"LockType"),
         automation::Default(Method<&AdoRecordset::Fields>(u"Fields"))});
    return info;
}

// ---------------------------------------------------------------------------------------------

class AdoConnection final : public Object {
public:
    explicit AdoConnection(StatementLog& log) : mLog(log) {}
    const automation::ClassInfo& GetClassInfo() const override;

    void Open(std::optional<std::u16string> text, std::optional<std::u16string> user,
              std::optional<std::u16string> password, std::optional<std::int32_t>) {
        if (text) {
            mText = *text;
        }
        mConnection.Open(mText, user.value_or(u""), password.value_or(u""));
    }
    void Close() {
        if (mConnection.State() == ado::ObjectState::Closed) {
            RaiseClosed(u"ADODB.Connection");
        }
        mConnection.Close();
    }
    std::int32_t State() const { return mConnection.State(); }
    std::u16string Text() const { return mText; }
    void SetText(const std::u16string& text) { mText = text; }
    std::int32_t CommandTimeout() const { return mCommandTimeout; }
    void SetCommandTimeout(std::int32_t seconds) { mCommandTimeout = seconds; }
    Ref<Object> Execute(const std::u16string& sql, std::optional<Variant>, std::optional<std::int32_t>) {
        auto rows = MakeRef<AdoRecordset>(mLog);
        ado::CommandResult result = Run(sql, {});
        if (result.rows.State() == ado::ObjectState::Open) {
            rows->Fill(std::move(result.rows));
        }
        return rows;
    }

    /// Runs one statement, recorded in the site's log with the error it failed with.
    ado::CommandResult Run(const std::u16string& sql, const std::vector<ado::ParameterValue>& parameters) {
        ExecutedStatement& record = mLog.emplace_back();
        record.sql = sql;
        for (const ado::ParameterValue& parameter : parameters) {
            record.parameterTypes.push_back(parameter.type);
        }
        try {
            return ado::ExecuteCommand(mConnection, sql, parameters);
        } catch (const automation::Error& error) {
            mLog.back().error = error.Description();
            throw;
        }
    }

private:
    StatementLog& mLog;
    ado::Connection mConnection;
    std::u16string mText;
    std::int32_t mCommandTimeout = 30;
};

const automation::ClassInfo& AdoConnection::GetClassInfo() const {
    using automation::Method;
    using automation::Property;
    static const automation::ClassInfo info(
        u"Connection",
        {Method<&AdoConnection::Open>(u"Open"), Method<&AdoConnection::Close>(u"Close"),
         Method<&AdoConnection::State>(u"State"), Method<&AdoConnection::Execute>(u"Execute"),
         automation::Default(Property<&AdoConnection::Text, &AdoConnection::SetText>(u"ConnectionString")),
         Property<&AdoConnection::CommandTimeout, &AdoConnection::SetCommandTimeout>(u"CommandTimeout")});
    return info;
}

Ref<AdoConnection> ConnectionOf(const Variant& value, StatementLog& log) {
    const Variant& plain = value.Deref();
    if (plain.IsObject()) {
        auto connection = automation::DynamicRefCast<AdoConnection>(plain.ObjectValue());
        if (!connection) {
            automation::Raise(automation::ErrorNumber::TypeMismatch);
        }
        return connection;
    }
    // A connection string opens a connection of the recordset's own.
    auto connection = MakeRef<AdoConnection>(log);
    connection->Open(automation::ToString(plain), std::nullopt, std::nullopt, std::nullopt);
    return connection;
}

// ---------------------------------------------------------------------------------------------

class AdoParameter final : public Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Property;
        static const automation::ClassInfo info(
            u"Parameter",
            {automation::Default(Property<&AdoParameter::Value, &AdoParameter::SetValue>(u"Value")),
             Property<&AdoParameter::Name, &AdoParameter::SetName>(u"Name"),
             Property<&AdoParameter::Type, &AdoParameter::SetType>(u"Type"),
             Property<&AdoParameter::Direction, &AdoParameter::SetDirection>(u"Direction"),
             Property<&AdoParameter::Size, &AdoParameter::SetSize>(u"Size"),
             Property<&AdoParameter::Precision, &AdoParameter::SetPrecision>(u"Precision"),
             Property<&AdoParameter::NumericScale, &AdoParameter::SetNumericScale>(u"NumericScale")});
        return info;
    }
    Variant Value() const { return mValue.value; }
    void SetValue(const Variant& value) { mValue.value = automation::DefaultValue(value); }
    std::u16string Name() const { return mName; }
    void SetName(const std::u16string& name) { mName = name; }
    std::int32_t Type() const { return mValue.type; }
    void SetType(std::int32_t type) { mValue.type = type; }
    std::int32_t Direction() const { return mDirection; }
    void SetDirection(std::int32_t direction) { mDirection = direction; }
    std::int32_t Size() const { return mValue.size; }
    void SetSize(std::int32_t size) {
        if (size < 0) {
            RaiseBadArgument(u"ADODB.Parameter");
        }
        mValue.size = size;
    }
    std::uint8_t Precision() const { return mValue.precision; }
    void SetPrecision(std::uint8_t precision) { mValue.precision = precision; }
    std::uint8_t NumericScale() const { return mValue.numericScale; }
    void SetNumericScale(std::uint8_t scale) { mValue.numericScale = scale; }

    const ado::ParameterValue& Bound() const { return mValue; }

private:
    ado::ParameterValue mValue;
    std::u16string mName;
    std::int32_t mDirection = 1;
};

class AdoParameters final : public Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        static const automation::ClassInfo info(
            u"Parameters",
            {automation::Default(Method<&AdoParameters::Item>(u"Item")),
             Method<&AdoParameters::Append>(u"Append"), Method<&AdoParameters::Count>(u"Count"),
             Method<&AdoParameters::Delete>(u"Delete"), Method<&AdoParameters::Refresh>(u"Refresh")});
        return info;
    }
    void Append(const Variant& parameter) {
        const Variant& plain = parameter.Deref();
        auto typed =
            plain.IsObject() ? automation::DynamicRefCast<AdoParameter>(plain.ObjectValue()) : nullptr;
        if (!typed) {
            automation::Raise(automation::ErrorNumber::TypeMismatch);
        }
        mItems.push_back(typed);
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(mItems.size()); }
    Ref<Object> Item(const Variant& index) { return mItems[Find(index)]; }
    void Delete(const Variant& index) {
        mItems.erase(mItems.begin() + static_cast<std::ptrdiff_t>(Find(index)));
    }
    void Refresh() {}

    std::vector<ado::ParameterValue> Values() const {
        std::vector<ado::ParameterValue> values;
        for (const Ref<AdoParameter>& item : mItems) {
            values.push_back(item->Bound());
        }
        return values;
    }

private:
    std::size_t Find(const Variant& index) const {
        const Variant& plain = index.Deref();
        if (plain.IsString()) {
            for (std::size_t at = 0; at < mItems.size(); ++at) {
                if (automation::EqualsNoCase(mItems[at]->Name(), plain.StringValue())) {
                    return at;
                }
            }
        } else {
            const std::int32_t number = automation::ToLong(plain);
            if (number >= 0 && number < Count()) {
                return static_cast<std::size_t>(number);
            }
        }
        RaiseAdo(ErrorNumber::ItemNotFound, u"ADODB.Parameters",
                 u"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    }

    std::vector<Ref<AdoParameter>> mItems;
};

class AdoCommand final : public Object {
public:
    explicit AdoCommand(StatementLog& log) : mLog(log), mParameters(MakeRef<AdoParameters>()) {}
    const automation::ClassInfo& GetClassInfo() const override;

    Variant ActiveConnection() const {
        return mConnection ? Variant(Ref<Object>(mConnection)) : Variant::Nothing();
    }
    void SetActiveConnection(const Variant& connection) {
        const Variant& plain = connection.Deref();
        if (plain.IsObject() && !plain.ObjectValue()) {
            mConnection = nullptr;
            return;
        }
        mConnection = ConnectionOf(plain, mLog);
    }
    std::u16string CommandText() const { return mText; }
    void SetCommandText(const std::u16string& text) { mText = text; }
    std::int32_t CommandType() const { return mType; }
    void SetCommandType(std::int32_t type) {
        // Text (1) and "unknown" (8, taken as text) are the kinds a site's SQL needs.
        if (type != 1 && type != 8) {
            RaiseAdo(ErrorNumber::FeatureNotAvailable, u"ADODB.Command",
                     u"Only commands of SQL text are run here.");
        }
        mType = type;
    }
    std::int32_t CommandTimeout() const { return mTimeout; }
    void SetCommandTimeout(std::int32_t seconds) { mTimeout = seconds; }
    bool Prepared() const { return mPrepared; }
    void SetPrepared(bool prepared) { mPrepared = prepared; }
    Ref<Object> Parameters() const { return mParameters; }
    Ref<Object> CreateParameter(std::optional<std::u16string> name, std::optional<std::int32_t> type,
                                std::optional<std::int32_t> direction, std::optional<std::int32_t> size,
                                std::optional<Variant> value) {
        auto parameter = MakeRef<AdoParameter>();
        parameter->SetName(name.value_or(u""));
        parameter->SetType(type.value_or(0));
        parameter->SetDirection(direction.value_or(1));
        parameter->SetSize(size.value_or(0));
        if (value && !value->IsMissing()) {
            parameter->SetValue(*value);
        }
        return parameter;
    }
    Ref<Object> Execute(std::optional<Variant>, std::optional<Variant>, std::optional<std::int32_t>) {
        auto rows = MakeRef<AdoRecordset>(mLog);
        ado::CommandResult result = Run();
        if (result.rows.State() == ado::ObjectState::Open) {
            rows->Fill(std::move(result.rows));
        }
        return rows;
    }

    ado::CommandResult Run() {
        if (!mConnection || mConnection->State() == 0) {
            RaiseAdo(ErrorNumber::ObjectClosed, u"ADODB.Command",
                     u"The connection cannot be used to perform this operation. It is either closed or "
                     u"invalid in this context.");
        }
        if (mText.empty()) {
            RaiseAdo(static_cast<std::int32_t>(0x800A0E7Cu), u"ADODB.Command",
                     u"Command text was not set for the command object.");
        }
        const std::vector<ado::ParameterValue> values = mParameters->Values();
        for (const ado::ParameterValue& value : values) {
            // A provider needs the digits of an exact number: without them it refuses the
            // parameter (or, worse, rounds the value to whole numbers).
            const bool exact = value.type == ado::DataType::Numeric || value.type == ado::DataType::Decimal ||
                               value.type == VarNumeric;
            if (exact && value.precision == 0 && !value.value.IsNull() && !value.value.IsEmpty()) {
                RaiseAdo(static_cast<std::int32_t>(0x80040E21u), u"ADODB.Command",
                         u"Invalid precision value: a Decimal or Numeric parameter needs its Precision and "
                         u"NumericScale.");
            }
        }
        return mConnection->Run(mText, values);
    }

private:
    static constexpr std::int32_t VarNumeric = 139;

    StatementLog& mLog;
    Ref<AdoConnection> mConnection;
    Ref<AdoParameters> mParameters;
    std::u16string mText;
    std::int32_t mType = 8;
    std::int32_t mTimeout = 30;
    bool mPrepared = false;
};

const automation::ClassInfo& AdoCommand::GetClassInfo() const {
    using automation::Method;
    using automation::Property;
    automation::MemberInfo connection = Method<&AdoCommand::ActiveConnection>(u"ActiveConnection");
    connection.set = &automation::detail::Thunk<&AdoCommand::SetActiveConnection>;
    connection.let = connection.set;
    static const automation::ClassInfo info(
        u"Command",
        {connection, Property<&AdoCommand::CommandText, &AdoCommand::SetCommandText>(u"CommandText"),
         Property<&AdoCommand::CommandType, &AdoCommand::SetCommandType>(u"CommandType"),
         Property<&AdoCommand::CommandTimeout, &AdoCommand::SetCommandTimeout>(u"CommandTimeout"),
         Property<&AdoCommand::Prepared, &AdoCommand::SetPrepared>(u"Prepared"),
         automation::Default(Method<&AdoCommand::Parameters>(u"Parameters")),
         Method<&AdoCommand::CreateParameter>(u"CreateParameter"), Method<&AdoCommand::Execute>(u"Execute")});
    return info;
}

void AdoRecordset::Open(std::optional<Variant> source, std::optional<Variant> connection,
                        std::optional<std::int32_t> cursorType, std::optional<std::int32_t> lockType,
                        std::optional<std::int32_t>) {
    RequireClosed();
    if (cursorType && *cursorType >= 0) {
        mCursorType = *cursorType;
    }
    if (lockType && *lockType >= 0) {
        mLockType = *lockType;
    }
    if (!Given(source)) {
        RaiseAdo(
            static_cast<std::int32_t>(0x800A0E7Cu), u"ADODB.Recordset",
            u"The connection cannot be used to perform this operation. It is either closed or invalid in "
            u"this context.");
    }
    const Variant& plain = source->Deref();
    ado::CommandResult result;
    if (plain.IsObject()) {
        auto command = automation::DynamicRefCast<AdoCommand>(plain.ObjectValue());
        if (!command) {
            automation::Raise(automation::ErrorNumber::TypeMismatch);
        }
        result = command->Run();
    } else {
        if (!Given(connection)) {
            RaiseAdo(static_cast<std::int32_t>(0x800A0E7Du), u"ADODB.Recordset",
                     u"The connection cannot be used to perform this operation. It is either closed or "
                     u"invalid in this context.");
        }
        result = ConnectionOf(*connection, mLog)->Run(automation::ToString(plain), {});
    }
    if (result.rows.State() != ado::ObjectState::Open) {
        // A statement without rows leaves the recordset closed, as the provider's does.
        return;
    }
    Fill(std::move(result.rows));
}

} // namespace

Ref<Object> CreateAdoObject(std::u16string_view progId, StatementLog& log) {
    if (automation::EqualsNoCase(progId, u"ADODB.Connection")) {
        return MakeRef<AdoConnection>(log);
    }
    if (automation::EqualsNoCase(progId, u"ADODB.Command")) {
        return MakeRef<AdoCommand>(log);
    }
    if (automation::EqualsNoCase(progId, u"ADODB.Recordset")) {
        return MakeRef<AdoRecordset>(log);
    }
    return nullptr;
}

} // namespace qv::test
