// Conversions between the engine's UTF-8 texts and Qt's strings.
#pragma once

#include <QString>
#include <string>

namespace vl {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string S(const QString& text) { return text.toStdString(); }

// A resource text as a Qt string.
QString QRes(long id);

}  // namespace vl
