#pragma once
// The main queue: its blocks run one at a time on the main thread, handed
// out by the main run loop in every mode.

#include "platform/dispatch/Queue.h"

namespace dispatch::detail {

class MainQueue final : public Queue {
public:
    MainQueue();

protected:
    void enqueue(Item item) override;
    void runSync(const Block& block) override;
};

}  // namespace dispatch::detail
