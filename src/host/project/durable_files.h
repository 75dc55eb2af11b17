// Writing files so that they survive a crash or a power loss whole or not
// at all: written and flushed under a name of their own, then renamed into
// place, the folder flushed after the rename.
#pragma once

#include <string>

namespace vl {

// Writes `content` to `path` (replacing it) and flushes it to the disk.
// Throws VlError naming the file when it cannot be written.
void WriteFileDurably(const std::string& path, const std::string& content);
// The text of a file; throws VlError naming it when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Renames `from` to `to` (replacing `to`) and flushes the folder of `to`.
// Throws VlError naming both when it fails.
void RenameDurably(const std::string& from, const std::string& to);
// Removes `path` when it exists and flushes its folder. Throws VlError
// naming it when it cannot be removed.
void RemoveDurably(const std::string& path);
// Flushes a folder's entries (new, renamed and removed files) to the disk;
// errors are reported by throwing VlError.
void SyncFolder(const std::string& folder);

}  // namespace vl
