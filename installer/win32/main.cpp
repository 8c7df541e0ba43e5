// Tessarin.exe: wires the Win32 window, registry, message boxes, payload, shortcuts and files
// into the update run of the core, with a 1 ms timer resolution for all of it. Exit codes:
// 0 updated (or a check ended the run), 1 "Application Error", 2 update not applied.
#include <string>

#include "api.h"
#include "main_form.h"
#include "message_boxes.h"
#include "update_run.h"
#include "win32_files.h"
#include "windows_support.h"

namespace tessarin {

using winsupport::LoadDllsFromSystemFolderOnly;
using winsupport::LoadSystemLibrary;
using winsupport::ProcAddress;

using winsupport::UniqueModule;

namespace {

std::string ModuleName() {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(p.find_last_of("\\/") + 1);
}

// Sleeps of the system's timer tick (15.6 ms by default on Windows) would stretch every 10 ms
// animation step and every 50 ms wait; a 1 ms resolution holds for the run, at every exit.
// The multimedia timer functions come from winmm, loaded from the system folder.
class FineTimerResolution {
public:
    FineTimerResolution() : winmm_(LoadSystemLibrary(L"winmm.dll")) {
        auto begin = ProcAddress<TimePeriodFn>(winmm_.Get(), "timeBeginPeriod");
        end_ = ProcAddress<TimePeriodFn>(winmm_.Get(), "timeEndPeriod");
        if (!begin || !end_ || begin(1) != kNoError) end_ = nullptr;
    }
    ~FineTimerResolution() {
        if (end_) end_(1);
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    using TimePeriodFn = UINT(WINAPI*)(UINT);
    static constexpr UINT kNoError = 0;  // TIMERR_NOERROR
    UniqueModule winmm_;
    TimePeriodFn end_ = nullptr;  // set while the resolution is granted
};

// The windows live only while the run does: an error closes them before its box appears.
int Run(HINSTANCE instance) {
    TAppWindow application(instance, kApplicationTitle);
    TMainForm form(instance, kRestingCaption, application.Handle());
    Win32FileSystem files(form.Handle(), kApplicationTitle);  // the drive prompt's owner and caption
    Win32MessageBoxes boxes(form.Handle());
    RegistryRecord record;
    ResourcePayload payload;
    ShellShortcuts shortcuts;
    return UpdateRun(form, record, boxes, payload, shortcuts, files).Run();
}

}  // namespace

}  // namespace tessarin

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace tessarin;
    LoadDllsFromSystemFolderOnly();
    FineTimerResolution timerResolution;
    Win32MessageBoxes errorBoxes(nullptr);
    return RunWithErrorBox([instance] { return Run(instance); }, errorBoxes, ModuleName());
}
