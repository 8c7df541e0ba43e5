// Registry and shell operations of the update run: the game's installation record, the
// Programs folder, and the Start-menu shortcut.
#pragma once

#include <string>

#include "update_run.h"

namespace tessarin {

// The installation record under the current user's hive. Every call opens the game's key,
// does one read or write and closes it again.
class RegistryRecord : public InstallationRecord {
public:
    bool GameRecordExists() override;
    std::string ReadInstallDir() override;
    std::string ReadLanguage() override;
    std::string ReadVersion() override;
    void WriteVersion(const std::string& text) override;
};

std::string ReadProgramsFolder();

// Shortcuts in StartMenuGroup, made through the shell's link object.
class ShellShortcuts : public Shortcuts {
public:
    // Makes StartMenuGroup\name.lnk pointing at target, with target's first icon.
    void CreateShortcut(const std::string& target, const std::string& name) override;
};

}  // namespace tessarin
