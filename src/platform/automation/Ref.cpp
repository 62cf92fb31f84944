#include "platform/automation/Ref.h"

namespace qv::automation {

namespace {

// Objects of an apartment live on its one thread, so the list of objects waiting to be deleted
// belongs to the thread. This layer sits below the per-apartment context object; a thread_local
// gives the same lifetime and isolation, and needs no allocation while memory may be short.
struct PendingDeletes {
    const RefCounted* first = nullptr;
    bool deleting = false;
};
thread_local PendingDeletes tPending;

} // namespace

void RefCounted::Destroy() const noexcept {
    PendingDeletes& pending = tPending;
    if (pending.deleting) {
        mNextPending = pending.first;
        pending.first = this;
        return;
    }
    pending.deleting = true;
    delete this;
    while (pending.first) {
        const RefCounted* next = pending.first;
        pending.first = next->mNextPending;
        delete next;
    }
    pending.deleting = false;
}

} // namespace qv::automation
