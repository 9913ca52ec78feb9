// The Win32 file and I/O calls on Linux, and the module loader, on plain
// files and pipes.

#include "HidTestSupport.h"

#include "hid/ModuleLoader.h"
#include "platform/win32/FileIo.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A pipe whose read end is a handle as CreateFileA with
// FILE_FLAG_OVERLAPPED gives it.
struct TPipe {
    TPipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
            Read = win32::HandleOf(fds[0]);
            WriteFd = fds[1];
        }
    }
    ~TPipe() {
        if (Read != INVALID_HANDLE_VALUE)
            CloseHandle(Read);
        CloseWriter();
    }
    void CloseWriter() {
        if (WriteFd >= 0)
            ::close(WriteFd);
        WriteFd = -1;
    }
    void Write(const char* text) const {
        ASSERT_EQ(::write(WriteFd, text, std::strlen(text)),
                  static_cast<ssize_t>(std::strlen(text)));
    }
    HANDLE Read = INVALID_HANDLE_VALUE;
    int WriteFd = -1;
};

struct TCompletion {
    int Calls = 0;
    DWORD Error = 0xFFFFFFFF;
    DWORD Bytes = 0xFFFFFFFF;
    LPOVERLAPPED Overlapped = nullptr;
};
thread_local TCompletion completion;

void RecordCompletion(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    ++completion.Calls;
    completion.Error = error;
    completion.Bytes = bytes;
    completion.Overlapped = overlapped;
}

int OpenFlags(HANDLE handle) {
    return ::fcntl(win32::DescriptorOf(handle), F_GETFL);
}

} // namespace

class Win32FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Path().empty());
        completion = TCompletion();
    }
    hidtest::TTempFolder folder_{"tarvenik-hidio"};
};

TEST_F(Win32FileIo, CreateFileAMapsAccessAndOverlappedToOpenFlags) {
    const std::string file = folder_.File("plain");
    struct Case {
        DWORD access;
        DWORD flags;
        int expectedAccess;
        bool nonBlocking;
    };
    const Case cases[] = {
        {GENERIC_READ | GENERIC_WRITE, 0, O_RDWR, false},
        {GENERIC_READ, 0, O_RDONLY, false},
        {GENERIC_READ, FILE_FLAG_OVERLAPPED, O_RDONLY, true},
        {0, 0, O_PATH, false},
    };
    for (const Case& c : cases) {
        HANDLE handle = CreateFileA(file.c_str(), c.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, c.flags, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << c.access;
        const int flags = OpenFlags(handle);
        if (c.expectedAccess == O_PATH)
            EXPECT_EQ(flags & O_PATH, O_PATH);
        else
            EXPECT_EQ(flags & O_ACCMODE, c.expectedAccess);
        EXPECT_EQ((flags & O_NONBLOCK) != 0, c.nonBlocking);
        EXPECT_EQ(::fcntl(win32::DescriptorOf(handle), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
        EXPECT_TRUE(CloseHandle(handle));
    }
}

TEST_F(Win32FileIo, CreateFileASaysWhyItFailed) {
    const std::string missing = folder_.Path() + "/missing";
    EXPECT_EQ(CreateFileA(missing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    const std::string file = folder_.File("plain");
    EXPECT_EQ(
        CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, 2 /* CREATE_ALWAYS */, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A folder can't be opened for reading and writing, only queried.
    EXPECT_EQ(CreateFileA(folder_.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE query = CreateFileA(folder_.Path().c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(query, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(query));
}

TEST_F(Win32FileIo, CloseHandleRefusesWhatIsNotOpen) {
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    const std::string file = folder_.File("plain");
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Win32FileIo, AnOverlappedReadCompletesOnlyInAnAlertableWait) {
    TPipe pipe;
    char buffer[16] = {};
    OVERLAPPED overlapped{};
    ASSERT_TRUE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    DWORD count = 99;
    EXPECT_FALSE(GetOverlappedResult(pipe.Read, &overlapped, &count, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(SleepEx(0, TRUE), 0u); // nothing to read yet

    pipe.Write("hello");
    EXPECT_EQ(SleepEx(0, FALSE), 0u); // not alertable: the read waits
    EXPECT_EQ(completion.Calls, 0);
    EXPECT_EQ(SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Calls, 1);
    EXPECT_EQ(completion.Error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(completion.Bytes, 5u);
    EXPECT_EQ(completion.Overlapped, &overlapped);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_TRUE(GetOverlappedResult(pipe.Read, &overlapped, &count, FALSE));
    EXPECT_EQ(count, 5u);

    // The routine runs once: the next wait has nothing to complete.
    EXPECT_EQ(SleepEx(0, TRUE), 0u);
    EXPECT_EQ(completion.Calls, 1);
}

TEST_F(Win32FileIo, AZeroWaitCompletesAReadWhoseDataIsThere) {
    TPipe pipe;
    char buffer[8] = {};
    OVERLAPPED overlapped{};
    ASSERT_TRUE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    pipe.Write("now");
    EXPECT_EQ(SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Calls, 1);
    EXPECT_EQ(completion.Bytes, 3u);
    EXPECT_EQ(std::string(buffer), "now");
}

TEST_F(Win32FileIo, ReadFileExRefusesReadsThatCannotStart) {
    char buffer[8];
    OVERLAPPED overlapped{};
    const std::string file = folder_.File("plain");

    HANDLE query = CreateFileA(file.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReadFileEx(query, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query);

    HANDLE blocking =
        CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReadFileEx(blocking, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(blocking);

    TPipe pipe;
    EXPECT_FALSE(ReadFileEx(pipe.Read, buffer, 0, &overlapped, &RecordCompletion));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_FALSE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(
        ReadFileEx(INVALID_HANDLE_VALUE, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    pipe.Write("x");
    pipe.CloseWriter();
    // Data left behind a vanished writer can still be read...
    ASSERT_TRUE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_EQ(SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Bytes, 1u);
    // ...after that, no read starts.
    EXPECT_FALSE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(completion.Calls, 1);
}

TEST_F(Win32FileIo, AReadWhoseWriterVanishesCompletesWithAnError) {
    TPipe pipe;
    char buffer[8];
    OVERLAPPED overlapped{};
    ASSERT_TRUE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    pipe.CloseWriter();
    EXPECT_EQ(SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(completion.Bytes, 0u);
    DWORD count = 99;
    EXPECT_FALSE(GetOverlappedResult(pipe.Read, &overlapped, &count, FALSE));
    EXPECT_EQ(count, 0u);
}

TEST_F(Win32FileIo, CancelIoAbortsTheReadAndLeavesTheDataInPlace) {
    TPipe pipe;
    char buffer[8] = {};
    OVERLAPPED overlapped{};
    ASSERT_TRUE(ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    EXPECT_TRUE(CancelIo(pipe.Read));
    DWORD count = 99;
    EXPECT_FALSE(GetOverlappedResult(pipe.Read, &overlapped, &count, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));

    pipe.Write("data");
    EXPECT_EQ(SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(buffer[0], 0);
    char left[8] = {};
    EXPECT_EQ(::read(win32::DescriptorOf(pipe.Read), left, sizeof left), 4);

    EXPECT_FALSE(CancelIo(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Win32FileIo, CloseHandleInAnotherThreadEndsTheWaitAtOnce) {
    TPipe pipe;
    std::promise<void> started;
    auto waiting = std::async(std::launch::async, [&] {
        char buffer[8];
        OVERLAPPED overlapped{};
        completion = TCompletion();
        if (!ReadFileEx(pipe.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion))
            return std::make_pair(DWORD{0}, DWORD{0});
        started.set_value();
        const DWORD result = SleepEx(20000, TRUE);
        return std::make_pair(result, completion.Error);
    });
    started.get_future().wait();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(CloseHandle(pipe.Read));
    pipe.Read = INVALID_HANDLE_VALUE;
    const auto [result, error] = waiting.get();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_EQ(result, WAIT_IO_COMPLETION);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

TEST_F(Win32FileIo, AReusedDescriptorIsNeverReadForAClosedHandle) {
    TPipe first;
    char buffer[8] = {};
    OVERLAPPED overlapped{};
    ASSERT_TRUE(ReadFileEx(first.Read, buffer, sizeof buffer, &overlapped, &RecordCompletion));
    const int oldFd = win32::DescriptorOf(first.Read);
    ASSERT_TRUE(CloseHandle(first.Read));
    first.Read = INVALID_HANDLE_VALUE;

    TPipe second; // takes the lowest free descriptor: the one just closed
    ASSERT_EQ(win32::DescriptorOf(second.Read), oldFd);
    second.Write("new");
    EXPECT_EQ(SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(buffer[0], 0);
    char left[8] = {};
    EXPECT_EQ(::read(oldFd, left, sizeof left), 3);
}

TEST(Win32Modules, Kernel32OffersCancelIoOnly) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(GetProcAddress(kernel, "CancelIo"), reinterpret_cast<FARPROC>(&CancelIo));
    EXPECT_EQ(GetProcAddress(kernel, "ReadFile"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(nullptr, "CancelIo"), nullptr);
}

TEST(ModuleLoader, ResolvesByNameAndAndsTheSuccessFlag) {
    ModuleLoader::TModuleHandle missing;
    EXPECT_FALSE(ModuleLoader::OpenModule(missing, "None.dll", "libtarvenik-none.so"));
    size_t (*strlenEntry)(const char*) = &std::strlen;
    bool ok = true;
    ModuleLoader::ResolveEntry(missing, strlenEntry, "strlen", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(strlenEntry, nullptr);

    ModuleLoader::TModuleHandle libc;
    ASSERT_TRUE(ModuleLoader::OpenModule(libc, "msvcrt.dll", "libc.so.6"));
    ok = true;
    ModuleLoader::ResolveEntry(libc, strlenEntry, "strlen", ok);
    EXPECT_TRUE(ok);
    ASSERT_NE(strlenEntry, nullptr);
    EXPECT_EQ(strlenEntry("four"), 4u);
    int (*noSuch)() = nullptr;
    ModuleLoader::ResolveEntry(libc, noSuch, "tarvenik_no_such_export", ok);
    EXPECT_FALSE(ok);
    ModuleLoader::ResolveEntry(libc, strlenEntry, "strlen", ok);
    EXPECT_FALSE(ok); // stays false once an entry was missing
    ModuleLoader::CloseModule(libc);
    EXPECT_FALSE(libc.Loaded());
}

TEST(ModuleLoader, ALoadedLibraryLeavesTheFloatingPointControlAsItWas) {
    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    ModuleLoader::TModuleHandle module;
    ASSERT_TRUE(ModuleLoader::OpenModule(module, "Rounding.dll", HID_TEST_ROUNDING_MODULE));
    ASSERT_NE(ModuleLoader::FindExport(module, "RoundingModule_Present"), nullptr);
    const int rounding = std::fegetround();
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(rounding, FE_TONEAREST);
}
