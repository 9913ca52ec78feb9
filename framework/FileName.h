#pragma once
// File names as the system gives them: bytes, which need not be valid UTF-8. A command-line
// argument becomes text with each byte that is not part of valid UTF-8 kept as a stand-in
// character (U+DC80 + byte, never produced by valid UTF-8), and a file name's text gives back
// exactly the bytes it came from, so a name no locale can show still opens the file it names.

#include <QByteArray>
#include <QString>

namespace framework {

// One argument of the command line as text; valid UTF-8 is decoded as usual.
QString ArgumentText(const QByteArray& bytes);
// The bytes of a file name given as text (from ArgumentText or any other text).
QByteArray FileNameBytes(const QString& name);
// A name for a new file beside `path`, to be put in its place once written: hidden, ending in
// ".part", with a random middle that no one sharing the folder can guess and plant a link at.
QString PartNameBeside(const QString& path);

} // namespace framework
