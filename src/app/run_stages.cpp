#include "app/run_stages.h"

#include "copy/ins_disc_info.h"
#include "copy/ins_ext_proj_info.h"
#include "copy/ins_group_info.h"
#include "copy/ins_group_sec_info.h"
#include "copy/ins_pkg_info.h"
#include "copy/ins_pkg_req_trace_info.h"
#include "copy/ins_proj_info.h"
#include "copy/ins_proj_struct_info.h"
#include "copy/ins_view_info.h"

namespace vl {

// One instance of each copier per run, created on first use.
struct RunStages::Copiers {
  template <typename T>
  T& Get(std::unique_ptr<T>& slot) {
    if (!slot) slot = std::make_unique<T>();
    return *slot;
  }
  std::unique_ptr<InsGroupInfo> group;
  std::unique_ptr<InsProjInfo> proj;
  std::unique_ptr<InsProjStruInfo> structure;
  std::unique_ptr<InsExtProjInfo> ext_proj;
  std::unique_ptr<InsGroupSecInfo> group_sec;
  std::unique_ptr<InsViewInfo> view;
  std::unique_ptr<InsPkgInfo> pkg;
  std::unique_ptr<InsPkgReqTraceInfo> trace;
  std::unique_ptr<InsDiscInfo> disc;
};

RunStages::RunStages() : copiers_(std::make_unique<Copiers>()) {}
RunStages::~RunStages() = default;

bool RunStages::CopyXMLGroupInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->group).CopyXMLGroupInfo(ds, p);
}
bool RunStages::CopyXMLUserInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->group).CopyXMLUserInfo(ds, p);
}
bool RunStages::CopyXMLProjInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->proj).CopyXMLProjInfo(ds, p);
}
bool RunStages::CopyXMLAttrInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->structure).CopyXMLAttrInfo(ds, p);
}
bool RunStages::CopyXMLReqTypeInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->structure).CopyXMLReqTypeInfo(ds, p);
}
bool RunStages::ConnectXMLReqTypeAttrs(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->structure).ConnectXMLReqTypeAttrs(ds, p);
}
bool RunStages::CopyXMLDocTypeInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->structure).CopyXMLDocTypeInfo(ds, p);
}
bool RunStages::CopyXMLExtProjInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->ext_proj).CopyXMLExtProjInfo(ds, p);
}
bool RunStages::CopyXMLGroupSecInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->group_sec).CopyXMLGroupSecInfo(ds, p);
}
bool RunStages::CopyXMLQueryDefs(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->view).CopyXMLQueryDefs(ds, p);
}
bool RunStages::CopyXMLPkgInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->pkg).CopyXMLPkgInfo(ds, p);
}
bool RunStages::CopyXMLPkgTraceInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->trace).CopyXMLPkgTraceInfo(ds, p);
}
bool RunStages::CopyXMLDiscInfo(DataServices& ds, Project& p) {
  return copiers_->Get(copiers_->disc).CopyXMLDiscInfo(ds, p);
}

}  // namespace vl
