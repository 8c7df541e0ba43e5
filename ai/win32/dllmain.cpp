// Windows side of the Denmark plug-in: library entry, binding through the loader, exports.
#include "binding.h"
#include "plugin.h"
#include "windows_support.h"

namespace {

class Win32HostPlatform final : public denmark::HostPlatform {
public:
    void* FindModule(const char* fileName) override {
        return reinterpret_cast<void*>(GetModuleHandleA(fileName));
    }
    void* FindExport(void* module, const char* name) override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
    }
    void ShowMessage(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK);
    }
};

}  // namespace

// The game's load of the library never fails because of the binding.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Win32HostPlatform platform;
        denmark::BindHost(platform);
    }
    return TRUE;
}

extern "C" {
void InitAI() { denmark::InitAI(); }
void ProcessAI() { denmark::ProcessAI(); }
void ProcessLandAI() { denmark::ProcessLandAI(); }
void ProcessMiddleSeaAI() { denmark::ProcessMiddleSeaAI(); }
}
