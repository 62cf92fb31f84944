#pragma once

// Only the sources of this folder include this header: libmdb's header brings glib's macros
// and typedefs, which must not reach anyone else.
#include <mdbtools.h>

#include <utility>

namespace qv::dao::internal {

/// Owns an open libmdb database handle; closes it with mdb_close.
class LibMdbHandle {
public:
    LibMdbHandle() noexcept = default;
    explicit LibMdbHandle(MdbHandle* handle) noexcept : mHandle(handle) {}
    ~LibMdbHandle() { Reset(); }
    LibMdbHandle(const LibMdbHandle&) = delete;
    LibMdbHandle& operator=(const LibMdbHandle&) = delete;
    LibMdbHandle(LibMdbHandle&& other) noexcept : mHandle(std::exchange(other.mHandle, nullptr)) {}
    LibMdbHandle& operator=(LibMdbHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            mHandle = std::exchange(other.mHandle, nullptr);
        }
        return *this;
    }

    MdbHandle* Get() const noexcept { return mHandle; }
    explicit operator bool() const noexcept { return mHandle != nullptr; }

private:
    void Reset() noexcept {
        if (mHandle) {
            mdb_close(mHandle);
            mHandle = nullptr;
        }
    }

    MdbHandle* mHandle = nullptr;
};

/// Owns a table definition read by libmdb (with its columns and indexes); frees it with
/// mdb_free_tabledef.
class LibMdbTable {
public:
    LibMdbTable() noexcept = default;
    explicit LibMdbTable(MdbTableDef* table) noexcept : mTable(table) {}
    ~LibMdbTable() { Reset(); }
    LibMdbTable(const LibMdbTable&) = delete;
    LibMdbTable& operator=(const LibMdbTable&) = delete;
    LibMdbTable(LibMdbTable&& other) noexcept : mTable(std::exchange(other.mTable, nullptr)) {}
    LibMdbTable& operator=(LibMdbTable&& other) noexcept {
        if (this != &other) {
            Reset();
            mTable = std::exchange(other.mTable, nullptr);
        }
        return *this;
    }

    MdbTableDef* Get() const noexcept { return mTable; }
    MdbTableDef* operator->() const noexcept { return mTable; }
    explicit operator bool() const noexcept { return mTable != nullptr; }

private:
    void Reset() noexcept {
        if (mTable) {
            mdb_free_tabledef(mTable);
            mTable = nullptr;
        }
    }

    MdbTableDef* mTable = nullptr;
};

} // namespace qv::dao::internal
