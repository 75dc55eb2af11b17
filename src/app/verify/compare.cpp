#include "app/verify/compare.h"

#include <algorithm>
#include <cstring>

#include "host/text/convert.h"

namespace vl::verify {

namespace {

const char* const kParentChild = "parent-child links";

// FNV-1a over the key's values, each ended by a separator (and NULL told
// apart from every text).
class KeyHash {
 public:
  void Add(bool null, std::string_view text) {
    if (null) Byte(0xFE);
    for (char c : text) Byte(static_cast<unsigned char>(c));
    Byte(0x1F);
  }
  uint64_t value() const { return h_; }

 private:
  void Byte(unsigned char b) { h_ = (h_ ^ b) * 1099511628211ull; }
  uint64_t h_ = 14695981039346656037ull;
};

// A value within a row's description: on one line, and short.
std::string Brief(const Cell& c) {
  constexpr size_t kMost = 60;
  std::string out = CharLeft(c.Shown(), kMost);
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
  return out.size() < c.Shown().size() ? out + "..." : out;
}

const Cell* CellIn(const ExpectedRow& row, const std::string& column) {
  for (const auto& [name, cell] : row.cells)
    if (column == name) return &cell;
  return nullptr;
}

}  // namespace

Comparer::Comparer(const ProjectRows& db, size_t maxDifferences) : db_(db), max_(maxDifferences) {
  for (const TableLayout& layout : VerifiedTables()) {
    Kind(layout.kind);
    if (layout.table == "VlToRelationships") Kind(kParentChild);
  }
}

KindSummary& Comparer::Kind(const std::string& name) {
  auto [it, added] = kinds_.try_emplace(name);
  if (added) {
    it->second.kind = name;
    order_.push_back(name);
  }
  return it->second;
}

void Comparer::Report(Difference d) {
  if (result_.differences.size() < max_)
    result_.differences.push_back(std::move(d));
  else
    ++result_.differences_left_out;
}

Comparer::TableState& Comparer::State(const std::string& table) {
  auto [it, added] = tables_.try_emplace(table);
  TableState& t = it->second;
  if (!added) return t;
  t.layout = &LayoutOf(table);
  t.rows = &db_.Rows(table);
  t.columns = ColumnsOf(*t.layout);
  for (size_t c = 0; c < t.columns.size(); ++c) t.column_index.emplace(t.columns[c], c);
  t.used.assign(t.rows->size(), false);
  if (!t.layout->has_guid) {
    t.by_key.reserve(t.rows->size());
    for (size_t r = 0; r < t.rows->size(); ++r) {
      KeyHash h;
      for (size_t k = 0; k < t.layout->key.size(); ++k)
        h.Add(t.rows->Null(r, k), t.rows->Text(r, k));
      t.by_key.emplace(h.value(), static_cast<uint32_t>(r));
    }
  }
  return t;
}

std::vector<size_t> Comparer::Candidates(TableState& t, const ExpectedRow& row) const {
  std::vector<size_t> out;
  std::vector<const Cell*> key;
  for (const std::string& column : t.layout->key) {
    const Cell* c = CellIn(row, column);
    if (!c || c->unknown) return out;  // refers to something not copied
    key.push_back(c);
  }
  if (t.layout->has_guid) {
    if (std::optional<size_t> r = db_.RowOf(t.layout->table, key[0]->text)) out.push_back(*r);
    return out;
  }
  KeyHash h;
  for (const Cell* c : key) h.Add(c->null, c->text);
  auto [first, last] = t.by_key.equal_range(h.value());
  for (auto it = first; it != last; ++it) {
    bool same = true;
    for (size_t k = 0; k < key.size() && same; ++k) same = t.rows->Equals(it->second, k, *key[k]);
    if (same) out.push_back(it->second);
  }
  std::sort(out.begin(), out.end());
  return out;
}

void Comparer::Compare(const ExpectedRow& e) {
  TableState& t = State(e.table);
  KindSummary& kind = Kind(e.summary.empty() ? t.layout->kind : e.summary);
  std::vector<std::pair<size_t, const Cell*>> fields;
  for (const auto& [column, cell] : e.cells) {
    const size_t c = t.column_index.at(column);
    if (c >= t.layout->key.size()) fields.push_back({c, &cell});
  }
  const std::vector<size_t> candidates = Candidates(t, e);
  auto matches = [&](size_t r) {
    for (const auto& [c, cell] : fields)
      if (!t.rows->Equals(r, c, *cell)) return false;
    return true;
  };
  long chosen = -1;
  for (size_t r : candidates)
    if (!t.used[r] && matches(r)) {
      chosen = static_cast<long>(r);
      break;
    }
  for (size_t r : candidates)
    if (chosen < 0 && !t.used[r]) chosen = static_cast<long>(r);

  if (chosen < 0) {
    Difference d;
    d.object = e.object;
    d.table = e.table;
    for (const std::string& column : t.layout->key) {
      const Cell* c = CellIn(e, column);
      d.expected += (d.expected.empty() ? "" : ", ") + column + "=" + (c ? Brief(*c) : "?");
    }
    if (e.pending) {
      d.what = Difference::What::kPending;
      ++kind.pending;
    } else {
      d.what = Difference::What::kMissing;
      ++kind.expected;
      ++kind.missing;
    }
    Report(std::move(d));
    return;
  }
  t.used[chosen] = true;
  ++kind.expected;
  ++kind.found;
  bool differs = false;
  for (const auto& [c, cell] : fields) {
    if (t.rows->Equals(chosen, c, *cell)) continue;
    differs = true;
    Report({Difference::What::kDiffers, e.object, e.table, t.columns[c], cell->Shown(),
            t.rows->Get(chosen, c).Shown()});
  }
  if (differs) ++kind.differing;
}

void Comparer::Extra(const TableState& t, size_t r) {
  // The name of the object the row belongs to, from the first column that
  // names one.
  std::string name;
  for (const char* n : {"NAME", "LoginName", "LABEL", "ITEMTEXT", "QUERYNAME", "VIEWNAME",
                        "SUBJECT", "REQUIREMENTPREFIX"}) {
    auto c = t.column_index.find(n);
    if (c == t.column_index.end()) continue;
    name = t.rows->Get(r, c->second).Shown();
    break;
  }
  // The rows every new project starts with stay when the baseline does
  // not name them.
  if ((t.layout->table == "vlUsers" && name == "admin") ||
      (t.layout->table == "vlUserGroups" && name == "Administrators"))
    return;
  std::string kind = t.layout->kind;
  if (t.layout->table == "VlToRelationships" && t.rows->Text(r, t.column_index.at("TYPE")) == "1")
    kind = kParentChild;
  ++Kind(kind).extra;
  Difference d;
  d.what = Difference::What::kExtra;
  d.object = {kind, name, "", t.layout->has_guid ? std::string(t.rows->Text(r, 0)) : ""};
  d.table = t.layout->table;
  for (size_t c = 0; c < t.columns.size(); ++c)
    d.found += (c ? ", " : "") + t.columns[c] + "=" + Brief(t.rows->Get(r, c));
  Report(std::move(d));
}

Comparison Comparer::Finish() {
  for (const TableLayout& layout : VerifiedTables()) {
    const TableState& t = State(layout.table);
    for (size_t r = 0; r < t.rows->size(); ++r)
      if (!t.used[r]) Extra(t, r);
  }
  for (const std::string& k : order_) result_.kinds.push_back(kinds_[k]);
  return std::move(result_);
}

}  // namespace vl::verify
