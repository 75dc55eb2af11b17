// PackageList.XML, the package files and the documents' files.
#include <fstream>
#include <stdexcept>

#include "gen-baseline/baseline_files.h"
#include "gen-baseline/package_parts.h"

namespace vl::gen {

namespace {

void WritePackageList(WriteContext& ctx) {
  XmlWriter xml = ctx.Open("PackageList.XML");
  xml.Start("PROJECT");
  // Only the root (ParentID "0") is needed to find the tree; the others
  // are listed with their parent's GUID, as the package tree stands.
  for (const PackagePlan& pkg : ctx.plan.packages) {
    xml.Start("Pkg")
        .Attr("ParentID", pkg.parent < 0 ? "0" : ctx.plan.packages[pkg.parent].guid)
        .Attr("GUID", pkg.guid)
        .End();
  }
  xml.Close();
}

void WriteDocFiles(WriteContext& ctx, const PackagePlan& pkg) {
  for (int d : pkg.docs) {
    std::string content = DocFileContent(ctx.plan, d);
    std::filesystem::path path = ctx.PathOf(DocFileName(ctx.plan.docs[d]));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
    ++ctx.files;
  }
}

void WritePackageFile(WriteContext& ctx, int p) {
  const BaselinePlan& plan = ctx.plan;
  const PackagePlan& pkg = plan.packages[p];
  Rng rng(plan.base, kStreamPackage, static_cast<uint64_t>(p) + 1000000);
  XmlWriter xml = ctx.Open(pkg.guid + ".XML");
  xml.Start("PROJECT").Start("Pkg");
  xml.Element("PkgName", p == 0 ? ctx.options.name
                                : "Package " + std::to_string(p) + " " + MakeWords(rng, 1, 2));
  xml.Element("PkgDesc", p % 5 == 4 ? "" : MakeText(rng, 50, false));
  xml.Start("Docs");
  for (int d : pkg.docs) WriteDoc(xml, ctx, d);
  xml.End().Start("Views");
  for (int v : pkg.views) WriteView(xml, ctx, v);
  xml.End().Start("Requirements");
  for (int i = pkg.first_req; i < pkg.first_req + pkg.req_count; ++i) WriteRequirement(xml, ctx, i);
  xml.End();
  if (!pkg.children.empty()) {
    xml.Start("Pkgs");
    for (int c : pkg.children) xml.Start("Pkg").Element("GUID", plan.packages[c].guid).End();
    xml.End();
  }
  xml.Close();
}

}  // namespace

void WritePackages(WriteContext& ctx, Summary& summary) {
  WritePackageList(ctx);
  for (size_t p = 0; p < ctx.plan.packages.size(); ++p) {
    WritePackageFile(ctx, static_cast<int>(p));
    WriteDocFiles(ctx, ctx.plan.packages[p]);
  }
  summary.packages = static_cast<int>(ctx.plan.packages.size());
  summary.documents = static_cast<int>(ctx.plan.docs.size());
  summary.requirements = static_cast<int>(ctx.plan.requirements.size());
}

}  // namespace vl::gen
