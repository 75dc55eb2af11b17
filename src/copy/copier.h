// What every copier class starts from: the run it works for, and the
// shared routines of the run under the names every copier uses for them.
#pragma once

#include <string>
#include <vector>

#include "copy/run_context.h"

namespace vl {

class Copier {
 public:
  explicit Copier(RunContext& ctx) : ctx_(ctx) {}
  RunContext& context() { return ctx_; }

 protected:
  const BLProjInfo& BaselineDescriptor() const { return ctx_.baseline(); }
  RunTables& tables() { return ctx_.tables; }

  std::string AssignNewGUID(const std::string& oldGuid) { return ctx_.AssignNewGUID(oldGuid); }
  std::string AssignNewReqGUID(const std::string& oldGuid) {
    return ctx_.AssignNewReqGUID(oldGuid);
  }
  bool AddGUIDTranslation(const std::string& oldGuid, const std::string& newGuid) {
    return ctx_.AddGUIDTranslation(oldGuid, newGuid);
  }
  std::string TranslateGUID(const std::string& oldGuid) { return ctx_.TranslateGUID(oldGuid); }
  bool IsGUIDTranslated(const std::string& oldGuid) { return ctx_.IsGUIDTranslated(oldGuid); }
  bool IsReqGUIDTranslated(const std::string& oldGuid) { return ctx_.IsReqGUIDTranslated(oldGuid); }

  int32_t GetNewReqTypeID(DataServices& ds, const std::string& g) {
    return ctx_.GetNewReqTypeID(ds, g);
  }
  int32_t GetNewUserID(DataServices& ds, const std::string& g) { return ctx_.GetNewUserID(ds, g); }
  int32_t GetNewGroupID(DataServices& ds, const std::string& g) {
    return ctx_.GetNewGroupID(ds, g);
  }
  int32_t GetNewQefID(DataServices& ds, const std::string& g) { return ctx_.GetNewQefID(ds, g); }
  int32_t GetNewAttrID(DataServices& ds, const std::string& g) { return ctx_.GetNewAttrID(ds, g); }
  int32_t GetNewLVID(DataServices& ds, const std::string& g) { return ctx_.GetNewLVID(ds, g); }
  int32_t GetNewDocID(DataServices& ds, const std::string& g) { return ctx_.GetNewDocID(ds, g); }
  int32_t GetNewDocTypeID(DataServices& ds, const std::string& g) {
    return ctx_.GetNewDocTypeID(ds, g);
  }
  int32_t GetNewReqID(DataServices& ds, const std::string& g) { return ctx_.GetNewReqID(ds, g); }

  void RememberNewReqID(DataServices& ds, const std::string& oldGuid, const std::string& newGuid,
                        int32_t id) {
    ctx_.RememberNewReqID(ds, oldGuid, newGuid, id);
  }

  pugi::xml_node LoadBaselineFile(pugi::xml_document& doc, const std::string& fileName,
                                  const char* rootPath = "//PROJECT",
                                  const char* elementName = "PROJECT") {
    return ctx_.LoadBaselineFile(doc, fileName, rootPath, elementName);
  }

  void ShowInfoMessage(const std::string& message) { ctx_.messages().ShowInfoMessage(message); }
  int AskUser(const std::string& message, int buttons) {
    return ctx_.messages().AskUser(message, buttons);
  }
  void ReportProcError(const std::string& procName, const std::string& message) {
    ctx_.messages().ReportProcError(procName, message);
  }
  void ReportProcError(const std::string& procName, const std::string& message,
                       const ErrorState& pending) {
    ctx_.messages().ReportProcError(procName, message, pending);
  }
  void AddTextResultsLine(const std::string& line) { ctx_.messages().AddTextResultsLine(line); }
  std::string ResString(long id) const { return ctx_.messages().ResString(id); }
  std::string ResFormat(long id, const std::vector<std::string>& values) const {
    return ctx_.messages().ResFormat(id, values);
  }
  // Lets the window breathe; stops the run when it was asked to stop.
  void Breathe() { ctx_.Breathe(); }

  RunContext& ctx_;
};

}  // namespace vl
