#pragma once
// The few file operations whose portable form Qt does not offer as the program needs them, one
// implementation per system (FilesPosix.cpp, FilesWindows.cpp).

#include <QFile>
#include <QString>

namespace framework {

// Opens `path` for writing at its end, creating it if need be. Every write goes to the end of the
// file, also when another writer appended meanwhile, and without a seek, so pipes and devices
// work as well. False, with the system's reason in `why`, when it can't be opened.
bool OpenForAppend(QFile& file, const QString& path, QString& why);

// Gives a file just created under a private name the permissions a plain file of the user gets.
void GivePlainFilePermissions(QFileDevice& file);

// Puts `from` in the place of `to` in one step, replacing a file of that name: no reader ever
// sees a part-written `to`. False, with the system's reason in `why`, when it fails.
bool ReplaceFile(const QString& from, const QString& to, QString& why);

} // namespace framework
