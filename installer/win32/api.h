// Registry and shell operations of the update run: the game's installation record, the
// Programs folder, and the Start-menu shortcut.
#pragma once

#include <string>

namespace tessarin {

bool GameRecordExists();
std::string ReadInstallDir();
std::string ReadVersion();
std::string ReadLanguage();
void WriteVersion(const std::string& text);
std::string ReadProgramsFolder();

// Makes StartMenuGroup\name.lnk pointing at target, with target's first icon.
void CreateShortcut(const std::string& target, const std::string& name);

}  // namespace tessarin
