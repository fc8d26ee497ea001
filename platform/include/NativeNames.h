#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Command-line words and file names as the system holds them: bytes, which need not be valid UTF-8 (a
// file named in Latin-1 on a UTF-8 system). Qt decodes such bytes to U+FFFD, after which the name can
// no longer be opened. Here every byte survives: valid UTF-8 decodes as usual, and each byte that is not
// part of valid UTF-8 becomes a lone surrogate U+DC80 to U+DCFF (which valid UTF-8 never gives), turned
// back into that byte by toNative.
namespace nativenames {

QString fromNative(QByteArrayView bytes);
QByteArray toNative(QStringView text);

// True when text holds a byte that is not valid UTF-8: the name is not the text that Qt would use.
bool hasRawBytes(QStringView text);

} // namespace nativenames
