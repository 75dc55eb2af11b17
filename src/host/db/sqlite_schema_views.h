// Views written straight into SQLite's schema table.
//
// A project holds one or two views per attribute, so a large baseline
// makes tens of thousands of them. SQLite handles a CREATE VIEW by reading
// its whole schema table again and visiting every table and view it knows,
// so the time to create n views grows with n squared (10,000 views: half a
// minute). A plain CREATE VIEW is therefore stored the way SQLite itself
// stores it, as one row of the schema table, which costs the same for the
// first view as for the hundred-thousandth. The connection that wrote such
// rows does not know the views until it reads its schema again, which it
// only does when a statement needs them: reading a schema of many views
// costs SQLite far more than writing it.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>

namespace vl {

// A view as SQLite's schema table records it.
struct PlainView {
  std::string name;
  // The statement as SQLite stores it: "CREATE VIEW " and the text from
  // the view's name to the end, trailing blanks removed.
  std::string stored_sql;
  // Where the name ends in the statement's text.
  size_t after_name = 0;
};

// The view `text` creates when it is exactly "CREATE VIEW name AS ..."
// (keywords in any case, blanks between them): a plain name of letters,
// digits and "_" that starts with a letter, no schema, no TEMP, no IF NOT
// EXISTS, no column list, no ";". Anything else is nullopt: such a text
// goes to SQLite as it stands.
std::optional<PlainView> ParsePlainCreateView(const std::string& text);

// `text` (which creates `view`) from the end of the view's name on, every
// run of digits as one "0": texts of one shape compile alike, for SQLite
// does not look up the names a view reads when it is created.
std::string PlainViewShape(const PlainView& view, const std::string& text);

// True when `text` changes the schema (starts with CREATE, DROP or ALTER):
// such a statement must see every view the schema table holds.
bool ChangesSchema(const std::string& text);

// True when `text` may read the schema table: a PRAGMA, or a text that
// names one of SQLite's own tables ("sqlite_...", any case).
bool ReadsSchemaTable(const std::string& text);

// True when SQLite's message says a table or view it was asked for does
// not exist.
bool NamesMissingTableOrView(const std::string& message);

// The views a connection wrote into the schema table but has not read
// back yet, those of the open transaction apart (a rollback takes them
// away). Names compare without regard to ASCII letter case, as SQLite's do.
class UnseenViews {
 public:
  void Add(const std::string& name) { uncommitted_.insert(Key(name)); }
  bool Contains(const std::string& name) const {
    return committed_.count(Key(name)) > 0 || uncommitted_.count(Key(name)) > 0;
  }
  bool empty() const { return committed_.empty() && uncommitted_.empty(); }
  bool committed_empty() const { return committed_.empty(); }
  // The transaction was committed: its views are in the file.
  void TransactionCommitted();
  // The transaction ended otherwise: its views are gone.
  void TransactionUndone() { uncommitted_.clear(); }
  // The connection read its schema again (or closes): it knows them all.
  void Seen() {
    committed_.clear();
    uncommitted_.clear();
  }

 private:
  static std::string Key(const std::string& name);
  std::unordered_set<std::string> committed_, uncommitted_;
};

}  // namespace vl
