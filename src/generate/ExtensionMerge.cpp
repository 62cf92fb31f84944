#include "generate/internal/ExtensionMerge.h"

#include "core/Apartment.h"
#include "template/QelControls.h"
#include "template/TemplateState.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

namespace qv {

namespace {

automation::Ref<QelControl> FindControl(QelControls& controls, std::u16string_view id) {
    for (std::int32_t position = 1; position <= controls.Count(); ++position) {
        automation::Ref<QelControl> control = controls.Item(automation::Variant(position));
        if (control && control->CtrlID() == id) {
            return control;
        }
    }
    return {};
}

} // namespace

void MergeSessions(QelControl& target, QelControl& source) {
    QelSessions& sessions = source.Sessions();
    for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
        const automation::Ref<QelSession> session = sessions.Item(position);
        if (!session) {
            continue;
        }
        session->SetSessExt(source.CtrlExt());
        const std::u16string& action = session->SessAction();
        if (action == u"add") {
            target.Sessions().AddSession(*session, session->SessLocation(), session->SessLocType());
        } else if (action == u"change") {
            if (target.Sessions().SessionExist(session->SessValue())) {
                target.Sessions().ChangeSession(session->SessValue(), *session);
            }
        } else if (action == u"delete") {
            target.Sessions().DeleteSession(session->SessValue());
        }
    }
}

void MergeExtension(std::u16string_view name, QelControls& controls, QelControls& scratch) {
    ModuleState& state = State();
    const std::u16string file =
        system::JoinPath(system::JoinInside(CurrentTemplateState().extensionsFolder, name), u"control.xml");
    if (!system::FileExists(file)) {
        return;
    }
    const std::u16string errorBefore = state.gProjErr;
    if (!scratch.LoadControls(file)) {
        // The loader's own text would otherwise end the run that the message says goes on.
        state.gProjErr = errorBefore;
        CurrentHost().ShowMessage(
            {u"",
             state.gMsgPrefix + u": Load extension control file " + file + u" failed. Processing skipped!",
             host::MessageIcon::None, host::MessageButtons::Ok});
        return;
    }
    for (std::int32_t position = 1; position <= scratch.Count(); ++position) {
        const automation::Ref<QelControl> control = scratch.Item(automation::Variant(position));
        if (!control) {
            continue;
        }
        control->SetCtrlExt(std::u16string(name));
        const std::u16string& action = control->CtrlAction();
        if (action == u"add") {
            controls.AddControl(*control);
        } else if (action == u"change") {
            if (automation::Ref<QelControl> target = FindControl(controls, control->CtrlID())) {
                MergeSessions(*target, *control);
            }
        } else if (action == u"delete") {
            controls.DeleteControl(control->CtrlID());
        }
    }
}

} // namespace qv
