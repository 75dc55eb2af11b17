// Overflow text: a text longer than its column's limit is kept cut to the
// limit in its own row (OVERFLOWIND "1"), and whole in an overflow table
// keyed by the row's owner.
#pragma once

#include <cstdint>
#include <string>

#include "copy/copier.h"
#include "host/db/data_services.h"

namespace vl {

// The OVERFLOWTYPE code of a history table: 1 requirement history, 2
// document history, 3 project history; the name is compared without regard
// to letter case and may carry the table marker. 0 for any other name.
int32_t OverflowTypeOfHistoryTable(const std::string& sTableName);

// Holds no state; callers create one when they need it.
class InsOverflowInfo : public Copier {
 public:
  using Copier::Copier;

  // Sets bIsOverflow to false. When lOverflowSize is not -1 and sText has
  // more characters (code points) than lOverflowSize: sets bIsOverflow,
  // puts the whole text into sOverflowText and cuts sText to its first
  // lOverflowSize characters (never inside one). Otherwise sText and
  // sOverflowText stay as they are. Returns true; a negative limit other
  // than -1 is an error: reported ("SplitOverflowText"), false, sText
  // unchanged.
  bool SplitOverflowText(int32_t lOverflowSize, std::string& sText, std::string& sOverflowText,
                         bool& bIsOverflow);

  // Inserts (lReqID, whole text) into VlOverflowText. True on success;
  // on a database error reports it ("SaveReqOverflowText") and returns
  // false.
  bool SaveReqOverflowText(int32_t lReqID, const std::string& sOverflowText, DataServices& oDS);

  // Inserts (lReqID, lFieldID, whole text) into VlOverflowValues. True on
  // success; on a database error reports it ("SaveReqOverflowAttrValue")
  // and returns false.
  bool SaveReqOverflowAttrValue(int32_t lReqID, int32_t lFieldID, const std::string& sOverflowText,
                                DataServices& oDS);

  // Inserts (type of sTableName, lID, sVerNbr, whole reason) into
  // VlOverflowHistory. False without writing or reporting anything when
  // sTableName is not a history table; false after a report
  // ("SaveReqOverflowHistRec") on a database error.
  bool SaveReqOverflowHistRec(const std::string& sTableName, int32_t lID,
                              const std::string& sVerNbr, const std::string& sOverflowText,
                              DataServices& oDS);
};

}  // namespace vl
