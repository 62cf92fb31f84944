#pragma once

#include "project/QelExtension.h"
#include "project/SequencedList.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The extensions the project uses, in the order they were added, numbered 1 to Count by their
/// Seq. One list per apartment (GetExtensions, the module's gExtensions), shared by every
/// project object of the thread; the generation run walks it by Seq and reads Name and
/// Template late-bound.
///
/// ExtensionExist, Item and Delete compare names exactly (letter case included). Add follows
/// the lists' case rule (SequencedList): a name spelt like a listed one in another letter case
/// denotes that extension, so Add answers True and makes it current instead of failing.
class QelExtensions final : public NamedCursorListOf<QelExtension> {
public:
    QelExtensions() = default;

    const automation::ClassInfo& GetClassInfo() const override;

    /// Appends a new extension named `Name`, or makes the extension the name denotes current.
    /// False, changing nothing, for "".
    bool Add(std::u16string_view Name) { return static_cast<bool>(AddOrFind(Name)); }
    /// Removes the extension named `Index` exactly and numbers the rest 1 to Count again; the
    /// cursor stays. False for "", for a value that is no text and for an unknown name.
    bool Delete(const automation::Variant& Index);
    /// True when an extension's Name equals the index exactly; a value that is no text never
    /// does.
    bool ExtensionExist(const automation::Variant& Index) const;
    /// The first extension named `Index` exactly, made current; no object (cursor unchanged)
    /// for another value or no match. There is no lookup by position.
    automation::Ref<QelExtension> Item(const automation::Variant& Index);

    /// The lists' case rule for one name: the extension the name denotes, made current, or a
    /// new one appended under it; no object for "". Add, the project-file reader and the
    /// registry import call this.
    automation::Ref<QelExtension> AddOrFind(std::u16string_view name);

    /// The project's AddExtension: adds the extension, or takes the one the name denotes, and
    /// gives it the template. False only for an empty name.
    bool AddExtension(std::u16string_view sName, std::u16string_view sTemplate);
    /// The project's DeleteExtension.
    bool DeleteExtension(std::u16string_view sName) { return Delete(automation::Variant(sName)); }

protected:
    bool Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const override;
    std::optional<std::int16_t> EntrySeq(const automation::Object& entry) const override;
    void SetEntrySeq(automation::Object& entry, std::int16_t seq) override;
    void MakeCurrent(const automation::Object& entry) override;
    automation::Ref<automation::Object> CreateEntry(EntryNames names) override;

private:
    bool AddMember(std::u16string Name) { return Add(Name); }
};

/// The apartment's extension list (gExtensions), created on first use.
QelExtensions& GetExtensions();

/// Adds one extension per value of the user's extensions key (gRegKeyExtensions): the value's
/// name is the extension's name, its data the Template. A name already listed, in any letter
/// case, keeps its place and takes the registered template. Nothing for a missing key.
void LoadRegisteredExtensions(QelExtensions& extensions);

} // namespace qv
