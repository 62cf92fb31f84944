#pragma once

#include <cassert>
#include <cstdint>
#include <utility>

namespace qv::automation {

/// Base of every reference-counted object: objects reachable by name, string bodies and arrays.
/// Counting is not atomic: all objects of an apartment live on its one thread, as in the
/// component model this replaces.
class RefCounted {
public:
    void AddRef() const noexcept { ++mRefCount; }
    void Release() const noexcept {
        assert(mRefCount > 0 && "released more often than referenced");
        if (--mRefCount == 0) {
            Destroy();
        }
    }
    /// Release for objects that hold no counted references (string bodies): deleting one
    /// releases nothing else, so it is deleted at once, without the deferred path of Release.
    void ReleaseLeaf() const noexcept {
        assert(mRefCount > 0 && "released more often than referenced");
        if (--mRefCount == 0) {
            delete this;
        }
    }
    /// True when exactly one reference exists, so the holder may change the object in place.
    bool IsUnique() const noexcept { return mRefCount == 1; }
    std::uint32_t RefCount() const noexcept { return mRefCount; }

protected:
    RefCounted() = default;
    /// Drops one reference and says whether it was the last, for holders that recycle what they
    /// release instead of deleting it (string bodies).
    bool DropReference() const noexcept {
        assert(mRefCount > 0 && "released more often than referenced");
        return --mRefCount == 0;
    }
    // A copy is a new object with its own count.
    RefCounted(const RefCounted&) noexcept {}
    // Assignment keeps the target's own count: nothing to do, for itself or another object.
    RefCounted& operator=(const RefCounted&) noexcept { // NOLINT(bugprone-unhandled-self-assignment)
        return *this;
    }
    virtual ~RefCounted() = default;

private:
    /// Deletes an object whose count reached zero. Releasing one object may release the next
    /// (a list of class instances, an array nested in an array, dictionaries in dictionaries), so
    /// an object released while another is being deleted waits in a list of the thread and is
    /// deleted by the outermost release: the native stack stays flat however long the chain.
    void Destroy() const noexcept;

    // The count last, so that a derived class's small first member fills the padding after it.
    mutable const RefCounted* mNextPending = nullptr; // link of the thread's waiting list
    mutable std::uint32_t mRefCount = 0;
};

/// Intrusive strong reference. A null Ref is "Nothing".
template <class T> class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    explicit Ref(T* object) noexcept : mObject(object) {
        if (mObject) {
            mObject->AddRef();
        }
    }
    Ref(const Ref& other) noexcept : Ref(other.mObject) {}
    Ref(Ref&& other) noexcept : mObject(std::exchange(other.mObject, nullptr)) {}
    template <class U> Ref(const Ref<U>& other) noexcept : Ref(static_cast<T*>(other.Get())) {}
    template <class U> Ref(Ref<U>&& other) noexcept : mObject(other.Detach()) {}
    ~Ref() {
        if (mObject) {
            mObject->Release();
        }
    }

    Ref& operator=(Ref other) noexcept {
        std::swap(mObject, other.mObject);
        return *this;
    }

    T* Get() const noexcept { return mObject; }
    T* operator->() const noexcept {
        assert(mObject && "dereferencing Nothing");
        return mObject;
    }
    T& operator*() const noexcept {
        assert(mObject && "dereferencing Nothing");
        return *mObject;
    }
    explicit operator bool() const noexcept { return mObject != nullptr; }
    bool operator==(const Ref& other) const noexcept { return mObject == other.mObject; }

    /// Gives up the reference without releasing it.
    T* Detach() noexcept { return std::exchange(mObject, nullptr); }

private:
    T* mObject = nullptr;
};

template <class T, class... Args> Ref<T> MakeRef(Args&&... args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

/// A Ref<T> from a Ref of a base class when the object is a T, else a null Ref.
template <class T, class U> Ref<T> DynamicRefCast(const Ref<U>& from) {
    return Ref<T>(dynamic_cast<T*>(from.Get()));
}

} // namespace qv::automation
