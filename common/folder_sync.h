// Making a rename durable: after a file takes its name, the folder's entry must reach the
// disk too, or a power loss can bring the old name back. Shared by the subset's
// MoveFileExA and the converter's output.
#pragma once

namespace zod {

// Syncs `folder`. Best effort: the file is in place already, and some file systems
// cannot sync a folder.
void SyncFolder(const char* folder);

} // namespace zod
