#include "platform/ado/Field.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

namespace qv::ado {

using automation::EqualsNoCase;
using automation::Variant;

namespace {

Variant TextOrEmpty(const std::u16string& text) {
    return text.empty() ? Variant() : Variant(text);
}

[[noreturn]] void RaiseItemNotFound(std::u16string_view what) {
    automation::Raise(
        ErrorNumber::ItemNotFound, u"Fields",
        u"Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
            std::u16string(what) + u")");
}

} // namespace

std::optional<Variant> Field::Property(std::u16string_view name) const {
    if (EqualsNoCase(name, u"ISAUTOINCREMENT")) {
        return Variant(mDescription.isAutoIncrement);
    }
    if (EqualsNoCase(name, u"BASECATALOGNAME")) {
        return TextOrEmpty(mDescription.baseCatalogName);
    }
    if (EqualsNoCase(name, u"BASESCHEMANAME")) {
        return TextOrEmpty(mDescription.baseSchemaName);
    }
    if (EqualsNoCase(name, u"BASETABLENAME")) {
        return TextOrEmpty(mDescription.baseTableName);
    }
    if (EqualsNoCase(name, u"BASECOLUMNNAME")) {
        return TextOrEmpty(mDescription.baseColumnName);
    }
    return std::nullopt;
}

const Field& Fields::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        RaiseItemNotFound(automation::FromUtf8(std::to_string(index)));
    }
    return mFields[static_cast<std::size_t>(index)];
}

const Field& Fields::Item(std::u16string_view name) const {
    return mFields[IndexOf(name)];
}

std::size_t Fields::IndexOf(std::u16string_view name) const {
    std::optional<std::size_t> index = Find(name);
    if (!index) {
        RaiseItemNotFound(name);
    }
    return *index;
}

std::optional<std::size_t> Fields::Find(std::u16string_view name) const {
    for (std::size_t index = 0; index < mFields.size(); ++index) {
        if (EqualsNoCase(mFields[index].Name(), name)) {
            return index;
        }
    }
    return std::nullopt;
}

} // namespace qv::ado
