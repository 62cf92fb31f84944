#include "platform/dao/internal/SchemaWire.h"

#include <cstdint>
#include <cstring>

namespace qv::dao::internal {

namespace {

// Little-endian integers, texts as a count of UTF-16 units and the units, lists as a count and
// the items. The last four bytes repeat the magic, so a cut-off encoding never decodes.
constexpr std::uint32_t Magic = 0x51564441; // "QVDA"

class Writer {
public:
    void U32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            mBytes.push_back(static_cast<char>(value >> shift));
        }
    }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Bool(bool value) { mBytes.push_back(value ? '\1' : '\0'); }
    void Text(const std::u16string& text) {
        U32(static_cast<std::uint32_t>(text.size()));
        for (const char16_t unit : text) {
            mBytes.push_back(static_cast<char>(unit));
            mBytes.push_back(static_cast<char>(unit >> 8));
        }
    }
    template <typename Item, typename Write> void List(const std::vector<Item>& items, Write write) {
        U32(static_cast<std::uint32_t>(items.size()));
        for (const Item& item : items) {
            write(*this, item);
        }
    }
    std::string Take() { return std::move(mBytes); }

private:
    std::string mBytes;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : mBytes(bytes) {}

    bool Ok() const noexcept { return mOk; }
    bool AtEnd() const noexcept { return mPos == mBytes.size(); }

    std::uint32_t U32() {
        if (!Need(4)) {
            return 0;
        }
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(mBytes[mPos++])) << shift;
        }
        return value;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::int16_t I16() { return static_cast<std::int16_t>(I32()); }
    bool Bool() { return Need(1) && mBytes[mPos++] != '\0'; }
    std::u16string Text() {
        const std::uint32_t length = U32();
        if (!Need(std::size_t{length} * 2)) {
            return {};
        }
        std::u16string text(length, u'\0');
        for (char16_t& unit : text) {
            unit = static_cast<char16_t>(static_cast<unsigned char>(mBytes[mPos]) |
                                         (static_cast<unsigned char>(mBytes[mPos + 1]) << 8));
            mPos += 2;
        }
        return text;
    }
    template <typename Item, typename Read> std::vector<Item> List(Read read) {
        const std::uint32_t count = U32();
        std::vector<Item> items;
        // Every item takes at least one byte, which bounds what a bad count can reserve.
        if (!Need(count)) {
            return items;
        }
        items.reserve(count);
        for (std::uint32_t index = 0; index < count && mOk; ++index) {
            items.push_back(read(*this));
        }
        return items;
    }

private:
    bool Need(std::size_t count) {
        if (!mOk || mBytes.size() - mPos < count) {
            mOk = false;
            return false;
        }
        return true;
    }

    std::string_view mBytes;
    std::size_t mPos = 0;
    bool mOk = true;
};

void WriteProperty(Writer& out, const Property& property) {
    out.Text(property.name);
    out.Text(property.value);
}

Property ReadProperty(Reader& in) {
    Property property;
    property.name = in.Text();
    property.value = in.Text();
    return property;
}

void WriteField(Writer& out, const Field& field) {
    out.Text(field.name);
    out.I32(field.type);
    out.I32(field.size);
    out.I32(field.attributes);
    out.Bool(field.required);
    out.Bool(field.allowZeroLength);
    out.Text(field.defaultValue);
    out.I32(field.ordinalPosition);
    out.Text(field.sourceTable);
    out.Text(field.sourceField);
    out.List(field.properties, WriteProperty);
}

Field ReadField(Reader& in) {
    Field field;
    field.name = in.Text();
    field.type = in.I16();
    field.size = in.I32();
    field.attributes = in.I32();
    field.required = in.Bool();
    field.allowZeroLength = in.Bool();
    field.defaultValue = in.Text();
    field.ordinalPosition = in.I16();
    field.sourceTable = in.Text();
    field.sourceField = in.Text();
    field.properties = in.List<Property>(ReadProperty);
    return field;
}

void WriteIndex(Writer& out, const Index& index) {
    out.Text(index.name);
    out.Bool(index.primary);
    out.Bool(index.unique);
    out.Bool(index.required);
    out.Bool(index.ignoreNulls);
    out.Bool(index.foreign);
    out.List(index.fields, [](Writer& writer, const IndexField& field) {
        writer.Text(field.name);
        writer.Bool(field.descending);
    });
}

Index ReadIndex(Reader& in) {
    Index index;
    index.name = in.Text();
    index.primary = in.Bool();
    index.unique = in.Bool();
    index.required = in.Bool();
    index.ignoreNulls = in.Bool();
    index.foreign = in.Bool();
    index.fields = in.List<IndexField>([](Reader& reader) {
        IndexField field;
        field.name = reader.Text();
        field.descending = reader.Bool();
        return field;
    });
    return index;
}

void WriteTableDef(Writer& out, const TableDef& table) {
    out.Text(table.name);
    out.I32(table.attributes);
    out.Text(table.connect);
    out.Text(table.sourceTableName);
    out.List(table.fields, WriteField);
    out.List(table.indexes, WriteIndex);
    out.List(table.properties, WriteProperty);
}

TableDef ReadTableDef(Reader& in) {
    TableDef table;
    table.name = in.Text();
    table.attributes = in.I32();
    table.connect = in.Text();
    table.sourceTableName = in.Text();
    table.fields = in.List<Field>(ReadField);
    table.indexes = in.List<Index>(ReadIndex);
    table.properties = in.List<Property>(ReadProperty);
    return table;
}

void WriteQueryDef(Writer& out, const QueryDef& query) {
    out.Text(query.name);
    out.I32(query.type);
    out.Bool(query.hidden);
    out.Bool(query.system);
    out.Text(query.sql);
    out.List(query.parameters, [](Writer& writer, const Parameter& parameter) {
        writer.Text(parameter.name);
        writer.I32(parameter.type);
    });
    out.List(query.fields, WriteField);
    out.List(query.properties, WriteProperty);
}

QueryDef ReadQueryDef(Reader& in) {
    QueryDef query;
    query.name = in.Text();
    query.type = in.I16();
    query.hidden = in.Bool();
    query.system = in.Bool();
    query.sql = in.Text();
    query.parameters = in.List<Parameter>([](Reader& reader) {
        Parameter parameter;
        parameter.name = reader.Text();
        parameter.type = reader.I16();
        return parameter;
    });
    query.fields = in.List<Field>(ReadField);
    query.properties = in.List<Property>(ReadProperty);
    return query;
}

} // namespace

std::string EncodeContents(const Database::Contents& contents) {
    Writer out;
    out.U32(Magic);
    out.I32(static_cast<std::int32_t>(contents.format));
    out.List(contents.tableDefs, WriteTableDef);
    out.List(contents.queryDefs, WriteQueryDef);
    out.U32(Magic);
    return out.Take();
}

std::optional<Database::Contents> DecodeContents(std::string_view bytes) {
    Reader in(bytes);
    if (in.U32() != Magic) {
        return std::nullopt;
    }
    Database::Contents contents;
    const std::int32_t format = in.I32();
    if (format < static_cast<std::int32_t>(FileFormat::Jet3) ||
        format > static_cast<std::int32_t>(FileFormat::Ace17)) {
        return std::nullopt;
    }
    contents.format = static_cast<FileFormat>(format);
    contents.tableDefs = in.List<TableDef>(ReadTableDef);
    contents.queryDefs = in.List<QueryDef>(ReadQueryDef);
    if (in.U32() != Magic || !in.Ok() || !in.AtEnd()) {
        return std::nullopt;
    }
    return contents;
}

} // namespace qv::dao::internal
