#include "support/data_services_wrappers.h"

#include "errors/vl_error.h"
#include "host/db/sql_rewrite.h"

namespace vl {

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

std::vector<std::string> RecordingDataServices::Statements(bool withoutMarkers) const {
  std::vector<std::string> out;
  for (const Call& c : calls_)
    if (c.kind != CallKind::kGetNextKey)
      out.push_back(withoutMarkers ? ResolveTableName(c.text) : c.text);
  return out;
}

void FaultInjectingDataServices::MaybeFail(const std::string& text) {
  const bool named = !fail_text_.empty() && text.find(fail_text_) != std::string::npos;
  if (!named && !fail_next_) return;
  fail_next_ = false;
  ++failures_;
  throw VlError(err::kDatabase, "VlDataServices",
                "Injected failure (statement: " + ResolveTableName(text) + ")");
}

}  // namespace vl
