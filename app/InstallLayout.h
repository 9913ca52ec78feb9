#pragma once
// Whether the program runs from an installed tree. An installed program never writes into its
// install tree, whoever runs it (root or an elevated administrator included, who could): the
// package manager or the uninstaller would leave what it wrote behind. Told by the install layout
// around the program's folder, not by whether the folder can be written; one file per system:
// - Linux: the real module pair sits in its private folder, relative to the programs' folder
//   (bin) and to the demo copies' folder alike. A build tree or a folder where the program and
//   its modules were simply put side by side has no such folder.
// - Windows: the setup program puts its uninstaller at the top of the tree, beside the programs
//   and above the demo copies' folder. The portable .zip and a build tree have none.

#include <QString>

namespace installlayout {

// The real modules' folder as seen from the installed programs' folder and from the demo copies'
// (Linux).
inline constexpr const char* kPrivateFromBin = TARVENIK_PRIVATE_FROM_BIN;
inline constexpr const char* kPrivateFromDemo = TARVENIK_PRIVATE_FROM_DEMO;
// The setup program's uninstaller, at the top of an installed tree, and the demo copies' folder
// below it (Windows).
inline constexpr const char* kUninstaller = "uninstall.exe";
inline constexpr const char* kDemoFolder = "demo";

bool IsInstalledProgramFolder(const QString& folder);

} // namespace installlayout
