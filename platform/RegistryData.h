#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// What both registry back ends share: turning a value's stored bytes into the text callers get.
namespace modRegistryTools {

// Longer data is refused rather than cut: a cut folder path would look like a whole one.
inline constexpr qsizetype kMaxValueBytes = 1024;

enum ValueType : quint32 { RegSz = 1, RegExpandSz = 2, RegBinary = 3, RegDword = 4, RegMultiSz = 7 };

// The text of a value of the given type whose data is stored as data (strings as UTF-16LE). RegSz:
// the text with one trailing zero character dropped; RegDword: the unsigned decimal text of its
// little-endian number; empty data or any other type: true with an empty value. False with an empty
// value when data holds more than kMaxValueBytes bytes.
bool valueFromData(quint32 type, QByteArrayView data, QString &value);

} // namespace modRegistryTools
