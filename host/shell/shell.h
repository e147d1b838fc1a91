// Shell (programs, shell verbs, special folders, environment, recent documents, version resources),
// SysInfo (system facts and settings) and the shell link classes Shortcut and URLShortcut.
#pragma once

namespace vorlo {

struct ScriptVM;

void registerShell(ScriptVM* vm);
void registerShortcuts(ScriptVM* vm);  // Shortcut, URLShortcut
void registerSysInfo(ScriptVM* vm);

}  // namespace vorlo
