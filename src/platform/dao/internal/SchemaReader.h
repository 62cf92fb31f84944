#pragma once

#include "platform/dao/Database.h"
#include "platform/dao/internal/FileHeader.h"

#include <string>
#include <string_view>

namespace qv::dao::internal {

/// Reads the whole schema of the file at `nativePath` with libmdb: the catalogue, every table
/// definition with its columns, properties and indexes, and every query's design, from which
/// the SQL is rebuilt and the fields resolved. `header` is the checked header of the same
/// file and `path` the name errors give.
///
/// libmdb trusts the file: on damaged input it can read out of bounds, abort or exit. Run this
/// only where that cannot harm the caller (see Database.cpp). It also changes libmdb's
/// character-set environment variables of the calling process.
Database::Contents ReadSchema(const std::string& nativePath, std::u16string_view path,
                              const FileHeader& header);

} // namespace qv::dao::internal
