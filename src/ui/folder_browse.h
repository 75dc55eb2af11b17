// The dialogs that choose a folder or a project file.
#pragma once

#include <string>

class QWidget;

namespace vl {

// Resource ids of the project-file dialog's title and of its two filters
// (project files, all files).
constexpr long kResLocateProjectFile = 4100, kResProjectFiles = 4103, kResAllFiles = 4104;

// Lets the user pick a folder, starting at `start`, with `prompt` as the
// title; only folders of the file system can be chosen. "" when cancelled.
std::string BrowseForFolder(QWidget* owner, const std::string& prompt, const std::string& start);

// The location browser of the external projects: an existing "*.vlp" file
// (or any file, when the user chooses so), starting at `path`. True with
// `path` the trimmed file chosen; false with `path` unchanged when
// cancelled.
bool BrowseForProjectFile(QWidget* owner, std::string& path);

}  // namespace vl
