// Validation of the new project's settings: its folder (created on the
// user's word) and the hand-over to the new-project definition.
#include <filesystem>

#include "baseline/bl_proj_info.h"
#include "baseline/check/target_check.h"
#include "errors/message_sink.h"
#include "host/text/messages.h"

namespace vl {

namespace fs = std::filesystem;

namespace {

constexpr long kResCreateFolder = 11004;
constexpr long kResNoDrive = 11005;

// The folder without "." and ".." steps and without trailing separators.
fs::path CleanFolderPath(const std::string& folder) {
  fs::path p = fs::path(folder).lexically_normal();
  if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
  return p;
}

// Creates `folder` and every missing folder above it, the outermost first.
// Throws when a level cannot be created.
void CreateFolderPath(const fs::path& folder) {
  fs::path parent = folder.parent_path();
  std::error_code ec;
  if (!parent.empty() && parent != folder && !fs::is_directory(parent, ec))
    CreateFolderPath(parent);
  fs::create_directory(folder);
}

}  // namespace

bool BLProjInfo::ValidateVLPSettings(NewProjectDefinition& newProjDef,
                                     const OrderedMap<std::string>& drivers) {
  try {
    std::error_code ec;
    if (!fs::is_directory(vlp_folder_, ec)) {
      if (messages_->AskUser(messages_->ResFormat(kResCreateFolder, {vlp_folder_}), vbYesNo) !=
          vbYes)
        return false;
      // This system has no drive letters: the "drive" is the nearest
      // folder of the path that exists, and it must be one we may write
      // into. A relative path has none, so nothing is created relative to
      // the working directory.
      if (!FolderCanBeCreated(vlp_folder_)) {
        messages_->ShowInfoMessage(messages_->ResFormat(kResNoDrive, {vlp_folder_}));
        return false;
      }
      CreateFolderPath(CleanFolderPath(vlp_folder_));
    }
    newProjDef.SetProjectName(vlp_name_);
    newProjDef.SetProjectDescription(vlp_desc_);
    newProjDef.SetProjectFolder(vlp_folder_);
    // The database type travels as the text shown in the list, the driver
    // as the item the drivers list holds for that text.
    newProjDef.SetDBType(vlp_db_display_);
    const std::string* driver = drivers.Find(vlp_db_display_);
    newProjDef.GetConnection().SetDriver(driver ? *driver : std::string());
    newProjDef.ValidateDefinition();
    return true;
  } catch (const std::exception&) {
    messages_->ReportProcError("BLProjInfo.ValidateVLPSettings", "");
    return false;
  }
}

}  // namespace vl
