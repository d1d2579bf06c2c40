// CP932 <-> QString at the Qt boundary.
#pragma once

#include <QString>
#include <string>

#include "text/encoding.h"

namespace sorane {

inline QString Q(const std::string& sjis) {
  return QString::fromStdString(SjisToUtf8(sjis));
}
inline std::string S(const QString& text) {
  return Utf8ToSjis(text.toStdString());
}

}  // namespace sorane
