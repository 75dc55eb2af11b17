// The copiers of one creation run, each created on first use and released
// with the run, behind one call per stage.
#pragma once

#include <memory>

#include "host/db/data_services.h"
#include "host/project/project.h"

namespace vl {

class RunStages {
 public:
  RunStages();
  ~RunStages();

  bool CopyXMLGroupInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLUserInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLProjInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLAttrInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLReqTypeInfo(DataServices& oDS, Project& oProj);
  bool ConnectXMLReqTypeAttrs(DataServices& oDS, Project& oProj);
  bool CopyXMLDocTypeInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLExtProjInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLGroupSecInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLQueryDefs(DataServices& oDS, Project& oProj);
  bool CopyXMLPkgInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLPkgTraceInfo(DataServices& oDS, Project& oProj);
  bool CopyXMLDiscInfo(DataServices& oDS, Project& oProj);

 private:
  struct Copiers;
  std::unique_ptr<Copiers> copiers_;
};

}  // namespace vl
