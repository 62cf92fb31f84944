#pragma once

#include "template/QelControl.h"
#include "template/ResourceList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::xml {
class Element;
}

namespace qv {

/// The controls of a control file ("control.xml") at positions 1 to Count (at most 32,767), in
/// file order and then in the order of additions, with the file's root values. The generation
/// run loads the template's file into one list and merges each extension's list into it.
/// Scripts see it as "Controls"; its current control is the one last selected through Item.
class QelControls final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// The position last selected through Item; 0 before any selection.
    std::int16_t curIndex() const { return mCurIndex; }
    const std::u16string& ProdDate() const { return mProdDate; }
    const std::u16string& ProdVersion() const { return mProdVersion; }
    const std::u16string& ProdDesc() const { return mProdDesc; }
    const std::u16string& ProdAuthor() const { return mProdAuthor; }

    /// Reads a control file, replacing the list. False with gProjErr set when the file does not
    /// load (list unchanged), when its root is not the product's, or when it holds more controls
    /// or sessions than a list can (list empty).
    bool LoadControls(std::u16string_view file);
    /// Appends a copy of `ctrl` with copies of its sessions, each of which first gets the
    /// control's CtrlExt as SessExt. False, adding nothing, when a control with that CtrlID
    /// exists or the list is full.
    bool AddControl(QelControl& ctrl);
    /// Removes the first control with that CtrlID (exact); curIndex is left as it is.
    bool DeleteControl(std::u16string_view sId);
    bool ControlExist(std::u16string_view sId) const;
    std::int32_t Count() const { return mControls.Count(); }
    /// By position (a number, rounded half to even) or by CtrlID (a text); a hit becomes the
    /// current control. Null for no hit and for any other kind of index.
    automation::Ref<QelControl> Item(const automation::Variant& Index);
    /// The control at curIndex, or null.
    automation::Ref<QelControl> Current() const;

private:
    /// The 1-based position of the first control with that CtrlID, or 0.
    std::int32_t PositionOf(std::u16string_view sId) const;
    bool AddControlNode(const xml::Element& control);

    bool LoadControlsMember(const automation::Variant& file) {
        return LoadControls(automation::ToString(file));
    }
    bool AddControlMember(automation::Ref<QelControl> ctrl);
    bool DeleteControlMember(std::u16string sId) { return DeleteControl(sId); }
    bool ControlExistMember(std::u16string sId) const { return ControlExist(sId); }
    automation::Ref<QelControl> ItemMember(const automation::Variant& Index) { return Item(Index); }

    ResourceList<automation::Ref<QelControl>> mControls;
    std::int16_t mCurIndex = 0;
    std::u16string mProdDate;
    std::u16string mProdVersion;
    std::u16string mProdDesc;
    std::u16string mProdAuthor;
};

} // namespace qv
