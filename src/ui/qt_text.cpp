#include "ui/qt_text.h"

#include "host/text/messages.h"
#include "ui/ui_session.h"

namespace vl {

QString QRes(long id) { return Q(AppSession().messages.ResString(id)); }

}  // namespace vl
