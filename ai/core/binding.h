// Library attach: find the game's module and bind the host functions by name.
#pragma once

namespace denmark {

// What binding needs from the platform.
class HostPlatform {
public:
    virtual ~HostPlatform() = default;
    // Module handle of an already loaded module with this file name, or null.
    virtual void* FindModule(const char* fileName) = 0;
    // Entry point exported under this name, or null.
    virtual void* FindExport(void* module, const char* name) = 0;
    // A message box without owner and with an OK button only.
    virtual void ShowMessage(const char* text, const char* caption) = 0;
};

// Looks the name up in HostModule; when missing, tells the user and returns null.
void* BindHostFunction(HostPlatform& platform, const char* name);

// Sets HostModule and every entry of HostFunctions. Never fails: a missing module or
// function only leaves entries null.
void BindHost(HostPlatform& platform);

}  // namespace denmark
