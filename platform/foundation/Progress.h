#pragma once
// Progress of a piece of work in units, with children that each stand for a
// number of their parent's units. Safe to use from any thread.
//
// Observers of a key are called on the thread that made the change, after
// it is made, and only when the value changed. Handlers run on the thread
// that cancels, pauses or resumes; a handler set after the event runs at
// once. Neither is called with a lock held, so either may call back in.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Progress : public Object {
    RT_DECLARE_CLASS(Progress)
public:
    using Handler = std::function<void()>;
    using Observer = std::function<void(Progress& progress)>;

    Progress() = default;
    static Ref<Progress> progressWithTotalUnitCount(int64_t totalUnitCount);
    // A child of `parent` standing for `pendingUnitCount` of its units.
    static Ref<Progress> progressWithTotalUnitCount(int64_t totalUnitCount, const Ref<Progress>& parent,
                                                    int64_t pendingUnitCount);

    int64_t totalUnitCount() const;
    void setTotalUnitCount(int64_t units);
    int64_t completedUnitCount() const;
    void setCompletedUnitCount(int64_t units);
    // (completed units + each unfinished child's fraction x its pending
    // units) / total units; 0 while the total is not positive. A finished
    // child adds its pending units to the completed ones and is let go.
    double fractionCompleted() const;
    // The total or the completed count is negative (an unknown size).
    bool isIndeterminate() const;
    bool isFinished() const;
    // "50% completed".
    std::string localizedDescription() const;

    // Raises NSInvalidArgumentException when the child already has a parent.
    // A cancelled or paused parent cancels or pauses the child.
    void addChild(const Ref<Progress>& child, int64_t pendingUnitCount);

    // Whether a user may cancel or pause; cancel() and pause() work either way.
    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;

    void setCancellationHandler(Handler handler);
    void setPausingHandler(Handler handler);
    void setResumingHandler(Handler handler);
    // Each passes on to the children; cancelling twice does nothing more.
    void cancel();
    void pause();
    void resume();

    // Keys: "fractionCompleted", "completedUnitCount", "totalUnitCount",
    // "cancelled", "paused"; another raises NSInvalidArgumentException.
    // Returns the token that removes the observer.
    Id addObserver(std::string_view key, Observer observer);
    void removeObserver(const Id& token);

private:
    struct Child {
        Ref<Progress> progress;
        int64_t pendingUnitCount;
    };
    struct Observation;
    enum class Key { FractionCompleted, CompletedUnitCount, TotalUnitCount, Cancelled, Paused };

    void notify(Key key);
    // Recomputes the fraction; when it moved, tells the observers and the
    // parent, or hands the pending units to the parent when finished.
    void fractionMayHaveChanged();
    void childMayHaveChanged(Progress* child);

    mutable std::mutex lock_;
    int64_t total_ = 0;
    int64_t completed_ = 0;
    double lastFraction_ = 0;
    std::vector<Child> children_;
    Weak<Progress> parent_;
    bool hasParent_ = false;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    Handler cancellationHandler_, pausingHandler_, resumingHandler_;
    std::vector<Ref<Observation>> observers_;
};

}  // namespace ns
