// Waiting in tests for what other threads do: poll a condition with a cap, never a fixed sleep.
#ifndef QIRN_TESTS_POLL_H
#define QIRN_TESTS_POLL_H

#include <windows.h>

namespace qetest {

// True once `pred` holds; false when about `timeoutMs` passed first.
template <typename Pred>
bool waitUntil(Pred pred, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

}  // namespace qetest

#endif
