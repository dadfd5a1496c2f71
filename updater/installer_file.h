#pragma once

#include <QString>

// The downloaded installer is run only after its MD5 matched: it gets its run bit
// here and nowhere else.

// The MD5 of the whole file as lower-case hexadecimal; empty when it cannot be read.
QString FileMd5Hex(const QString& path);

// True when the file's MD5 equals `expected_md5` exactly (case-sensitive: an
// upper-case text never matches) and the file was then made executable by its owner.
// Nothing is changed and nothing is logged otherwise; the caller logs and deletes.
bool VerifyInstallerAndMakeExecutable(const QString& path, const QString& expected_md5);
