#pragma once
// Conversions between the system's UTF-16 strings and the toolkit's QString
// (both UTF-16, so nothing is re-encoded).

#include <QString>

#include "rtl/strings.h"

namespace toolkit {

inline QString ToQString(rtl::StringView s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

inline rtl::String FromQString(const QString& s) {
    return rtl::String(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

}  // namespace toolkit
