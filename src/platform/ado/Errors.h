#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv::ado {

/// One diagnostic record of a failed call, as the driver reported it: the number callers test
/// (an HRESULT chosen from the SQLSTATE), the driver's message, where it came from, the SQLSTATE
/// and the database's own error code.
class ErrorRecord final : public automation::Object {
public:
    ErrorRecord(std::int32_t number, std::u16string description, std::u16string source,
                std::u16string sqlState, std::int32_t nativeError);

    std::int32_t Number() const { return mNumber; }
    const std::u16string& Description() const { return mDescription; }
    const std::u16string& Source() const { return mSource; }
    const std::u16string& SQLState() const { return mSqlState; }
    std::int32_t NativeError() const { return mNativeError; }

    const automation::ClassInfo& GetClassInfo() const override;

private:
    std::int32_t mNumber;
    std::u16string mDescription;
    std::u16string mSource;
    std::u16string mSqlState;
    std::int32_t mNativeError;
};

/// The Errors collection of a connection: the driver's diagnostics of the last call that failed.
/// Every call that can fail clears it first, so it never mixes records of two calls. Owned by
/// its connection; hosts and scripts read it by name (Count, Item, For Each).
class Errors final : public automation::Object {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(mRecords.size()); }
    /// The record at a 0-based position; raises ItemNotFound outside the collection.
    automation::Ref<ErrorRecord> Item(std::int32_t index) const;
    void Clear() { mRecords.clear(); }
    void Add(automation::Ref<ErrorRecord> record) { mRecords.push_back(std::move(record)); }
    std::span<const automation::Ref<ErrorRecord>> Records() const { return mRecords; }

    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<automation::Enumerator> NewEnum() override;

private:
    std::vector<automation::Ref<ErrorRecord>> mRecords;
};

} // namespace qv::ado
