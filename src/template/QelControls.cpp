#include "template/QelControls.h"

#include "template/internal/LateBound.h"

#include "core/Apartment.h"
#include "core/Captions.h"

#include "platform/xml/Document.h"
#include "platform/xml/Node.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

using automation::Ref;
using automation::Variant;
using automation::VarType;

namespace {

void SetControlFileError(std::u16string_view message) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix + u": " + std::u16string(message);
}

constexpr std::u16string_view LoadFailedText =
    u"Load control file failed! Please check if the correct template file is in use!";
constexpr std::u16string_view InvalidText =
    u"Control file is invalid! Please check if the correct template file is in use!";

/// Whether a root element name begins with the product word, ignoring case.
bool IsProductRoot(std::u16string_view rootName) {
    const ModuleState& state = State();
    const std::u16string_view head = rootName.substr(0, state.gProductName.size());
    return automation::EqualsNoCase(head, RemoveSlashesAndSpaces(state.gProductName));
}

} // namespace

const automation::ClassInfo& QelControls::GetClassInfo() const {
    using namespace automation;
    using C = QelControls;
    static const ClassInfo info(u"QelControls", {
                                                    Method<&C::curIndex>(u"curIndex"),
                                                    Method<&C::ProdDate>(u"ProdDate"),
                                                    Method<&C::ProdVersion>(u"ProdVersion"),
                                                    Method<&C::ProdDesc>(u"ProdDesc"),
                                                    Method<&C::ProdAuthor>(u"ProdAuthor"),
                                                    Method<&C::LoadControlsMember>(u"LoadControls"),
                                                    Method<&C::AddControlMember>(u"AddControl"),
                                                    Method<&C::DeleteControlMember>(u"DeleteControl"),
                                                    Method<&C::ControlExistMember>(u"ControlExist"),
                                                    Method<&C::Count>(u"Count"),
                                                    Default(Method<&C::ItemMember>(u"Item")),
                                                });
    return info;
}

bool QelControls::LoadControls(std::u16string_view file) {
    std::optional<xml::Document> document = xml::Document::TryLoad(file);
    if (!document) {
        SetControlFileError(LoadFailedText);
        return false;
    }
    mControls.Clear();
    const xml::Element root = document->DocumentElement();
    if (!root || !IsProductRoot(root.LocalName())) {
        SetControlFileError(InvalidText);
        return false;
    }
    // A root value the file leaves out reads as "", like the other missing attributes.
    mProdDate = root.GetAttribute(u"date").value_or(u"");
    mProdVersion = root.GetAttribute(u"version").value_or(u"");
    mProdDesc = root.GetAttribute(u"desc").value_or(u"");
    mProdAuthor = root.GetAttribute(u"author").value_or(u"");
    for (const xml::Element& child : root.ChildElements()) {
        if (automation::ToLower(child.Name()) != u"control") {
            continue;
        }
        if (!AddControlNode(child)) {
            // More controls or sessions than a list holds: refuse the file rather than keep a
            // part of it.
            mControls.Clear();
            SetControlFileError(InvalidText);
            return false;
        }
    }
    return true;
}

bool QelControls::AddControlNode(const xml::Element& control) {
    if (mControls.IsFull()) {
        return false;
    }
    Ref<QelControl> added = automation::MakeRef<QelControl>();
    if (!added->Load(control)) {
        return false;
    }
    return mControls.Append(std::move(added));
}

std::int32_t QelControls::PositionOf(std::u16string_view sId) const {
    for (std::int32_t position = 1; position <= mControls.Count(); ++position) {
        if (mControls.At(position)->CtrlID() == sId) {
            return position;
        }
    }
    return 0;
}

bool QelControls::ControlExist(std::u16string_view sId) const {
    return PositionOf(sId) != 0;
}

bool QelControls::AddControl(QelControl& ctrl) {
    if (ControlExist(ctrl.CtrlID()) || mControls.IsFull()) {
        return false;
    }
    Ref<QelControl> copy = automation::MakeRef<QelControl>();
    copy->SetCtrlID(ctrl.CtrlID());
    copy->SetCtrlType(ctrl.CtrlType());
    copy->SetCtrlIFiles(ctrl.CtrlIFiles());
    copy->SetCtrlIFolder(ctrl.CtrlIFolder());
    copy->SetCtrlOFile(ctrl.CtrlOFile());
    copy->SetCtrlOExt(ctrl.CtrlOExt());
    copy->SetCtrlOFolder(ctrl.CtrlOFolder());
    copy->SetCtrlCond(ctrl.CtrlCond());
    copy->SetCtrlTagExt(ctrl.CtrlTagExt());
    copy->SetCtrlParm(ctrl.CtrlParm());
    copy->SetCtrlSpace(ctrl.CtrlSpace());
    copy->SetCtrlExt(ctrl.CtrlExt());
    copy->SetCtrlAction(ctrl.CtrlAction());
    copy->SetCtrlOverwrite(ctrl.CtrlOverwrite());
    QelSessions& sessions = ctrl.Sessions();
    QelSessions& copied = copy->Sessions();
    for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
        Ref<QelSession> session = sessions.Item(position);
        session->SetSessExt(ctrl.CtrlExt());
        copied.AddSession(*session, u"", u"");
    }
    return mControls.Append(std::move(copy));
}

bool QelControls::DeleteControl(std::u16string_view sId) {
    const std::int32_t position = PositionOf(sId);
    if (position == 0) {
        return false;
    }
    mControls.RemoveAt(position);
    return true;
}

Ref<QelControl> QelControls::Item(const Variant& Index) {
    const Variant& index = Index.Deref();
    if (index.IsArray()) {
        return nullptr;
    }
    const VarType type = index.Type();
    if (type == VarType::String) {
        const std::int32_t position = PositionOf(index.StringValue());
        if (position == 0) {
            return nullptr;
        }
        mCurIndex = static_cast<std::int16_t>(position);
        return mControls.At(position);
    }
    const bool isNumber = type == VarType::Integer || type == VarType::Long || type == VarType::Single ||
                          type == VarType::Double || type == VarType::Byte;
    if (!isNumber) {
        return nullptr;
    }
    const double number = automation::ToDouble(index);
    if (!(number >= 1.0 && number <= static_cast<double>(mControls.Count()))) {
        return nullptr;
    }
    // A fraction picks the nearest position, halves to even, as the runtime rounds an index.
    const std::int32_t position = automation::ToLong(index);
    mCurIndex = static_cast<std::int16_t>(position);
    return mControls.At(position);
}

Ref<QelControl> QelControls::Current() const {
    if (!mControls.IsValidPosition(mCurIndex)) {
        return nullptr;
    }
    return mControls.At(mCurIndex);
}

bool QelControls::AddControlMember(Ref<QelControl> ctrl) {
    return AddControl(internal::RequireObject(ctrl));
}

} // namespace qv
