#pragma once

#include "platform/dao/Constants.h"
#include "platform/dao/QueryDef.h"
#include "platform/dao/TableDef.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::dao {

struct OpenOptions {
    /// The longest time the schema may take to read before the file is reported unreadable.
    /// Reading the schema of a sound file takes well under a second; the time-out stops a reader
    /// that loops on a damaged one.
    std::chrono::milliseconds timeout{15000};
    /// The address space the reader may add to what it starts with. A schema needs well under
    /// 100 MB; a damaged file can send libmdb allocating without end (about 150 MB a second),
    /// and past this the read fails within seconds as a damaged file instead of growing to
    /// gigabytes for the whole time-out.
    std::size_t memoryLimit = std::size_t{256} << 20;
};

/// The schema of an Access database file (.mdb of Jet 3 or Jet 4, .accdb): its table
/// definitions with fields, properties and indexes, and its query definitions with rebuilt SQL
/// and resolved fields. Open reads everything at once and closes the file; the object is a
/// read-only snapshot that can be copied and moved freely.
class Database {
public:
    /// Opens `path` (either separator) with the database password `password` ("" for none)
    /// and reads its schema. Raises automation::Error with the engine's numbers (ErrorNumber)
    /// and a description naming the file when the file is missing, is not an Access database,
    /// is damaged, is encrypted, or when the password is wrong. A damaged file never takes the
    /// calling process down (see Database.cpp).
    static Database Open(std::u16string_view path, std::u16string_view password = {},
                         const OpenOptions& options = {});

    /// The path as given to Open.
    const std::u16string& Name() const noexcept { return mName; }
    FileFormat Format() const noexcept { return mFormat; }
    /// The format's version as DAO reports it: "3.0", "4.0", "12.0", "14.0", ...
    std::u16string Version() const;

    /// Every table, system and hidden ones included (see TableDef::attributes), ordered by name.
    const std::vector<TableDef>& TableDefs() const noexcept { return mTableDefs; }
    /// Every stored query, ordered by name.
    const std::vector<QueryDef>& QueryDefs() const noexcept { return mQueryDefs; }
    /// The names of the queries that the catalogue lists as views (QueryDef::IsView), in the
    /// order of QueryDefs.
    std::vector<std::u16string> ViewNames() const;

    /// The table or query called `name` (ignoring case), or null.
    const TableDef* FindTableDef(std::u16string_view name) const noexcept;
    const QueryDef* FindQueryDef(std::u16string_view name) const noexcept;

    /// The contents of an opened file; used by the reader that fills a Database.
    struct Contents {
        FileFormat format = FileFormat::Jet4;
        std::vector<TableDef> tableDefs;
        std::vector<QueryDef> queryDefs;
    };
    Database(std::u16string name, Contents contents);

private:
    std::u16string mName;
    FileFormat mFormat;
    std::vector<TableDef> mTableDefs;
    std::vector<QueryDef> mQueryDefs;
};

/// The version of the database engine this layer stands in for, as DBEngine.Version gives it.
std::u16string EngineVersion();

} // namespace qv::dao
