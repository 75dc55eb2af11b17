#include "app/verify/verify_command.h"

#include <filesystem>
#include <ostream>
#include <sstream>

#include "app/verify/verification.h"
#include "app/verify/verify_report.h"

namespace vl {

int RunVerifyCommand(const CommandLineOptions& o, const std::string& programDir, std::ostream& out,
                     std::ostream& err) {
  verify::VerifyRequest request;
  request.baseline = std::filesystem::absolute(o.baseline).lexically_normal().string();
  request.project_file = std::filesystem::absolute(o.project).lexically_normal().string();
  request.resource_dir = programDir;
  if (o.all || o.history || o.traces || o.external_traces || o.discussions) {
    request.history = o.all || o.history;
    request.traces = o.all || o.traces || o.external_traces;
    request.discussions = o.all || o.discussions;
  }
  const verify::VerifyReport report = verify::VerifyProject(request);
  if (o.json)
    verify::WriteJsonReport(report, out);
  else
    verify::WriteTextReport(report, out);
  out.flush();
  if (!report.error.empty()) err << "vlbaseline: cannot verify: " << report.error << "\n";
  return report.Matches() ? kExitOk : kExitFailed;
}

bool AddVerificationResults(Session& session, const std::string& projectFile,
                            const std::string& resourceDir) {
  const BLProjInfo& d = *session.goBLProjInfo;
  verify::CopyChoices choices;
  choices.history = d.CreateHist();
  choices.traces = d.CreateTraces();
  choices.discussions = d.CreateDisc();
  const verify::VerifyReport report =
      verify::VerifyCreatedProject(d.BLXMLLoc(), projectFile, choices, resourceDir);
  std::ostringstream text;
  verify::WriteTextReport(report, text);
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) session.messages.AddTextResultsLine(line);
  return report.Matches();
}

}  // namespace vl
