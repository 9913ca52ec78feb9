#pragma once
// Whether the program runs from an installed tree. An installed program never writes into its
// install tree, whoever runs it (root included, who could): the package manager would leave what
// it wrote behind. Told by the install layout around the program's folder, not by whether the
// folder can be written: the real module pair sits in its private folder, relative to the
// programs' folder (bin) and to the demo copies' folder alike. A build tree or a folder where
// the program and its modules were simply put side by side has no such folder.

#include <QString>

namespace installlayout {

// The real modules' folder as seen from the installed programs' folder and from the demo copies'.
inline constexpr const char* kPrivateFromBin = TARVENIK_PRIVATE_FROM_BIN;
inline constexpr const char* kPrivateFromDemo = TARVENIK_PRIVATE_FROM_DEMO;

bool IsInstalledProgramFolder(const QString& folder);

} // namespace installlayout
