// The error state that travels between procedures: number, source and
// description, carried by one exception type.
#pragma once

#include <stdexcept>
#include <string>

namespace vl {

// Well-known error numbers.
namespace err {
constexpr long kObjectErrorBase = -2147221504;           // vbObjectError
constexpr long kGuidGenerate = kObjectErrorBase + 4004;  // -2147217500
constexpr long kGuidToString = kObjectErrorBase + 4005;  // -2147217499
constexpr long kTypeMismatch = 13;
constexpr long kOverflow = 6;
constexpr long kInvalidProcedureCall = 5;
constexpr long kFileNotFound = 53;
constexpr long kPathNotFound = 76;
constexpr long kPermissionDenied = 70;
constexpr long kFileAlreadyExists = 58;
constexpr long kObjectRequired = 424;
constexpr long kObjectVariableNotSet = 91;   // an element or object that is not there
constexpr long kInvalidUseOfNull = 94;       // reading a value that is not there
constexpr long kKeyAlreadyExists = 457;      // dictionary: key already associated
constexpr long kDatabase = -2147217900;      // a statement the database rejected
constexpr long kDatabaseOpen = -2147467259;  // a database that cannot be opened
constexpr long kUnspecified = -2147467259;   // anything else (E_FAIL)
}  // namespace err

// A failure raised by the program or one of its host components. `number`
// is never 0; `source` names where it was raised and grows with each
// utility that passes it on ("ModWizard.GetLastFolder->...").
class VlError : public std::runtime_error {
 public:
  VlError(long number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  long number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  long number_;
  std::string source_;
  std::string description_;
};

// A snapshot of an error: number 0 means "no error".
struct ErrorState {
  long number = 0;
  std::string source;
  std::string description;

  bool pending() const { return number != 0; }
};

// The error being handled: inside a catch block, the state of the exception
// in flight (a VlError as it is; any other std::exception as
// err::kUnspecified with its what() as description); outside, number 0.
ErrorState PendingError();

// The state of a given exception, as PendingError would give it.
ErrorState ErrorStateOf(const std::exception_ptr& e);

}  // namespace vl
