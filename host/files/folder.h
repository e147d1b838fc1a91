// Folder (also bound as File): one class for files and folders; Drive: the disks of the system.
#pragma once

namespace vorlo {

struct ScriptVM;

void registerFolder(ScriptVM* vm);  // Folder, File
void registerDrive(ScriptVM* vm);

}  // namespace vorlo
