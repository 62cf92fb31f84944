#pragma once

#include "template/QelSessions.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::xml {
class Element;
}

namespace qv {

/// One unit of generation of a control file: its input templates, output name and folder, kind,
/// condition, clean-up and overwrite flags, and its sessions. Owned by its QelControls (or by
/// whoever creates one to merge it in).
class QelControl final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// The control's sessions, created on first use.
    QelSessions& Sessions();

    const std::u16string& CtrlID() const { return mCtrlID; }
    void SetCtrlID(std::u16string value) { mCtrlID = std::move(value); }
    const std::u16string& CtrlType() const { return mCtrlType; }
    void SetCtrlType(std::u16string value) { mCtrlType = std::move(value); }
    const std::u16string& CtrlOFile() const { return mCtrlOFile; }
    void SetCtrlOFile(std::u16string value) { mCtrlOFile = std::move(value); }
    const std::u16string& CtrlOExt() const { return mCtrlOExt; }
    void SetCtrlOExt(std::u16string value) { mCtrlOExt = std::move(value); }
    /// "" (no folder) or a relative folder with "\" separators ending in "\".
    const std::u16string& CtrlOFolder() const { return mCtrlOFolder; }
    void SetCtrlOFolder(std::u16string value) { mCtrlOFolder = std::move(value); }
    const std::u16string& CtrlIFiles() const { return mCtrlIFiles; }
    void SetCtrlIFiles(std::u16string value) { mCtrlIFiles = std::move(value); }
    const std::u16string& CtrlIFolder() const { return mCtrlIFolder; }
    void SetCtrlIFolder(std::u16string value) { mCtrlIFolder = std::move(value); }
    const std::u16string& CtrlCond() const { return mCtrlCond; }
    void SetCtrlCond(std::u16string value) { mCtrlCond = std::move(value); }
    const std::u16string& CtrlTagExt() const { return mCtrlTagExt; }
    void SetCtrlTagExt(std::u16string value) { mCtrlTagExt = std::move(value); }
    const std::u16string& CtrlParm() const { return mCtrlParm; }
    void SetCtrlParm(std::u16string value) { mCtrlParm = std::move(value); }
    bool CtrlSpace() const { return mCtrlSpace; }
    void SetCtrlSpace(bool value) { mCtrlSpace = value; }
    /// Whether the prepared script of this control must be rebuilt; set by the generation run.
    bool CtrlGen() const { return mCtrlGen; }
    void SetCtrlGen(bool value) { mCtrlGen = value; }
    /// The extension the control came from; "" for the template's own controls.
    const std::u16string& CtrlExt() const { return mCtrlExt; }
    void SetCtrlExt(std::u16string value) { mCtrlExt = std::move(value); }
    const std::u16string& CtrlAction() const { return mCtrlAction; }
    void SetCtrlAction(std::u16string value) { mCtrlAction = std::move(value); }
    bool CtrlOverwrite() const { return mCtrlOverwrite; }
    void SetCtrlOverwrite(bool value) { mCtrlOverwrite = value; }

    /// Fills the control from a "control" element (attribute names matched after lower-casing)
    /// and appends its sessions. False when the session list would overflow.
    bool Load(const xml::Element& xmlControl);

    /// A folder of the control file as it is kept: "/" becomes "\", one leading "\" goes and a
    /// trailing "\" is added; "" (and a folder that is only a separator) stays "", since the
    /// root of the work folder is no folder of its own.
    static std::u16string NormalizeFolder(std::u16string_view folder);

private:
    automation::Ref<QelSessions> SessionsMember() { return automation::Ref<QelSessions>(&Sessions()); }
    automation::Variant LoadMember(const automation::Variant& xmlControl);

    automation::Ref<QelSessions> mSessions;
    std::u16string mCtrlID;
    std::u16string mCtrlType;
    std::u16string mCtrlOFile;
    std::u16string mCtrlOExt;
    std::u16string mCtrlOFolder;
    std::u16string mCtrlIFiles;
    std::u16string mCtrlIFolder;
    std::u16string mCtrlCond;
    std::u16string mCtrlTagExt;
    std::u16string mCtrlParm;
    bool mCtrlSpace = true;
    bool mCtrlGen = false;
    std::u16string mCtrlExt;
    std::u16string mCtrlAction;
    bool mCtrlOverwrite = true;
};

/// A flag of a control file: "true" or "false" in any letter case, or a number (0 is False);
/// anything else gives `otherwise`.
bool ParseControlFlag(std::u16string_view text, bool otherwise);

} // namespace qv
