#pragma once
// Which copy of a program is running: the one beside the real module pair, or its demo copy
// beside the virtual unit. Each program's two executables define it differently
// (tarvenik_add_program, cmake/edition.cpp.in); the libraries never call it, so their tests link
// without it.

namespace unit {

bool DemoEdition();

} // namespace unit
