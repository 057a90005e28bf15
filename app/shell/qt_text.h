// Conversions between Qt strings and the core's UTF-16 strings.
#pragma once

#include <QString>
#include <string>

namespace cindral {

inline QString ToQ(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
inline QString ToQ(const std::string& latin1) {
    return QString::fromLatin1(latin1);
}
inline std::u16string FromQ(const QString& s) {
    return s.toStdU16String();
}

}  // namespace cindral
