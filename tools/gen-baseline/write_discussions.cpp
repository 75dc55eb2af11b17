// Discussions.XML: threads with replies two or three levels deep, each
// discussion with its users, groups and requirements.
#include <algorithm>

#include "gen-baseline/baseline_files.h"

namespace vl::gen {

namespace {

// Up to `max` distinct indexes below `n`, in increasing order.
std::vector<int> Pick(Rng& rng, int n, int min, int max) {
  std::vector<int> out;
  int want = std::min(n, rng.Between(min, max));
  while (static_cast<int>(out.size()) < want) {
    int k = rng.Below(n);
    if (std::find(out.begin(), out.end(), k) == out.end()) out.push_back(k);
  }
  std::sort(out.begin(), out.end());
  return out;
}

class DiscussionWriter {
 public:
  DiscussionWriter(XmlWriter& xml, const WriteContext& ctx) : xml_(xml), ctx_(ctx) {}

  // One discussion and, while `level` < `depth`, its replies.
  void Write(Rng& rng, int level, int depth, int day) {
    const BaselinePlan& plan = ctx_.plan;
    ++written_;
    xml_.Start("Disc");
    xml_.Element("Subj", (level == 0 ? "" : "RE: ") + MakeWords(rng, 2, 5));
    xml_.Element("Desc", MakeText(rng, rng.Between(20, 200), true));
    xml_.Element("AID", plan.users[rng.Below(static_cast<int>(plan.users.size()))].guid);
    xml_.Element("Date", ctx_.Date(day, rng.Below(86400)));
    xml_.Element("Status", rng.Between(1, 3));
    xml_.Element("Priority", rng.Between(1, 3));
    xml_.Element("Restrict", rng.Below(2));
    xml_.Start("DUsers");
    for (int u : Pick(rng, static_cast<int>(plan.users.size()), 1, 3)) {
      xml_.Start("DUsr").Element("DUID", plan.users[u].guid).End();
    }
    xml_.End().Start("DGroups");
    for (int g : Pick(rng, static_cast<int>(plan.groups.size()), 0, 2)) {
      xml_.Start("DGroup").Element("DGID", plan.groups[g].guid).End();
    }
    xml_.End().Start("DiscReqs");
    for (int r : Pick(rng, static_cast<int>(plan.requirements.size()), 0, 3)) {
      xml_.Start("DiscReq").Element("GUID", plan.requirements[r].guid).End();
    }
    xml_.End();
    if (level + 1 < depth) {
      int replies = level == 0 ? rng.Between(1, 2) : 1;
      xml_.Start("Replies");
      for (int k = 0; k < replies; ++k) Write(rng, level + 1, depth, day + 1 + k);
      xml_.End();
    }
    xml_.End();
  }

  int written() const { return written_; }

 private:
  XmlWriter& xml_;
  const WriteContext& ctx_;
  int written_ = 0;
};

}  // namespace

int WriteDiscussions(WriteContext& ctx) {
  XmlWriter xml = ctx.Open("Discussions.XML");
  xml.Start("PROJECT").Start("Discs");
  DiscussionWriter writer(xml, ctx);
  for (int t = 0; t < ctx.options.discussions; ++t) {
    Rng rng(ctx.plan.base, kStreamDiscussion, t);
    // Threads alternate between two and three levels.
    writer.Write(rng, 0, t % 2 == 0 ? 2 : 3, rng.Between(1, kLastCreationDay));
  }
  xml.Close();
  return writer.written();
}

}  // namespace vl::gen
