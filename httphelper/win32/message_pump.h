// The helper's one way of dispatching window messages: the set-up dialog's loop and every
// socket wait, in both modes, go through it.
#pragma once

#include "windows_support.h"

namespace nelkar {

// Dispatches the thread's pending messages without waiting; those for `dialog` (may be null)
// pass through its keyboard handling first (Tab, Enter, mnemonics). False when the quit message
// was among them: it is taken off the queue and not passed on.
bool DispatchPendingMessages(HWND dialog);

// Waits for messages and dispatches them until the quit message arrives.
void RunMessageLoop(HWND dialog);

}  // namespace nelkar
