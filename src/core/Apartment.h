#pragma once

#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qv::automation {
class Object;
}
namespace qv::host {
class Host;
}
namespace qv::registry {
class Registry;
}

namespace qv {

class QelStatus;
class QelKeyword;
class cRegistry;

/// The state every layer shares in one apartment (one thread): the error text, the product
/// strings, the registry key paths, quoting, code pages, progress, the host and the registry. One
/// copy per thread, so that two threads never see each other's state and a test starts from a
/// clean slate with ResetApartment(). Members carry the names the modules give them. State of one
/// layer is not here: the layer keeps it in a typed record of its own, in an ApartmentSlot.
struct ModuleState {
    ModuleState();
    ~ModuleState();
    ModuleState(const ModuleState&) = delete;
    ModuleState& operator=(const ModuleState&) = delete;

    /// Drops every object reference, so that objects whose destructors reach back into the
    /// state go while it is still whole.
    void ReleaseObjects() noexcept;

    // --- Product and error text, set when a project object is constructed ---
    std::u16string gProjErr;        ///< last error text of a public operation; "" is success
    std::u16string gProductName;    ///< "Quorvane"
    std::u16string gProductVersion; ///< "6.0"
    std::u16string gMsgPrefix;      ///< starts every message (": ") and progress caption (" - ")
    std::u16string gMinTemplateVersion;
    std::u16string gScriptLanguage;
    std::u16string gMyDocumentsPath; ///< base of the work folders

    // --- Registry key paths (user hive unless said otherwise) ---
    std::u16string gRegKeyGeneral;
    std::u16string gRegKeyProject;
    std::u16string gRegKeyDatabase;
    std::u16string gRegKeyTable;
    std::u16string gRegKeyChart;
    std::u16string gRegKeyField;
    std::u16string gRegKeyAdvancedFilters;
    std::u16string gRegKeyExtensions;

    // --- Registry access ---
    /// Created on first use (GetRegistry). It keeps the name and type of the last value read
    /// (gRegValueName, gRegValueType); callers pass the name to each call as an argument.
    automation::Ref<cRegistry> gRegistry;

    // --- The project's identifier quote setting, which core's quoting reads ---
    std::u16string gSqlQuote;

    // --- Identifier quotes (SetQuoteStyle) ---
    std::u16string gQuoteStart;
    std::u16string gQuoteEnd;

    // --- Code pages and XML encoding ---
    automation::Variant gSystemCodePage; ///< the OEM code page as text (InitSystemCharset)
    std::u16string gXmlEncoding;         ///< its charset name
    /// The ANSI and OEM code pages in force; 0 until first asked for (AnsiCodePage/OemCodePage).
    int ansiCodePage = 0;
    int oemCodePage = 0;

    // --- Progress ---
    automation::Ref<QelStatus> gStatus; ///< created on first use (GetStatus)
    std::int32_t gProgressTotal = 0;
    std::int32_t gProgressPos = 0;
    std::u16string gStatusCaption;

    // --- Reserved words ---
    automation::Ref<QelKeyword> gKeyword; ///< created on first use (GetKeyword)

    // --- Objects of the layers above ---
    /// The project's extension list, created and typed by the project; the template file lookup
    /// below it reads Count, Seq(i) and Name late-bound.
    automation::Ref<automation::Object> gExtensions;

    // --- Platform services of the apartment ---
    /// The host that shows progress and asks questions; borrowed, never owned. Null: a
    /// headless host that shows nothing and keeps everything (CurrentHost).
    host::Host* host = nullptr;
    /// The registry hives; the default hives are opened on first use (CurrentRegistry).
    std::unique_ptr<registry::Registry> registry;
};

/// Typed state of a layer above core, one instance per apartment, created on first use and
/// destroyed by ResetApartment (last created, first destroyed) before the module state.
class ApartmentSlots {
public:
    ApartmentSlots() = default;
    ~ApartmentSlots() { Clear(); }
    ApartmentSlots(const ApartmentSlots&) = delete;
    ApartmentSlots& operator=(const ApartmentSlots&) = delete;

    template <class T> T& Get() {
        const std::type_index type(typeid(T));
        if (auto found = mIndex.find(type); found != mIndex.end()) {
            return static_cast<Holder<T>&>(*mSlots[found->second].second).value;
        }
        auto holder = std::make_unique<Holder<T>>();
        T& value = holder->value;
        mSlots.emplace_back(type, std::move(holder));
        mIndex.emplace(type, mSlots.size() - 1);
        return value;
    }

    /// Destroys the slots one by one from the last; a destructor may still use other slots.
    void Clear() noexcept;

private:
    struct HolderBase {
        virtual ~HolderBase() = default;
    };
    template <class T> struct Holder final : HolderBase { T value{}; };

    std::vector<std::pair<std::type_index, std::unique_ptr<HolderBase>>> mSlots;
    std::unordered_map<std::type_index, std::size_t> mIndex;
};

/// The module state of the calling thread's apartment, created on first use.
ModuleState& State();

/// The object of type T that an untyped object member of the module state holds (gExtensions):
/// created and stored there when it holds none, or something else.
template <class T> T& GetOrCreate(automation::Ref<automation::Object>& slot) {
    automation::Ref<T> object = automation::DynamicRefCast<T>(slot);
    if (!object) {
        object = automation::MakeRef<T>();
        slot = object;
    }
    return *object;
}

/// The typed slots of the calling thread's apartment.
ApartmentSlots& Slots();

/// Per-apartment state of type T (default-constructed on first use).
template <class T> T& ApartmentSlot() {
    return Slots().Get<T>();
}

/// Discards the calling thread's apartment: the slots first, then the objects of the module
/// state, then the state itself. The next State() starts afresh. Tests call it in SetUp.
void ResetApartment();

/// The apartment's host, or a headless host when none is set.
host::Host& CurrentHost();
/// Sets the host for this apartment (borrowed; nullptr returns to the headless host).
void SetCurrentHost(host::Host* host) noexcept;

/// The apartment's registry hives, opening the default hives on first use.
registry::Registry& CurrentRegistry();
/// Replaces the apartment's registry (tests use hives in a temporary folder).
void UseRegistry(std::unique_ptr<registry::Registry> registry);

/// The ANSI and OEM code pages of the apartment: the environment, then the general registry
/// values "AnsiCodePage" and "OemCodePage", then 1252 and 437. Read once, kept until reset.
int AnsiCodePage();
int OemCodePage();

} // namespace qv
