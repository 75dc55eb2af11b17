#include "ui/qt_text.h"

#include "host/text/messages.h"

namespace vl {

QString QRes(long id) { return Q(ResString(id)); }

}  // namespace vl
