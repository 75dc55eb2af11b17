#include "copy/run_context.h"

namespace vl {

RunContext::RunContext(const BLProjInfo& baseline, Messenger& messages,
                       ProjectApplication* projects, const CancelRequest* cancel)
    : baseline_(baseline), messages_(messages), projects_(projects), cancel_(cancel) {}

RunContext::~RunContext() {
  // A run that stopped early undoes what it began in other projects, and
  // closes them.
  others.Rollback();
  const std::vector<std::string> keys = tables.gcolExtProjs.Keys();
  for (size_t i = keys.size(); i-- > 0;) {
    try {
      if (auto* project = tables.gcolExtProjs.Find(keys[i]); project && *project)
        (*project)->CloseProject();
    } catch (const std::exception&) {
      // Destructors report nothing: the run reported what stopped it.
    }
  }
}

ProjectApplication& RunContext::projects() {
  if (!projects_)
    throw VlError(err::kObjectRequired, "goProjApp", "Object required: no project application");
  return *projects_;
}

void RunContext::CheckCancelled() const {
  if (cancel_) {
    const int reason = cancel_->load(std::memory_order_relaxed);
    if (reason != 0) throw RunCancelled{reason};
  }
}

void RunContext::Breathe() {
  messages_.Breathe();
  CheckCancelled();
}

bool RunContext::CloseExternalProjects() {
  bool closed = true;
  const std::vector<std::string> keys = tables.gcolExtProjs.Keys();
  for (size_t i = keys.size(); i-- > 0;) {
    try {
      (*tables.gcolExtProjs.Find(keys[i]))->CloseProject();
    } catch (const std::exception&) {
      messages_.ReportProcError("CopyXMLPkgTraceInfo", "");
      closed = false;
    }
  }
  tables.gcolExtProjs.Clear();
  return closed;
}

}  // namespace vl
