#include "core/CSuperCollection.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <limits>
#include <utility>

namespace qv {

using automation::MakeRef;
using automation::Raise;
using automation::Ref;
using automation::Variant;
using automation::VarType;
using automation::ErrorNumber::DuplicateKey;
using automation::ErrorNumber::ObjectDoesNotSupport;
using automation::ErrorNumber::SubscriptOutOfRange;

namespace {

[[noreturn]] void RaiseCollectionError(std::int32_t number) {
    switch (number) {
    case CollectionError::AlreadyInitialized:
        Raise(number, {}, u"Collection already initialized");
    case CollectionError::KeyNotFound:
        Raise(number, {}, u"Key not found.");
    case CollectionError::MoveInLoop:
        Raise(number, {}, u"Move not allowed while in For...Each loop.");
    case CollectionError::InvalidDatatype:
        Raise(number, {}, u"Invalid datatype");
    case CollectionError::NoPositionSupplied:
        Raise(number, {}, u"No position supplied.");
    }
    Raise(number);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CSuperCollection

std::size_t CSuperCollection::KeyIndex::Hash(std::u16string_view key) const noexcept {
    std::size_t hash = mIgnoreCase ? automation::HashNoCase(key) : std::hash<std::u16string_view>()(key);
    // Spread the bits, since the slot is taken from the low ones.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

bool CSuperCollection::KeyIndex::Equal(std::u16string_view a, std::u16string_view b) const noexcept {
    return mIgnoreCase ? automation::EqualsNoCase(a, b) : a == b;
}

CSuperCollection::Node* CSuperCollection::KeyIndex::Find(std::u16string_view key) const noexcept {
    if (mSize == 0) {
        return nullptr;
    }
    const std::size_t hash = Hash(key);
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = mSlots[index];
        if (slot.node == nullptr) {
            return nullptr;
        }
        if (slot.hash == hash && Equal(slot.node->key, key)) {
            return slot.node;
        }
    }
}

void CSuperCollection::KeyIndex::Place(Slot slot) noexcept {
    const std::size_t mask = mSlots.size() - 1;
    std::size_t index = slot.hash & mask;
    while (mSlots[index].node != nullptr) {
        index = (index + 1) & mask;
    }
    mSlots[index] = slot;
}

void CSuperCollection::KeyIndex::Insert(Node* node) {
    assert(!node->key.empty() && Find(node->key) == nullptr && "keys are unique and never empty");
    if ((mSize + 1) * 2 > mSlots.size()) {
        std::vector<Slot> old = std::move(mSlots);
        mSlots.assign(std::max<std::size_t>(8, old.size() * 2), Slot{});
        for (const Slot& slot : old) {
            if (slot.node != nullptr) {
                Place(slot);
            }
        }
    }
    Place(Slot{Hash(node->key), node});
    ++mSize;
}

void CSuperCollection::KeyIndex::Erase(const Node* node) noexcept {
    if (mSize == 0) {
        return;
    }
    const std::size_t mask = mSlots.size() - 1;
    std::size_t hole = Hash(node->key) & mask;
    while (mSlots[hole].node != node) {
        if (mSlots[hole].node == nullptr) {
            return;
        }
        hole = (hole + 1) & mask;
    }
    // Shift later slots of the same run back into the hole, so that no search stops early.
    for (std::size_t next = (hole + 1) & mask; mSlots[next].node != nullptr; next = (next + 1) & mask) {
        const std::size_t home = mSlots[next].hash & mask;
        const bool staysPut = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (staysPut) {
            continue;
        }
        mSlots[hole] = mSlots[next];
        hole = next;
    }
    mSlots[hole] = Slot{};
    --mSize;
}

void CSuperCollection::KeyIndex::Clear() noexcept {
    mSlots.clear();
    mSize = 0;
}

CSuperCollection::CSuperCollection() : mKeyIndex(/*ignoreCase=*/false), mLiveness(MakeRef<Liveness>()) {
    mLiveness->owner = this;
}

CSuperCollection::~CSuperCollection() {
    mLiveness->owner = nullptr;
    for (const Ref<Node>& node : mOrder) {
        node->inCollection = false;
    }
}

const automation::ClassInfo& CSuperCollection::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(
        u"CSuperCollection",
        {
            Property<&CSuperCollection::CompareMode, &CSuperCollection::SetCompareMode>(u"CompareMode"),
            Property<&CSuperCollection::AllowItemAsignments, &CSuperCollection::SetAllowItemAsignments>(
                u"AllowItemAsignments"),
            Property<&CSuperCollection::BaseIndex, &CSuperCollection::SetBaseIndex>(u"BaseIndex"),
            Method<&CSuperCollection::Keys>(u"Keys"),
            Method<&CSuperCollection::Key>(u"Key"),
            Method<&CSuperCollection::KeyExistsMember>(u"KeyExists"),
            Method<&CSuperCollection::ChangeKeyMember>(u"ChangeKey"),
            Method<&CSuperCollection::ChangeKeyForIndexMember>(u"ChangeKeyForIndex"),
            Method<&CSuperCollection::AddMember>(u"Add"),
            Method<&CSuperCollection::Count>(u"Count"),
            Method<&CSuperCollection::Remove>(u"Remove"),
            [] {
                MemberInfo item = Property<&CSuperCollection::Item, &CSuperCollection::SetItem>(u"Item");
                item.set = item.let;
                return item;
            }(),
            Method<&CSuperCollection::NewEnumMember>(u"NewEnum"),
            Method<&CSuperCollection::Clear>(u"Clear"),
            Method<&CSuperCollection::MoveItem>(u"MoveItem"),
        });
    return info;
}

Ref<automation::Enumerator> CSuperCollection::NewEnum() {
    return Enumerate();
}

Ref<cEnumerationObject> CSuperCollection::Enumerate() {
    return MakeRef<cEnumerationObject>(*this);
}

void CSuperCollection::SetCompareMode(std::int32_t mode) {
    if (Count() > 0) {
        RaiseCollectionError(CollectionError::AlreadyInitialized);
    }
    if (mode != KeyCompare::Binary && mode != KeyCompare::Text) {
        Raise(SubscriptOutOfRange);
    }
    mCompareMode = mode;
    mKeyIndex = KeyIndex(/*ignoreCase=*/mode == KeyCompare::Text);
}

void CSuperCollection::SetBaseIndex(std::int32_t baseIndex) {
    if (Count() > 0) {
        RaiseCollectionError(CollectionError::AlreadyInitialized);
    }
    mBaseIndex = baseIndex;
}

Ref<CKeys> CSuperCollection::Keys() {
    return MakeRef<CKeys>(*this);
}

std::u16string CSuperCollection::Key(std::int32_t nIndex) const {
    if (!ContainsPosition(nIndex)) {
        Raise(SubscriptOutOfRange);
    }
    return mOrder[static_cast<std::size_t>(nIndex - mBaseIndex)]->key;
}

std::int32_t CSuperCollection::KeyExists(std::u16string_view sKey) const {
    const Node* node = FindNode(sKey);
    return node != nullptr ? PositionOf(*node) : NoPosition;
}

CSuperCollection::Node* CSuperCollection::FindNode(std::u16string_view key) const {
    if (key.empty()) {
        return nullptr;
    }
    return mKeyIndex.Find(key);
}

const Variant* CSuperCollection::Find(std::u16string_view key) const {
    const Node* node = FindNode(key);
    return node != nullptr ? &node->item : nullptr;
}

const Variant* CSuperCollection::At(std::int32_t position) const {
    if (!ContainsPosition(position)) {
        return nullptr;
    }
    return &mOrder[static_cast<std::size_t>(position - mBaseIndex)]->item;
}

CSuperCollection::IndexArgument CSuperCollection::ReadIndex(const Variant& vIndexKey) {
    switch (vIndexKey.Type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Byte:
        return {automation::ToLong(vIndexKey), {}};
    case VarType::String:
        return {std::nullopt, vIndexKey.StringValue()};
    case VarType::Empty:
    case VarType::Null:
    case VarType::Currency:
    case VarType::Date:
    case VarType::Object:
    case VarType::Error:
    case VarType::Boolean:
    case VarType::Variant:
        break;
    }
    RaiseCollectionError(CollectionError::InvalidDatatype);
}

CSuperCollection::Node* CSuperCollection::NodeOf(const Variant& vIndexKey, std::int32_t positionError) const {
    IndexArgument index = ReadIndex(vIndexKey);
    if (index.position) {
        if (!ContainsPosition(*index.position)) {
            if (positionError == SubscriptOutOfRange) {
                Raise(SubscriptOutOfRange);
            }
            RaiseCollectionError(positionError);
        }
        return mOrder[static_cast<std::size_t>(*index.position - mBaseIndex)].Get();
    }
    Node* node = FindNode(index.key);
    if (node == nullptr) {
        RaiseCollectionError(CollectionError::KeyNotFound);
    }
    return node;
}

void CSuperCollection::Renumber(std::size_t from, std::size_t to) noexcept {
    for (std::size_t index = from; index < to; ++index) {
        mOrder[index]->index = index;
    }
}

void CSuperCollection::SetKeyProperty(const Variant& item, std::u16string_view key) {
    if (!item.IsObject() || !item.ObjectValue()) {
        return;
    }
    automation::Object& object = *item.ObjectValue();
    std::optional<automation::DispId> id = object.GetDispId(u"Key");
    if (!id) {
        return;
    }
    Variant args[] = {Variant(key)};
    object.Invoke(*id, automation::InvokeKind::PropertyLet, args);
}

void CSuperCollection::Rekey(Node& node, std::u16string_view newKey) {
    if (!node.key.empty()) {
        mKeyIndex.Erase(&node);
    }
    node.key.assign(newKey);
    if (!node.key.empty()) {
        mKeyIndex.Insert(&node);
    }
}

void CSuperCollection::ChangeKey(std::u16string_view sOldKey, std::u16string_view sNewKey) {
    Node* bearer = FindNode(sNewKey);
    if (bearer == nullptr) {
        Node* node = FindNode(sOldKey);
        if (node == nullptr) {
            RaiseCollectionError(CollectionError::KeyNotFound);
        }
        SetKeyProperty(node->item, sNewKey);
        Rekey(*node, sNewKey);
        return;
    }
    // Only the spelling of an item's own key may change to a key that is taken: the letter case
    // as the key index ignores it, which folds some letters that lower case keeps apart ("ı"
    // and "I"). Comparing the bearer with the renamed item (and not merely the two texts) keeps
    // a case-sensitive collection from giving two items the same key.
    if (!automation::EqualsNoCase(sOldKey, sNewKey)) {
        Raise(DuplicateKey);
    }
    Node* node = FindNode(sOldKey);
    if (node == nullptr) {
        RaiseCollectionError(CollectionError::KeyNotFound);
    }
    if (node != bearer) {
        Raise(DuplicateKey);
    }
    SetKeyProperty(node->item, sNewKey);
    Rekey(*node, sNewKey);
}

void CSuperCollection::ChangeKeyForIndex(std::u16string_view nIndex, std::u16string_view sNewKey) {
    const std::int32_t position = automation::ToLong(Variant(nIndex));
    if (!ContainsPosition(position)) {
        return;
    }
    if (FindNode(sNewKey) != nullptr) {
        Raise(DuplicateKey);
    }
    Node& node = *mOrder[static_cast<std::size_t>(position - mBaseIndex)];
    SetKeyProperty(node.item, sNewKey);
    Rekey(node, sNewKey);
}

void CSuperCollection::Add(const Variant& vItem, std::u16string_view sKey, std::int32_t eInsert,
                           std::int32_t nPosition) {
    const std::int32_t count = Count();
    if (nPosition != NoPosition) {
        // An empty collection accepts BaseIndex itself: the place of its first item.
        const bool valid = count == 0 ? nPosition == mBaseIndex : ContainsPosition(nPosition);
        if (!valid) {
            Raise(SubscriptOutOfRange);
        }
        if (eInsert == InsertMode::Before && nPosition == mBaseIndex) {
            eInsert = InsertMode::First;
        } else if (eInsert == InsertMode::After && nPosition >= std::int64_t{mBaseIndex} + count - 1) {
            eInsert = InsertMode::Last;
        }
    } else if (eInsert == InsertMode::Before || eInsert == InsertMode::After) {
        RaiseCollectionError(CollectionError::NoPositionSupplied);
    }
    if (FindNode(sKey) != nullptr) {
        Raise(DuplicateKey);
    }
    // Every position must be a 32-bit number, however high the base.
    if (std::int64_t{mBaseIndex} + count > std::numeric_limits<std::int32_t>::max()) {
        Raise(automation::ErrorNumber::Overflow);
    }

    std::size_t target = static_cast<std::size_t>(count);
    switch (eInsert) {
    case InsertMode::Before:
        target = static_cast<std::size_t>(nPosition - mBaseIndex);
        break;
    case InsertMode::After:
        target = static_cast<std::size_t>(nPosition - mBaseIndex) + 1;
        break;
    case InsertMode::First:
        target = 0;
        break;
    default:
        break;
    }
    // Placing the item anywhere but last would shift the items under an open loop. Refuse
    // before adding, so that the error never leaves a half-done Add behind.
    if (target != static_cast<std::size_t>(count) && mOpenEnumerators > 0) {
        RaiseCollectionError(CollectionError::MoveInLoop);
    }

    Ref<Node> node = MakeRef<Node>();
    node->item = vItem;
    node->key.assign(sKey);
    node->serial = mNextSerial++;
    if (!node->key.empty()) {
        mKeyIndex.Insert(node.Get());
    }
    mOrder.insert(mOrder.begin() + static_cast<std::ptrdiff_t>(target), std::move(node));
    Renumber(target, mOrder.size());
}

void CSuperCollection::AddMember(const Variant& vItem, std::optional<std::u16string> sKey,
                                 std::optional<std::int32_t> eInsert, std::optional<std::int32_t> nPosition) {
    Add(vItem, sKey.value_or(std::u16string()), eInsert.value_or(InsertMode::Last),
        nPosition.value_or(NoPosition));
}

void CSuperCollection::Remove(const Variant& vIndexKey) {
    Ref<Node> node(NodeOf(vIndexKey, SubscriptOutOfRange));
    const std::size_t index = node->index;
    // An unkeyed item has no key entry to take out.
    if (!node->key.empty()) {
        mKeyIndex.Erase(node.Get());
    }
    mOrder.erase(mOrder.begin() + static_cast<std::ptrdiff_t>(index));
    Renumber(index, mOrder.size());
    node->inCollection = false;
    node->key.clear();
    // Release the item last: its destructor may look at this collection again.
    Variant released = std::move(node->item);
    node->item = Variant();
}

Variant CSuperCollection::Item(const Variant& vIndexKey) const {
    IndexArgument index = ReadIndex(vIndexKey);
    if (index.position) {
        const Variant* item = At(*index.position);
        return item != nullptr ? *item : Variant();
    }
    const Variant* item = Find(index.key);
    return item != nullptr ? *item : Variant();
}

void CSuperCollection::SetItem(const Variant& vIndexKey, const Variant& vNewItem) {
    if (!mAllowItemAsignments) {
        Raise(ObjectDoesNotSupport);
    }
    Node* node = NodeOf(vIndexKey, CollectionError::KeyNotFound);
    Variant released = std::exchange(node->item, vNewItem);
}

Variant CSuperCollection::Clear() {
    std::vector<Ref<Node>> released = std::move(mOrder);
    mOrder.clear();
    mKeyIndex.Clear();
    for (const Ref<Node>& node : released) {
        node->inCollection = false;
        node->key.clear();
    }
    for (const Ref<Node>& node : released) {
        Variant item = std::move(node->item);
        node->item = Variant();
    }
    return Variant();
}

std::int32_t CSuperCollection::MoveItem(const Variant& vMovedItem, const Variant& vTargetPosition) {
    if (mOpenEnumerators > 0) {
        RaiseCollectionError(CollectionError::MoveInLoop);
    }
    const std::size_t from = NodeOf(vMovedItem, SubscriptOutOfRange)->index;
    const std::size_t to = NodeOf(vTargetPosition, SubscriptOutOfRange)->index;
    if (from < to) {
        std::rotate(mOrder.begin() + static_cast<std::ptrdiff_t>(from),
                    mOrder.begin() + static_cast<std::ptrdiff_t>(from + 1),
                    mOrder.begin() + static_cast<std::ptrdiff_t>(to + 1));
        Renumber(from, to + 1);
    } else if (to < from) {
        std::rotate(mOrder.begin() + static_cast<std::ptrdiff_t>(to),
                    mOrder.begin() + static_cast<std::ptrdiff_t>(from),
                    mOrder.begin() + static_cast<std::ptrdiff_t>(from + 1));
        Renumber(to, from + 1);
    }
    return mBaseIndex + static_cast<std::int32_t>(to);
}

bool CSuperCollection::KeysLess(std::u16string_view a, std::u16string_view b) const noexcept {
    if (mCompareMode == KeyCompare::Text) {
        return automation::CompareNoCase(a, b) < 0;
    }
    return a < b;
}

// ---------------------------------------------------------------------------------------------
// cEnumerationObject

cEnumerationObject::cEnumerationObject(CSuperCollection& collection) : mLiveness(collection.mLiveness) {
    ++collection.mOpenEnumerators;
    TakeSnapshot(collection);
}

// A copy starts its own reference count: the base is made anew, not copied.
// NOLINTBEGIN(bugprone-copy-constructor-init)
cEnumerationObject::cEnumerationObject(const cEnumerationObject& other)
    : automation::Enumerator(), mLiveness(other.mLiveness), mSnapshot(other.mSnapshot),
      mPosition(other.mPosition),
      mSerialLimit(other.mSerialLimit) { // NOLINTEND(bugprone-copy-constructor-init)
    if (mLiveness->owner != nullptr) {
        ++mLiveness->owner->mOpenEnumerators;
    }
}

cEnumerationObject::~cEnumerationObject() {
    if (mLiveness->owner != nullptr) {
        --mLiveness->owner->mOpenEnumerators;
    }
}

void cEnumerationObject::TakeSnapshot(CSuperCollection& collection) {
    mSnapshot = collection.mOrder;
    mPosition = 0;
    mSerialLimit = collection.mNextSerial;
}

cEnumerationObject::Node* cEnumerationObject::Advance() {
    CSuperCollection* collection = mLiveness->owner;
    if (collection == nullptr) {
        return nullptr;
    }
    for (;;) {
        while (mPosition < mSnapshot.size()) {
            Node* node = mSnapshot[mPosition++].Get();
            if (node->inCollection) {
                return node;
            }
        }
        if (collection->mNextSerial == mSerialLimit) {
            return nullptr;
        }
        // Items added since the snapshot: while an enumerator is open an item can only be
        // appended, so they form the tail of the order.
        std::size_t first = collection->mOrder.size();
        while (first > 0 && collection->mOrder[first - 1]->serial >= mSerialLimit) {
            --first;
        }
        mSnapshot.assign(collection->mOrder.begin() + static_cast<std::ptrdiff_t>(first),
                         collection->mOrder.end());
        mPosition = 0;
        mSerialLimit = collection->mNextSerial;
    }
}

bool cEnumerationObject::Next(Variant& item) {
    Node* node = Advance();
    if (node == nullptr) {
        return false;
    }
    item = node->item;
    return true;
}

bool cEnumerationObject::Skip(std::int32_t count) {
    for (std::int32_t skipped = 0; skipped < count; ++skipped) {
        if (Advance() == nullptr) {
            return false;
        }
    }
    return true;
}

void cEnumerationObject::Reset() {
    if (mLiveness->owner == nullptr) {
        mSnapshot.clear();
        mPosition = 0;
        return;
    }
    TakeSnapshot(*mLiveness->owner);
}

Ref<cEnumerationObject> cEnumerationObject::Clone() const {
    return MakeRef<cEnumerationObject>(*this);
}

// ---------------------------------------------------------------------------------------------
// cKey and CKeys

const automation::ClassInfo& cKey::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"cKey", {
                                             Method<&cKey::Name>(u"Name"),
                                             Method<&cKey::AssociatedIndex>(u"AssociatedIndex"),
                                         });
    return info;
}

/// Walks the key list itself, so that the list is used up by one loop.
class CKeys::Walker final : public automation::Enumerator {
public:
    explicit Walker(Ref<CKeys> keys) : mKeys(std::move(keys)) {}
    bool Next(Variant& item) override {
        Ref<cKey> key = mKeys->Next();
        if (!key) {
            return false;
        }
        item = Variant(Ref<automation::Object>(key));
        return true;
    }

private:
    Ref<CKeys> mKeys;
};

CKeys::CKeys(CSuperCollection& collection) : mCursor(MakeRef<Cursor>()) {
    mCursor->liveness = collection.mLiveness;
    mCursor->keys.reserve(collection.mKeyIndex.Size());
    collection.mKeyIndex.ForEach(
        [this](const CSuperCollection::Node& node) { mCursor->keys.push_back(node.key); });
    std::sort(mCursor->keys.begin(), mCursor->keys.end(),
              [&collection](const std::u16string& a, const std::u16string& b) {
                  return collection.KeysLess(a, b);
              });
}

const automation::ClassInfo& CKeys::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"CKeys", {
                                              Method<&CKeys::NewEnumMember>(u"NewEnum"),
                                              Method<&CKeys::Count>(u"Count"),
                                          });
    return info;
}

Ref<automation::Enumerator> CKeys::NewEnum() {
    return MakeRef<Walker>(Ref<CKeys>(this));
}

std::int32_t CKeys::Count() const {
    const CSuperCollection* collection = mCursor->liveness->owner;
    return collection != nullptr ? static_cast<std::int32_t>(collection->mKeyIndex.Size()) : 0;
}

Ref<cKey> CKeys::Next() {
    const CSuperCollection* collection = mCursor->liveness->owner;
    if (collection == nullptr) {
        return nullptr;
    }
    // Keys removed or renamed since the list was made are passed over.
    while (mCursor->position < mCursor->keys.size()) {
        const std::u16string& key = mCursor->keys[mCursor->position++];
        if (const CSuperCollection::Node* node = collection->FindNode(key)) {
            return MakeRef<cKey>(node->key, collection->PositionOf(*node));
        }
    }
    return nullptr;
}

void CKeys::Skip(std::int32_t count) {
    for (std::int32_t skipped = 0; skipped < count && Next(); ++skipped) {
    }
}

Ref<CKeys> CKeys::Clone() const {
    Ref<Cursor> cursor = MakeRef<Cursor>();
    cursor->liveness = mCursor->liveness;
    cursor->keys = mCursor->keys;
    cursor->position = mCursor->position;
    return MakeRef<CKeys>(std::move(cursor));
}

} // namespace qv
