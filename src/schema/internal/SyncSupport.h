#pragma once

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

class Qel;
class QelField;
class QelFields;
class QelTable;
class QelTables;

namespace sync {

inline bool IsTableOrView(std::u16string_view type) {
    return type == u"TABLE" || type == u"VIEW";
}

/// The progress window in its second style for one stage of a synchronisation: caption and
/// "Please wait...". The window closes when the stage ends, also when it ends with an error.
class BusyWindow {
public:
    BusyWindow(const Qel& project, std::u16string_view stage);
    ~BusyWindow() { GetStatus().CloseStatus(); }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;
};

/// Copies the project's date format and repeat columns and the database's default security into
/// the module copies that the defaults of new tables and fields read, so that a field a sync adds
/// gets what a loaded one gets.
void CopyDefaultsState(Qel& project);

/// Gives a field its column's size. An input length that was the old size's default follows the
/// new size, so that a widened column takes longer input; one the user chose stays.
void SetSize(QelField& field, std::int32_t size);

/// The table of the project named `name` exactly; raises 91 when there is none, or no database,
/// as taking a missing item into an object variable does.
QelTable& TableNamed(Qel& project, std::u16string_view name, std::u16string_view source);

/// The first table or field whose name equals `name` in another letter case only; null when
/// none does.
QelTable* FindOtherCase(QelTables& tables, std::u16string_view name);
QelField* FindOtherCase(QelFields& fields, std::u16string_view name);

/// An unmatched field (FldSync False) whose name differs from `name` only in letter case,
/// renamed in place to `name`; null when there is none. The list refuses a second spelling of a
/// name, so without this the field would go as vanished with every setting.
QelField* TakeOtherCase(QelFields& fields, std::u16string_view name);

/// Removes the fields not marked as found (FldSync False), each by identity.
void RemoveUnmatchedFields(QelFields& fields);

/// True when the setting holds no text: Empty or "" (Null is a value, as VB compares it).
bool IsEmptyText(const automation::Variant& value);

/// Tells the user in one message, however many there are, what a synchronisation did with the
/// objects `named` (each a name as the message shows it, and why): for one, `one` + name + `done`
/// + ": " + why; for several, their count + `several` + ":", then a line each with its name and
/// why. Nothing for none.
void TellOfEach(std::u16string_view one, std::u16string_view done, std::u16string_view several,
                const std::vector<std::pair<std::u16string, std::u16string>>& named);

/// Asks the keep-or-update question (gSyncQuestion) of the sync form and gives its answer
/// (gKeepAnswer): true for keep. A form closed without a button gives `preset`, the answer the
/// caller chose for that case.
bool AskKeepOrUpdate(const std::u16string& question, bool preset);

} // namespace sync
} // namespace qv
