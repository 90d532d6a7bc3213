// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names as the kernel knows them: bytes. Qt takes file names as UTF-8
// and turns every byte it cannot decode into U+FFFD (and drops a leading
// U+FEFF), so a name such as "caf\xE9.txt" would reach open() changed. These
// keep every byte: an undecodable one travels as its escape (AnsiCodePage.h).
#include <QByteArray>
#include <QString>

QString DecodeFileName(const QByteArray &bytes);
QByteArray EncodeFileName(const QString &name);

// The working directory by its bytes.
QString CurrentDirectory();
// Name made absolute against the working directory and cleaned, as strings:
// QFileInfo would pass a relative name through Qt's own encoding.
QString AbsoluteFileName(const QString &name);

// lstat() on the name's bytes: any kind of entry, a dangling link included.
bool FileNameExists(const QString &name);
