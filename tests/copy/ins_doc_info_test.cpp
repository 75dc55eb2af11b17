#include "copy/ins_doc_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/package_copy_fixture.h"
#include "support/data_services_wrappers.h"

namespace vl {
namespace {

using testing::kBlDocType;
using testing::kDocTypeId;
namespace fs = std::filesystem;

const char* const kDocGuid = "{D0C00000-0000-0000-0000-000000000001}";

// A "Doc" element with the given file name, extension and flags.
std::string DocXml(const std::string& guid, const std::string& name, const std::string& fileName,
                   const std::string& extension, const std::string& flags) {
  return "<Doc><GUID>" + guid + "</GUID><DocName>" + name +
         "</DocName><DocDescription></DocDescription><DocTypeGUID>" + kBlDocType +
         "</DocTypeGUID><ItemLabel>2</ItemLabel><ProtectState>1</ProtectState>"
         "<UnlockToRevise>0</UnlockToRevise><DeferredRenumber>0</DeferredRenumber>"
         "<DeferredRestyle>1</DeferredRestyle><FileName>" +
         fileName + "</FileName><FileExtension>" + extension +
         "</FileExtension><FileDateTime>1/19/2024 2:58:12 PM</FileDateTime><FileSize>687</FileSize>"
         "<FileFlags>" +
         flags + "</FileFlags><FileVersion>3</FileVersion></Doc>";
}

class DocCopyTest : public testing::PackageCopyTest {
 protected:
  bool IsWritable(const std::string& name) {
    return (fs::status(fs::path(ProjectFolder()) / name).permissions() & fs::perms::owner_write) !=
           fs::perms::none;
  }
};

TEST_F(DocCopyTest, ATxtDocumentIsReadFromItsDocFileAndWrittenUnderItsOwnExtension) {
  OpenNewProject();
  // The baseline came from a system that ignores letter case in names.
  WriteBaselineFile("notes.doc", "new contents");
  WriteFile(fs::path(ProjectFolder()) / "Notes.txt", "old contents");
  pugi::xml_node pkg =
      ParsePackage("<Docs>" + DocXml(kDocGuid, "Release notes", "Notes", "txt", "") + "</Docs>");
  InsDocInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLPkgDocInfo(pkg, 7, *ds_, *proj_));
  EXPECT_TRUE(sink_.infos.empty()) << sink_.infos[0];
  EXPECT_EQ(sink_.results, (std::vector<std::string>{"Document: Release notes"}));
  EXPECT_EQ(ReadFile(fs::path(ProjectFolder()) / "Notes.txt"), "new contents");

  EXPECT_EQ(
      Rows("SELECT FILENAME, FILEEXTENSION, FILEDATETIME, DOCUMENTTYPEID FROM vlDocuments"),
      (std::vector<std::string>{"Notes|txt|2024-01-19 14:58:12|" + std::to_string(kDocTypeId)}));
}

TEST_F(DocCopyTest, OnlyALowerCaseRKeepsTheCopyReadOnly) {
  OpenNewProject();
  for (const char* name : {"Locked.DOC", "Upper.DOC", "Open.DOC"}) {
    WriteBaselineFile(name, name);
    fs::permissions(fs::path(Baseline()) / name,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);
  }
  pugi::xml_node pkg = ParsePackage(
      "<Docs>" + DocXml("{D0C00000-0000-0000-0000-000000000001}", "L", "Locked", "doc", "ar") +
      DocXml("{D0C00000-0000-0000-0000-000000000002}", "U", "Upper", "doc", "R") +
      DocXml("{D0C00000-0000-0000-0000-000000000003}", "O", "Open", "doc", "") + "</Docs>");
  InsDocInfo copier(ctx());
  ASSERT_TRUE(copier.CopyXMLPkgDocInfo(pkg, 7, *ds_, *proj_));
  EXPECT_FALSE(IsWritable("Locked.doc"));
  EXPECT_TRUE(IsWritable("Upper.doc"));
  EXPECT_TRUE(IsWritable("Open.doc"));
  // A second copy into the same folder replaces the read-only file.
  ASSERT_TRUE(copier.CopyXMLPkgDocInfo(pkg, 7, *ds_, *proj_));
  EXPECT_EQ(ReadFile(fs::path(ProjectFolder()) / "Locked.doc"), "Locked.DOC");
}

}  // namespace
}  // namespace vl
