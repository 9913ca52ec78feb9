#pragma once
// A mark that one of the project's programs runs, held while the object lives, for the Windows
// uninstaller: a running program's files cannot be removed there, and an uninstaller that went on
// would leave them behind while saying it completed. On Windows a named mutex of the session
// (kRunningMarkName, which the setup program asks for); nothing on Linux, where a package manager
// replaces files in use.

namespace framework {

inline constexpr wchar_t kRunningMarkName[] = L"TarvenikProgramRunning";

class TRunningMark {
public:
    explicit TRunningMark(const wchar_t* name = kRunningMarkName);
    ~TRunningMark();
    TRunningMark(const TRunningMark&) = delete;
    TRunningMark& operator=(const TRunningMark&) = delete;

    // Whether a mark of this name is held now, by this process or another.
    static bool Held(const wchar_t* name = kRunningMarkName);

private:
    [[maybe_unused]] void* handle_ = nullptr; // the system's mark; none off Windows
};

} // namespace framework
