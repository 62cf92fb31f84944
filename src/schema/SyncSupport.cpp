#include "schema/internal/SyncSupport.h"

#include "project/Qel.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/VbText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Text.h"
#include "platform/host/Host.h"

#include <vector>

namespace qv::sync {

BusyWindow::BusyWindow(const Qel& project, std::u16string_view stage) {
    ModuleState& state = State();
    QelStatus& status = GetStatus();
    state.gStatusCaption = state.gMsgPrefix + std::u16string(stage);
    status.ShowStatus2(project.lhWnd(), FrameText(state.gStatusCaption));
    status.DispStatus(u"Please wait...");
}

void CopyDefaultsState(Qel& project) {
    LoadSettings& settings = CurrentLoadSettings();
    settings.defaultDateFormat = project.defaultDateFormat();
    settings.repeatColumns = project.RepeatColumns();
    if (project.DBCnt() > 0) {
        settings.secDefault = project.db()->SecDefault();
    }
}

void SetSize(QelField& field, std::int32_t size) {
    if (field.FldTagMaxLength() != 0 && field.FldTagMaxLength() == field.FldSize()) {
        field.SetFldTagMaxLength(size);
    }
    field.SetFldSize(size);
}

QelTable& TableNamed(Qel& project, std::u16string_view name, std::u16string_view source) {
    QelTable* table = project.DBCnt() > 0 ? project.db()->tables()->Find(name) : nullptr;
    if (table == nullptr) {
        automation::Raise(automation::ErrorNumber::ObjectVariableNotSet, std::u16string(source),
                          u"Object variable not set: no table " + std::u16string(name));
    }
    return *table;
}

QelTable* FindOtherCase(QelTables& tables, std::u16string_view name) {
    for (QelTable& table : tables) {
        if (table.TblName() != name && automation::EqualsNoCase(table.TblName(), name)) {
            return &table;
        }
    }
    return nullptr;
}

QelField* FindOtherCase(QelFields& fields, std::u16string_view name) {
    for (QelField& field : fields) {
        if (field.FldName() != name && automation::EqualsNoCase(field.FldName(), name)) {
            return &field;
        }
    }
    return nullptr;
}

QelField* TakeOtherCase(QelFields& fields, std::u16string_view name) {
    QelField* other = FindOtherCase(fields, name);
    if (other == nullptr || other->FldSync() || !fields.Change(other->FldName(), std::u16string(name))) {
        return nullptr;
    }
    return other;
}

void RemoveUnmatchedFields(QelFields& fields) {
    std::vector<automation::Ref<QelField>> vanished;
    for (QelField& field : fields) {
        if (!field.FldSync()) {
            vanished.emplace_back(&field);
        }
    }
    for (const automation::Ref<QelField>& field : vanished) {
        fields.Remove(*field);
    }
}

bool IsEmptyText(const automation::Variant& value) {
    const automation::Variant& plain = value.Deref();
    return plain.IsEmpty() || (plain.IsString() && plain.StringValue().empty());
}

void TellOfEach(std::u16string_view one, std::u16string_view done, std::u16string_view several,
                const std::vector<std::pair<std::u16string, std::u16string>>& named) {
    if (named.empty()) {
        return;
    }
    const ModuleState& state = State();
    std::u16string text = state.gMsgPrefix + u": ";
    if (named.size() == 1) {
        text += std::u16string(one) + named.front().first + std::u16string(done) + u": " +
                automation::WithFullStop(named.front().second);
    } else {
        text += NumberText(static_cast<std::int64_t>(named.size())) + std::u16string(several) + u":";
        for (const auto& [name, why] : named) {
            text += u"\r\n" + name + u": " + automation::WithFullStop(why);
        }
    }
    CurrentHost().ShowMessage(
        {state.gMsgPrefix, std::move(text), host::MessageIcon::Information, host::MessageButtons::Ok});
}

bool AskKeepOrUpdate(const std::u16string& question, bool preset) {
    switch (CurrentHost().AskKeepOrUpdate({State().gMsgPrefix, question})) {
    case host::SyncChoice::Keep:
        return true;
    case host::SyncChoice::Update:
        return false;
    case host::SyncChoice::Closed:
        break;
    }
    return preset;
}

} // namespace qv::sync
