#pragma once

// What a field must hold after a column loader and its defaults ran, worked out from the column
// alone: an independent statement of the rules, for the matrix tests of the field model.

#include "model/field/QelField.h"

#include "core/QoProperties.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace qv::test {

/// The kinds of database by a DBMS name that stands for each.
struct DatabaseKindName {
    std::int16_t kind;
    std::u16string_view dbms;
};
inline constexpr DatabaseKindName DatabaseKinds[] = {
    {1, u"ACCESS"}, {2, u"Microsoft SQL Server"}, {3, u"MySQL"}, {4, u"Oracle"}, {5, u"PostgreSQL"},
};

inline bool OneOf(std::int32_t code, std::initializer_list<std::int32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

/// The column facts the defaults read, and the project values they use.
struct ColumnFacts {
    std::u16string name = u"Unit Price";
    std::int32_t type = 0;
    bool supported = false;
    bool autoIncrement = false;
    std::int32_t attributes = 0;
    std::int32_t size = 0;
    bool required = false;
    std::int16_t kind = 5;
    std::int16_t dateFormat = 0;
    std::int16_t repeatColumns = 0;
};

/// Support and delimiters of an ADO type code; nullopt delimiters: left as they were.
struct AdoTyping {
    bool supported;
    std::optional<std::u16string_view> quote;
};

inline AdoTyping ExpectedAdoTyping(std::int32_t type, std::int16_t kind) {
    if (OneOf(type, {20, 11, 6, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17, 139})) {
        return {true, u""};
    }
    if (OneOf(type, {8, 129, 7, 133, 134, 135, 201, 203, 200, 202, 130, 72, 205})) {
        return {true, kind == 1 && OneOf(type, {7, 133, 134, 135}) ? u"#" : u"'"};
    }
    return {false, std::nullopt};
}

/// The ADO type, support and delimiters of a DAO type code.
struct DaoTyping {
    std::int16_t type;
    bool supported;
    std::optional<std::u16string_view> quote;
};

inline DaoTyping ExpectedDaoTyping(std::int32_t daoType) {
    switch (daoType) {
    case 16:
        return {20, true, u""};
    case 9:
        return {128, false, std::nullopt};
    case 1:
        return {11, true, u""};
    case 2:
        return {17, true, u""};
    case 18:
        return {129, true, u"'"};
    case 5:
        return {6, true, u""};
    case 8:
    case 22:
    case 23:
        return {135, true, u"#"};
    case 20:
    case 19:
        return {131, true, u""};
    case 7:
    case 21:
        return {5, true, u""};
    case 15:
        return {72, true, u"'"};
    case 3:
        return {2, true, u""};
    case 4:
        return {3, true, u""};
    case 11:
        return {205, true, u""};
    case 12:
        return {203, true, u"'"};
    case 6:
        return {4, true, u""};
    case 10:
        return {202, true, u"'"};
    default:
        return {-1, false, std::nullopt};
    }
}

inline std::optional<std::u16string_view> DateValidation(std::int16_t dateFormat) {
    switch (dateFormat) {
    case 5:
        return u"DATE";
    case 6:
        return u"USDATE";
    case 7:
        return u"EURODATE";
    default:
        return std::nullopt;
    }
}

/// The settings the defaults give a column; nullopt: the setting is not written.
struct ExpectedDefaults {
    bool generate, list, view, edit, add, multiUpdate, search, basicSearch, required;
    std::u16string htmlTag;
    std::u16string srchOpr;
    std::u16string fmtType;
    std::optional<std::int16_t> tagSize, tagCols, tagRows, dtFormat;
    std::optional<std::int32_t> tagMaxLength;
    std::optional<std::u16string> tagValues, validate, hrefFld;
};

inline ExpectedDefaults ExpectDefaults(const ColumnFacts& column) {
    const std::int32_t type = column.type;
    const bool supported = column.supported;
    ExpectedDefaults expected{};
    expected.generate = supported;
    expected.view = supported;
    expected.list = supported && !OneOf(type, {201, 203, 205});
    expected.edit = supported;
    expected.add = supported && !column.autoIncrement;
    expected.multiUpdate = supported && !column.autoIncrement;
    if (column.kind == 2 && !column.autoIncrement && (column.attributes & 8) == 0 &&
        (column.attributes & 4) == 0) {
        expected.add = expected.edit = expected.multiUpdate = false;
    }
    expected.search = supported && type != 205;
    expected.basicSearch = supported && OneOf(type, {201, 203, 200, 202, 129, 130});
    expected.required = column.required;
    expected.srchOpr = OneOf(type, {8, 129, 201, 203, 200, 202, 130}) ? u"LIKE" : u"=";
    expected.fmtType = u"None";

    if (column.autoIncrement) {
        expected.htmlTag = u"NO";
    } else if (type == 11) {
        expected.htmlTag = u"CHECKBOX";
        expected.tagValues =
            column.kind == 1 ? u"\"Yes\",\"Yes\"\r\n\"No\",\"No\"" : u"\"1\",\"Yes\"\r\n\"0\",\"No\"";
    } else if (OneOf(type, {201, 203})) {
        expected.htmlTag = u"TEXTAREA";
        expected.tagCols = 35;
        expected.tagRows = 4;
    } else if (OneOf(type, {200, 202})) {
        expected.htmlTag = u"TEXT";
        expected.tagSize = 30;
        expected.tagMaxLength = column.size;
    } else if (OneOf(type, {7, 133, 135})) {
        expected.htmlTag = u"TEXT";
        if (DateValidation(column.dateFormat)) {
            expected.fmtType = u"Date/Time";
            expected.dtFormat = column.dateFormat;
        }
    } else if (type == 72) {
        expected.htmlTag = u"TEXT";
        expected.tagSize = 38;
        expected.tagMaxLength = 38;
    } else if (type == 205) {
        expected.htmlTag = u"FILE";
        expected.tagSize = 30;
        expected.hrefFld = column.name;
    } else {
        expected.htmlTag = u"TEXT";
        expected.tagSize = 30;
    }

    if (OneOf(type, {20, 3, 2, 16, 21, 19, 18, 17})) {
        expected.validate = u"INTEGER";
    } else if (OneOf(type, {6, 14, 5, 131, 4})) {
        expected.validate = u"FLOAT";
    } else if (OneOf(type, {7, 133, 135})) {
        if (std::optional<std::u16string_view> validation = DateValidation(column.dateFormat)) {
            expected.validate = std::u16string(*validation);
        }
    } else if (type == 134) {
        expected.validate = u"TIME";
    } else if (type == 72) {
        expected.validate = u"GUID";
    }
    return expected;
}

inline const automation::Variant& StoredSetting(const QelField& field, std::u16string_view name) {
    return field.Properties()->Find(name)->Value();
}

/// Checks a field against the defaults of its column: written settings by value, settings the
/// defaults leave alone by being still Empty (the field was new when loaded).
inline void ExpectFieldDefaults(const QelField& field, const ColumnFacts& column) {
    const ExpectedDefaults expected = ExpectDefaults(column);
    EXPECT_EQ(field.FldGenerate(), expected.generate);
    EXPECT_EQ(field.FldList(), expected.list);
    EXPECT_EQ(field.FldView(), expected.view);
    EXPECT_EQ(field.FldEdit(), expected.edit);
    EXPECT_EQ(field.FldAdd(), expected.add);
    EXPECT_EQ(field.FldMultiUpdate(), expected.multiUpdate);
    EXPECT_EQ(field.FldSearch(), expected.search);
    EXPECT_EQ(field.FldBasicSearch(), expected.basicSearch);
    EXPECT_FALSE(field.FldExtendedBasicSearch());
    EXPECT_EQ(field.FldRequired(), expected.required);
    EXPECT_EQ(field.FldHtmlTag(), expected.htmlTag);
    EXPECT_EQ(field.FldSrchOpr(), expected.srchOpr);
    EXPECT_EQ(field.FldFmtType(), expected.fmtType);

    const auto expectInteger = [&](std::u16string_view name, std::optional<std::int32_t> value) {
        SCOPED_TRACE(automation::ToUtf8(name));
        const automation::Variant& stored = StoredSetting(field, name);
        if (!value) {
            EXPECT_TRUE(stored.IsEmpty()) << automation::ToUtf8(automation::ToString(stored));
            return;
        }
        ASSERT_FALSE(stored.IsEmpty());
        EXPECT_EQ(automation::ToLong(stored), *value);
    };
    const auto expectText = [&](std::u16string_view name, const std::optional<std::u16string>& value) {
        SCOPED_TRACE(automation::ToUtf8(name));
        const automation::Variant& stored = StoredSetting(field, name);
        if (!value) {
            EXPECT_TRUE(stored.IsEmpty()) << automation::ToUtf8(automation::ToString(stored));
            return;
        }
        ASSERT_TRUE(stored.IsString());
        EXPECT_EQ(stored.StringValue(), *value);
    };
    expectInteger(u"FldTagSize", expected.tagSize);
    expectInteger(u"FldTagMaxLength", expected.tagMaxLength);
    expectInteger(u"FldTagCols", expected.tagCols);
    expectInteger(u"FldTagRows", expected.tagRows);
    expectInteger(u"FldDtFormat", expected.dtFormat);
    expectText(u"FldTagValues", expected.tagValues);
    expectText(u"FldValidate", expected.validate);
    expectText(u"FldHrefFld", expected.hrefFld);
    EXPECT_EQ(field.FldRepeatColumns(), column.repeatColumns);
}

} // namespace qv::test
