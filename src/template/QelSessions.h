#pragma once

#include "template/ResourceList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::xml {
class Element;
}

namespace qv {

/// One session of a control: a named piece of a template merged into the control's page, with
/// the condition under which it is merged and where an extension puts it. Owned by its
/// QelSessions; every member is a text read from the control file as written.
class QelSession final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    const std::u16string& SessType() const { return mSessType; }
    void SetSessType(std::u16string value) { mSessType = std::move(value); }
    /// Identifies the session within its control (compared exactly).
    const std::u16string& SessValue() const { return mSessValue; }
    void SetSessValue(std::u16string value) { mSessValue = std::move(value); }
    const std::u16string& SessParm() const { return mSessParm; }
    void SetSessParm(std::u16string value) { mSessParm = std::move(value); }
    const std::u16string& SessIFile() const { return mSessIFile; }
    void SetSessIFile(std::u16string value) { mSessIFile = std::move(value); }
    const std::u16string& SessCond() const { return mSessCond; }
    void SetSessCond(std::u16string value) { mSessCond = std::move(value); }
    const std::u16string& SessExt() const { return mSessExt; }
    void SetSessExt(std::u16string value) { mSessExt = std::move(value); }
    const std::u16string& SessAction() const { return mSessAction; }
    void SetSessAction(std::u16string value) { mSessAction = std::move(value); }
    const std::u16string& SessLocation() const { return mSessLocation; }
    void SetSessLocation(std::u16string value) { mSessLocation = std::move(value); }
    const std::u16string& SessLocType() const { return mSessLocType; }
    void SetSessLocType(std::u16string value) { mSessLocType = std::move(value); }

    /// Fills the members from the attributes of a "session" element (names matched after
    /// lower-casing; others ignored).
    void Load(const xml::Element& xmlSession);

private:
    automation::Variant LoadMember(const automation::Variant& xmlSession);

    std::u16string mSessType;
    std::u16string mSessValue;
    std::u16string mSessParm;
    std::u16string mSessIFile;
    std::u16string mSessCond;
    std::u16string mSessExt;
    std::u16string mSessAction;
    std::u16string mSessLocation;
    std::u16string mSessLocType;
};

/// The sessions of one control in merge order, at positions 1 to Count (at most 32,767).
/// Identity is the exact SessValue. Owned by its QelControl.
class QelSessions final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// Appends one session per "session" child of a control element. False when the list
    /// would overflow; the sessions that fitted stay.
    bool Load(const xml::Element& xmlControl);
    /// Inserts a copy of `session` before the session whose SessValue is `loc`, or after it when
    /// `loctype` is exactly "after"; a position just before the last session becomes the end.
    /// False, changing nothing, when the SessValue exists already or the list is full.
    bool AddSession(const QelSession& session, std::u16string_view loc, std::u16string_view loctype);
    /// Updates the first session with that SessValue: SessIFile and SessCond when the new ones
    /// are not empty, SessExt and SessAction always. False when there is none.
    bool ChangeSession(std::u16string_view sValue, const QelSession& session);
    bool DeleteSession(std::u16string_view sValue);
    bool SessionExist(std::u16string_view sValue) const;
    std::int32_t Count() const { return mSessions.Count(); }
    /// The session at a 1-based position; null outside 1 to Count.
    automation::Ref<QelSession> Item(std::int32_t Index) const;

private:
    /// The 1-based position of the first session with that SessValue, or 0.
    std::int32_t PositionOf(std::u16string_view sValue) const;

    automation::Variant LoadMember(const automation::Variant& xmlControl);
    bool AddSessionMember(automation::Ref<QelSession> session, std::u16string loc, std::u16string loctype);
    bool ChangeSessionMember(std::u16string sValue, automation::Ref<QelSession> session);
    bool DeleteSessionMember(std::u16string sValue) { return DeleteSession(sValue); }
    bool SessionExistMember(std::u16string sValue) const { return SessionExist(sValue); }
    automation::Ref<QelSession> ItemMember(std::int16_t Index) const { return Item(Index); }

    ResourceList<automation::Ref<QelSession>> mSessions;
};

} // namespace qv
