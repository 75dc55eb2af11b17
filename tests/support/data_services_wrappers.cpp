#include "support/data_services_wrappers.h"

#include "errors/vl_error.h"
#include "host/db/sql_rewrite.h"

namespace vl {

RecordingDataServices::RecordingDataServices(std::shared_ptr<DataServices> inner)
    : inner_(std::move(inner)) {}

RecordingDataServices::RecordingDataServices(DataServices& inner)
    : inner_(std::shared_ptr<DataServices>(&inner, [](DataServices*) {})) {}

std::unique_ptr<Recordset> RecordingDataServices::ExecuteSQL(const std::string& sql) {
  calls_.push_back({CallKind::kExecuteSQL, sql});
  return inner_ ? inner_->ExecuteSQL(sql) : nullptr;
}

std::unique_ptr<Recordset> RecordingDataServices::QueryRecordset(const std::string& sql,
                                                                 bool forUpdate) {
  calls_.push_back({CallKind::kQueryRecordset, sql, forUpdate});
  if (inner_) return inner_->QueryRecordset(sql, forUpdate);
  return std::make_unique<Recordset>(std::vector<std::string>{}, std::vector<Recordset::Row>{});
}

int32_t RecordingDataServices::GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                                          const std::string& keyClass,
                                          const std::string& valueColumn) {
  calls_.push_back({CallKind::kGetNextKey, keyClass});
  if (inner_) return inner_->GetNextKey(keyTable, keyColumn, keyClass, valueColumn);
  return ++dry_keys_[keyClass];
}

void RecordingDataServices::ExecuteDDL(const std::string& sql) {
  calls_.push_back({CallKind::kExecuteDDL, sql});
  if (inner_) inner_->ExecuteDDL(sql);
}

int RecordingDataServices::GetDBType() const { return inner_ ? inner_->GetDBType() : kDBSQLite; }

void RecordingDataServices::Commit() {
  if (inner_) inner_->Commit();
}

std::vector<std::string> RecordingDataServices::Statements() const {
  std::vector<std::string> out;
  for (const Call& c : calls_)
    if (c.kind != CallKind::kGetNextKey) out.push_back(c.text);
  return out;
}

std::vector<std::string> RecordingDataServices::StatementsWithoutMarkers() const {
  std::vector<std::string> out = Statements();
  for (std::string& s : out) s = ResolveTableName(s);
  return out;
}

void FaultInjectingDataServices::MaybeFail(const std::string& text) {
  ++count_;
  const bool nth = fail_at_ != 0 && count_ == fail_at_;
  const bool matches = !fail_text_.empty() && text.find(fail_text_) != std::string::npos;
  if (!nth && !matches) return;
  ++failures_;
  throw VlError(err::kDatabase, "VlDataServices",
                "Injected failure (statement: " + ResolveTableName(text) + ")");
}

std::unique_ptr<Recordset> FaultInjectingDataServices::ExecuteSQL(const std::string& sql) {
  MaybeFail(sql);
  return inner_.ExecuteSQL(sql);
}

std::unique_ptr<Recordset> FaultInjectingDataServices::QueryRecordset(const std::string& sql,
                                                                      bool forUpdate) {
  MaybeFail(sql);
  return inner_.QueryRecordset(sql, forUpdate);
}

int32_t FaultInjectingDataServices::GetNextKey(const std::string& keyTable,
                                               const std::string& keyColumn,
                                               const std::string& keyClass,
                                               const std::string& valueColumn) {
  MaybeFail(keyClass);
  return inner_.GetNextKey(keyTable, keyColumn, keyClass, valueColumn);
}

void FaultInjectingDataServices::ExecuteDDL(const std::string& sql) {
  MaybeFail(sql);
  inner_.ExecuteDDL(sql);
}

}  // namespace vl
