// Data services that stand in front of other data services: one records
// every statement as the caller passed it, one makes chosen statements
// fail (so tests can check what a failure leaves behind).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/db/data_services.h"

namespace vl {

class RecordingDataServices : public DataServices {
 public:
  enum class CallKind { kExecuteSQL, kQueryRecordset, kExecuteDDL, kGetNextKey };
  struct Call {
    CallKind kind;
    // The statement text exactly as passed; for GetNextKey the key class.
    std::string text;
    bool forUpdate = false;
  };

  // Forwards to `inner`, which it shares. With no inner data services
  // (nullptr) nothing runs: ExecuteSQL gives nullptr, QueryRecordset an
  // empty recordset, GetNextKey 1, 2, 3... per key class, GetDBType
  // kDBSQLite.
  explicit RecordingDataServices(std::shared_ptr<DataServices> inner) : inner_(std::move(inner)) {}
  // Forwards to `inner`, which must outlive this object.
  explicit RecordingDataServices(DataServices& inner)
      : inner_(std::shared_ptr<DataServices>(&inner, [](DataServices*) {})) {}

  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override;
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql,
                                            bool forUpdate = false) override;
  int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn) override;
  void ExecuteDDL(const std::string& sql) override;
  int GetDBType() const override { return inner_ ? inner_->GetDBType() : kDBSQLite; }
  void Commit() override {
    if (inner_) inner_->Commit();
  }
  void Rollback() override {
    if (inner_) inner_->Rollback();
  }

  // Every call in order, recorded before it is forwarded (a statement the
  // database rejects is recorded too).
  const std::vector<Call>& calls() const { return calls_; }
  // The texts of the ExecuteSQL, QueryRecordset and ExecuteDDL calls, as
  // passed or with the table markers removed.
  std::vector<std::string> Statements(bool withoutMarkers = false) const;
  std::vector<std::string> StatementsWithoutMarkers() const { return Statements(true); }
  void Clear() { calls_.clear(); }

 private:
  std::shared_ptr<DataServices> inner_;
  std::vector<Call> calls_;
  std::map<std::string, int32_t> dry_keys_;
};

class FaultInjectingDataServices : public DataServices {
 public:
  // Forwards to `inner`, which must outlive this object.
  explicit FaultInjectingDataServices(DataServices& inner) : inner_(inner) {}

  // Every statement whose text contains `text` (and every GetNextKey whose
  // key class contains it) throws VlError(err::kDatabase) instead of
  // running. "" switches this off.
  void FailWhenContains(const std::string& text) { fail_text_ = text; }
  // The next call of any kind throws the same way.
  void FailNextCall() { fail_next_ = true; }
  // How many calls were made to fail.
  int failures() const { return failures_; }

  std::unique_ptr<Recordset> ExecuteSQL(const std::string& sql) override {
    return MaybeFail(sql), inner_.ExecuteSQL(sql);
  }
  std::unique_ptr<Recordset> QueryRecordset(const std::string& sql,
                                            bool forUpdate = false) override {
    return MaybeFail(sql), inner_.QueryRecordset(sql, forUpdate);
  }
  int32_t GetNextKey(const std::string& keyTable, const std::string& keyColumn,
                     const std::string& keyClass, const std::string& valueColumn) override {
    return MaybeFail(keyClass), inner_.GetNextKey(keyTable, keyColumn, keyClass, valueColumn);
  }
  void ExecuteDDL(const std::string& sql) override { MaybeFail(sql), inner_.ExecuteDDL(sql); }
  int GetDBType() const override { return inner_.GetDBType(); }
  void Commit() override { inner_.Commit(); }
  void Rollback() override { inner_.Rollback(); }

 private:
  void MaybeFail(const std::string& text);

  DataServices& inner_;
  std::string fail_text_;
  bool fail_next_ = false;
  int failures_ = 0;
};

}  // namespace vl
