#pragma once
// The cancel and progress rules every sink applies to its batches: once the
// cancel flag is seen set, that batch and every later cancellable batch are
// dropped; a batch marked stepAfter steps the progress once it is written.

#include <atomic>

#include "base/progress_reporter.h"

namespace morvale {

struct BatchGate {
    const std::atomic<bool>* cancelRequested = nullptr;  // null: never cancelled
    ProgressReporter* progress = nullptr;                // null: no progress shown
    bool cancelled = false;

    // True when a batch with this flag is to be written.
    bool admit(bool cancellable) {
        if (cancellable && !cancelled && cancelRequested && cancelRequested->load(std::memory_order_relaxed))
            cancelled = true;
        return !(cancellable && cancelled);
    }
    // After a written batch.
    void written(bool stepAfter) {
        if (stepAfter && progress) progress->step();
    }
};

}  // namespace morvale
