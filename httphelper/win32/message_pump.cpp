// Win32 only: dispatching the thread's window messages.
#include "message_pump.h"

namespace nelkar {

bool DispatchPendingMessages(HWND dialog) {
    bool quit = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            continue;
        }
        if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return !quit;
}

void RunMessageLoop(HWND dialog) {
    do {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    } while (DispatchPendingMessages(dialog));
}

}  // namespace nelkar
