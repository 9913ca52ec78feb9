#pragma once
// The end of a program that must not wait for what it leaves behind (a thread stuck in a
// system call): no destructor and no exit handler runs, only what was registered with
// std::at_quick_exit, which is where a module that made files for its run removes them. On
// Windows, whose C++ library has no quick_exit, the process simply ends (ProgramEndPosix.cpp,
// ProgramEndWindows.cpp).

namespace framework {

[[noreturn]] void EndAtOnce(int status);

} // namespace framework
