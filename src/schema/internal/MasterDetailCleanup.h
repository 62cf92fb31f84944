#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

class Qel;
class QelMasterDetail;

/// Where the tables and fields a master/detail pair names are looked for: the project as it is,
/// or the project as a synchronisation would leave it.
class PairTargets {
public:
    virtual ~PairTargets() = default;
    /// A table of exactly that name is there.
    virtual bool HasTable(std::u16string_view table) const = 0;
    /// The table (which is there) holds a field of exactly that name, or holds no fields to check
    /// because they are not loaded.
    virtual bool HasField(std::u16string_view table, std::u16string_view field) const = 0;
};

/// Why the pair points at nothing among `targets`: "the table "orders" is gone", "the field
/// "customer_id" of the table "orders" is gone"; nullopt when it is whole. The master table is
/// asked first, then the detail table, then the relations in order.
std::optional<std::u16string> WhyPairIsBroken(const QelMasterDetail& pair, const PairTargets& targets);

/// The last model step of a synchronisation: removes, whole, every master/detail pair that
/// names a table or field the project no longer has, and tells the user of each one it removes
/// and why. Fields are checked only on loaded tables: a table not loaded has none to check, and
/// its pairs stay. Pairs go by identity, so that a pair is never mistaken for another of the same
/// names and none is skipped.
void RemoveBrokenMasterDetails(Qel& project);

} // namespace qv
