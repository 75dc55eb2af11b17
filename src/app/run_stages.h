// The stages of a creation run as people read them: the routine names the
// run reports its progress under, turned into the texts of the resource
// file ("Copying groups", ...). The wizard's progress and the tool's
// progress line show the same.
#pragma once

#include <string>

#include "host/text/messages.h"

namespace vl {

// The text of `stage` ("CopyXMLGroupInfo", "CheckBaseline", ...); a stage
// without a text of its own is shown as it is named.
std::string RunStageText(const Messenger& messages, const std::string& stage);

}  // namespace vl
