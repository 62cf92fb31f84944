#include "template/QelSessions.h"

#include "template/internal/LateBound.h"

#include "platform/xml/Node.h"

#include "platform/automation/Text.h"

namespace qv {

using automation::Ref;
using automation::Variant;

const automation::ClassInfo& QelSession::GetClassInfo() const {
    using namespace automation;
    using S = QelSession;
    static const ClassInfo info(u"QelSession",
                                {
                                    Property<&S::SessType, &S::SetSessType>(u"SessType"),
                                    Property<&S::SessValue, &S::SetSessValue>(u"SessValue"),
                                    Property<&S::SessParm, &S::SetSessParm>(u"SessParm"),
                                    Property<&S::SessIFile, &S::SetSessIFile>(u"SessIFile"),
                                    Property<&S::SessCond, &S::SetSessCond>(u"SessCond"),
                                    Property<&S::SessExt, &S::SetSessExt>(u"SessExt"),
                                    Property<&S::SessAction, &S::SetSessAction>(u"SessAction"),
                                    Property<&S::SessLocation, &S::SetSessLocation>(u"SessLocation"),
                                    Property<&S::SessLocType, &S::SetSessLocType>(u"SessLocType"),
                                    Method<&S::LoadMember>(u"Load"),
                                });
    return info;
}

void QelSession::Load(const xml::Element& xmlSession) {
    for (xml::Attribute& attribute : xmlSession.Attributes()) {
        const std::u16string name = automation::ToLower(attribute.name);
        std::u16string* member = name == u"type"        ? &mSessType
                                 : name == u"value"     ? &mSessValue
                                 : name == u"parm"      ? &mSessParm
                                 : name == u"ifile"     ? &mSessIFile
                                 : name == u"cond"      ? &mSessCond
                                 : name == u"extension" ? &mSessExt
                                 : name == u"action"    ? &mSessAction
                                 : name == u"location"  ? &mSessLocation
                                 : name == u"loctype"   ? &mSessLocType
                                                        : nullptr;
        if (member) {
            *member = std::move(attribute.value);
        }
    }
}

Variant QelSession::LoadMember(const Variant&) {
    internal::RaiseNotAnXmlElement();
}

const automation::ClassInfo& QelSessions::GetClassInfo() const {
    using namespace automation;
    using S = QelSessions;
    static const ClassInfo info(u"QelSessions", {
                                                    Method<&S::LoadMember>(u"Load"),
                                                    Method<&S::AddSessionMember>(u"AddSession"),
                                                    Method<&S::ChangeSessionMember>(u"ChangeSession"),
                                                    Method<&S::DeleteSessionMember>(u"DeleteSession"),
                                                    Method<&S::SessionExistMember>(u"SessionExist"),
                                                    Method<&S::Count>(u"Count"),
                                                    Default(Method<&S::ItemMember>(u"Item")),
                                                });
    return info;
}

bool QelSessions::Load(const xml::Element& xmlControl) {
    for (const xml::Element& child : xmlControl.ChildElements()) {
        if (automation::ToLower(child.Name()) != u"session") {
            continue;
        }
        if (mSessions.IsFull()) {
            return false;
        }
        Ref<QelSession> session = automation::MakeRef<QelSession>();
        session->Load(child);
        mSessions.Append(std::move(session));
    }
    return true;
}

Variant QelSessions::LoadMember(const Variant&) {
    internal::RaiseNotAnXmlElement();
}

std::int32_t QelSessions::PositionOf(std::u16string_view sValue) const {
    for (std::int32_t position = 1; position <= mSessions.Count(); ++position) {
        if (mSessions.At(position)->SessValue() == sValue) {
            return position;
        }
    }
    return 0;
}

bool QelSessions::SessionExist(std::u16string_view sValue) const {
    return PositionOf(sValue) != 0;
}

bool QelSessions::AddSession(const QelSession& session, std::u16string_view loc,
                             std::u16string_view loctype) {
    if (SessionExist(session.SessValue()) || mSessions.IsFull()) {
        return false;
    }
    const std::int32_t count = mSessions.Count();
    std::int32_t position = PositionOf(loc);
    if (position == 0) {
        position = count + 1;
    }
    if (loctype == u"after" && position < count) {
        ++position;
    }
    // A session never lands directly in front of the last one: that place means the end.
    if (position == count) {
        position = count + 1;
    }
    Ref<QelSession> copy = automation::MakeRef<QelSession>();
    copy->SetSessType(session.SessType());
    copy->SetSessValue(session.SessValue());
    // The parameter goes with the session: an "include" session added by an extension needs it
    // to name the file it includes.
    copy->SetSessParm(session.SessParm());
    copy->SetSessIFile(session.SessIFile());
    copy->SetSessCond(session.SessCond());
    copy->SetSessExt(session.SessExt());
    copy->SetSessAction(session.SessAction());
    return mSessions.Insert(position, std::move(copy));
}

bool QelSessions::ChangeSession(std::u16string_view sValue, const QelSession& session) {
    const std::int32_t position = PositionOf(sValue);
    if (position == 0) {
        return false;
    }
    QelSession& target = *mSessions.At(position);
    if (!session.SessIFile().empty()) {
        target.SetSessIFile(session.SessIFile());
    }
    if (!session.SessCond().empty()) {
        target.SetSessCond(session.SessCond());
    }
    target.SetSessExt(session.SessExt());
    target.SetSessAction(session.SessAction());
    return true;
}

bool QelSessions::DeleteSession(std::u16string_view sValue) {
    const std::int32_t position = PositionOf(sValue);
    if (position == 0) {
        return false;
    }
    mSessions.RemoveAt(position);
    return true;
}

Ref<QelSession> QelSessions::Item(std::int32_t Index) const {
    if (!mSessions.IsValidPosition(Index)) {
        return nullptr;
    }
    return mSessions.At(Index);
}

bool QelSessions::AddSessionMember(Ref<QelSession> session, std::u16string loc, std::u16string loctype) {
    return AddSession(internal::RequireObject(session), loc, loctype);
}

bool QelSessions::ChangeSessionMember(std::u16string sValue, Ref<QelSession> session) {
    return ChangeSession(sValue, internal::RequireObject(session));
}

} // namespace qv
