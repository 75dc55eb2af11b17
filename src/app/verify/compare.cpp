#include "app/verify/compare.h"

#include <algorithm>

namespace vl::verify {

namespace {

constexpr char kKeySeparator = '\x1F';
const char* const kParentChild = "parent-child links";

class Comparer {
 public:
  Comparer(const ProjectRows& db, size_t maxDifferences) : db_(db), max_(maxDifferences) {
    for (const TableSpec& spec : VerifiedTables()) {
      Kind(spec.kind);
      if (spec.table == "VlToRelationships") Kind(kParentChild);
    }
  }

  void Table(const TableSpec& spec, const std::vector<ExpectedRow>& expected);

  Comparison Take() {
    for (const std::string& k : order_) result_.kinds.push_back(kinds_[k]);
    return std::move(result_);
  }

 private:
  KindSummary& Kind(const std::string& name) {
    auto [it, added] = kinds_.try_emplace(name);
    if (added) {
      it->second.kind = name;
      order_.push_back(name);
    }
    return it->second;
  }

  void Report(Difference d) {
    if (result_.differences.size() < max_)
      result_.differences.push_back(std::move(d));
    else
      ++result_.differences_left_out;
  }

  std::string KeyOf(const TableSpec& spec, const ExpectedRow& row, bool& known) const;
  void Extra(const TableSpec& spec, const ProjectRows::Row& row);

  const ProjectRows& db_;
  size_t max_;
  std::unordered_map<std::string, KindSummary> kinds_;
  std::vector<std::string> order_;
  Comparison result_;
};

const Cell* CellIn(const ExpectedRow& row, const std::string& column) {
  for (const auto& [name, cell] : row.cells)
    if (name == column) return &cell;
  return nullptr;
}

std::string Describe(const std::vector<std::string>& columns, const ProjectRows::Row& row,
                     size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < columns.size(); ++i)
    out += (i ? ", " : "") + columns[i] + "=" + row[i].Shown();
  return out;
}

std::string Comparer::KeyOf(const TableSpec& spec, const ExpectedRow& row, bool& known) const {
  std::string key;
  known = true;
  for (const std::string& column : spec.key) {
    const Cell* c = CellIn(row, column);
    if (!c || c->unknown) {
      known = false;
      key += (c ? c->text : "?") + kKeySeparator;
    } else {
      key += c->Shown() + kKeySeparator;
    }
  }
  return key;
}

// The name of the object an extra row belongs to, from the first column
// that names one.
std::string NameOf(const TableSpec& spec, const ProjectRows::Row& row) {
  const std::vector<std::string> columns = ColumnsOf(spec);
  for (const char* n : {"NAME", "LoginName", "LABEL", "ITEMTEXT", "QUERYNAME", "VIEWNAME",
                        "SUBJECT", "REQUIREMENTPREFIX"})
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i] == n) return row[i].Shown();
  return "";
}

void Comparer::Extra(const TableSpec& spec, const ProjectRows::Row& row) {
  // The rows every new project starts with stay when the baseline does
  // not name them.
  const std::string name = NameOf(spec, row);
  if ((spec.table == "vlUsers" && name == "admin") ||
      (spec.table == "vlUserGroups" && name == "Administrators"))
    return;
  std::string kind = spec.kind;
  if (spec.table == "VlToRelationships" && row[ColumnIndex(spec, "TYPE")].text == "1")
    kind = kParentChild;
  ++Kind(kind).extra;
  const std::vector<std::string> columns = ColumnsOf(spec);
  Difference d;
  d.what = Difference::What::kExtra;
  d.object = {kind, name, "", spec.has_guid ? row[0].text : ""};
  d.table = spec.table;
  d.found = Describe(columns, row, columns.size());
  Report(std::move(d));
}

void Comparer::Table(const TableSpec& spec, const std::vector<ExpectedRow>& expected) {
  const std::vector<ProjectRows::Row>& rows = db_.Rows(spec.table);
  const std::vector<std::string> columns = ColumnsOf(spec);
  std::unordered_map<std::string, std::vector<size_t>> index;
  index.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string key;
    for (size_t k = 0; k < spec.key.size(); ++k) key += rows[i][k].Shown() + kKeySeparator;
    index[key].push_back(i);
  }
  std::vector<bool> used(rows.size(), false);

  for (const ExpectedRow& e : expected) {
    KindSummary& kind = Kind(e.summary.empty() ? spec.kind : e.summary);
    // The compared columns: those the expectation gives beyond the key.
    std::vector<std::pair<size_t, const Cell*>> fields;
    for (const auto& [column, cell] : e.cells)
      if (std::find(spec.key.begin(), spec.key.end(), column) == spec.key.end())
        fields.push_back({ColumnIndex(spec, column), &cell});
    auto matches = [&](size_t i) {
      for (const auto& [c, cell] : fields)
        if (!(rows[i][c] == *cell)) return false;
      return true;
    };
    bool known = false;
    const std::string key = KeyOf(spec, e, known);
    long chosen = -1;
    if (known) {
      auto it = index.find(key);
      if (it != index.end()) {
        for (size_t i : it->second)
          if (!used[i] && matches(i)) {
            chosen = static_cast<long>(i);
            break;
          }
        if (chosen < 0)
          for (size_t i : it->second)
            if (!used[i]) {
              chosen = static_cast<long>(i);
              break;
            }
      }
    }
    if (chosen < 0) {
      Difference d;
      d.object = e.object;
      d.table = spec.table;
      std::string what;
      for (const std::string& column : spec.key) {
        const Cell* c = CellIn(e, column);
        what += (what.empty() ? "" : ", ") + column + "=" + (c ? c->Shown() : "?");
      }
      d.expected = what;
      if (e.pending) {
        d.what = Difference::What::kPending;
        ++kind.pending;
      } else {
        d.what = Difference::What::kMissing;
        ++kind.expected;
        ++kind.missing;
      }
      Report(std::move(d));
      continue;
    }
    used[chosen] = true;
    ++kind.expected;
    ++kind.found;
    bool differs = false;
    for (const auto& [c, cell] : fields) {
      const Cell& found = rows[chosen][c];
      if (found == *cell) continue;
      differs = true;
      Report({Difference::What::kDiffers, e.object, spec.table, columns[c], cell->Shown(),
              found.Shown()});
    }
    if (differs) ++kind.differing;
  }
  for (size_t i = 0; i < rows.size(); ++i)
    if (!used[i]) Extra(spec, rows[i]);
}

}  // namespace

Comparison CompareRows(const std::unordered_map<std::string, std::vector<ExpectedRow>>& expected,
                       const ProjectRows& db, size_t maxDifferences) {
  Comparer comparer(db, maxDifferences);
  static const std::vector<ExpectedRow> none;
  for (const TableSpec& spec : VerifiedTables()) {
    auto it = expected.find(spec.table);
    comparer.Table(spec, it == expected.end() ? none : it->second);
  }
  return comparer.Take();
}

}  // namespace vl::verify
