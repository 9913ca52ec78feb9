#pragma once
// The user's home folder, in which Qt places a program's settings and pictures (the XDG folders
// default to places inside it). With HOME unset, empty, relative or naming no folder, Qt would
// write "/.config/..." or make the whole missing path: the programs then keep no settings and
// make nothing there. Looked at once per run; that first look logs one line when the home is not
// usable. On Windows the system names the profile folder, which is taken as it is
// (HomePosix.cpp, HomeWindows.cpp).

namespace framework {

bool HomeUsable();

} // namespace framework
