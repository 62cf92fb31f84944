#include "platform/ado/Errors.h"

#include "platform/ado/Constants.h"

namespace qv::ado {

using automation::Method;
using automation::Ref;
using automation::Variant;

ErrorRecord::ErrorRecord(std::int32_t number, std::u16string description, std::u16string source,
                         std::u16string sqlState, std::int32_t nativeError)
    : mNumber(number), mDescription(std::move(description)), mSource(std::move(source)),
      mSqlState(std::move(sqlState)), mNativeError(nativeError) {}

const automation::ClassInfo& ErrorRecord::GetClassInfo() const {
    static const automation::ClassInfo info(
        u"Error", {
                      automation::Default(Method<&ErrorRecord::Description>(u"Description")),
                      Method<&ErrorRecord::Number>(u"Number"),
                      Method<&ErrorRecord::Source>(u"Source"),
                      Method<&ErrorRecord::SQLState>(u"SQLState"),
                      Method<&ErrorRecord::NativeError>(u"NativeError"),
                  });
    return info;
}

Ref<ErrorRecord> Errors::Item(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        automation::Raise(ErrorNumber::ItemNotFound, u"Errors",
                          u"Item cannot be found in the collection corresponding to the requested name or "
                          u"ordinal.");
    }
    return mRecords[static_cast<std::size_t>(index)];
}

const automation::ClassInfo& Errors::GetClassInfo() const {
    static const automation::ClassInfo info(u"Errors",
                                            {
                                                Method<&Errors::Count>(u"Count"),
                                                automation::Default(Method<&Errors::Item>(u"Item")),
                                                Method<&Errors::Clear>(u"Clear"),
                                            });
    return info;
}

namespace {

/// Walks a snapshot of the records, so that clearing the collection during For Each is safe.
class RecordEnumerator final : public automation::Enumerator {
public:
    explicit RecordEnumerator(std::vector<Ref<ErrorRecord>> records) : mRecords(std::move(records)) {}
    bool Next(Variant& item) override {
        if (mNext >= mRecords.size()) {
            return false;
        }
        item = Variant(Ref<automation::Object>(mRecords[mNext++]));
        return true;
    }

private:
    std::vector<Ref<ErrorRecord>> mRecords;
    std::size_t mNext = 0;
};

} // namespace

Ref<automation::Enumerator> Errors::NewEnum() {
    return automation::MakeRef<RecordEnumerator>(mRecords);
}

} // namespace qv::ado
