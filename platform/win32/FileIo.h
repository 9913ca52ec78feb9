#pragma once
// The Windows file and I/O calls the HID code uses, on Linux.
//
// A HANDLE is a file descriptor cast to a pointer (docs/hid-modules.md).
// Failures leave a Windows error code in errno, which GetLastError answers,
// so the codes the HID modules leave and the codes these calls leave read
// the same way.
//
// Overlapped reads follow the Windows model closely enough for one reader
// thread per handle: ReadFileEx starts a read that belongs to the calling
// thread; it makes progress and its completion routine runs only inside an
// alertable SleepEx of that thread. CancelIo cancels the calling thread's
// reads on a handle; CloseHandle cancels every read on it, in any thread,
// and wakes the threads that wait for them.

#include "platform/win32/WinTypes.h"

#ifndef _WIN32

// Opens an existing file. Access GENERIC_READ | GENERIC_WRITE, GENERIC_READ,
// GENERIC_WRITE or 0 (query only); FILE_FLAG_OVERLAPPED asks for a handle
// that ReadFileEx accepts. Share mode and security attributes have no
// meaning here; only OPEN_EXISTING is supported.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

BOOL CloseHandle(HANDLE hObject);

BOOL ReadFileEx(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                LPOVERLAPPED lpOverlapped, LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);

// Alertable: completes the calling thread's reads that can complete within
// dwMilliseconds, runs their routines and answers WAIT_IO_COMPLETION; answers
// 0 when the time ran out first. Not alertable: sleeps and answers 0.
DWORD SleepEx(DWORD dwMilliseconds, BOOL bAlertable);

// Waiting (bWait TRUE) for a read that is still pending is not supported:
// the read completes only in its thread's alertable SleepEx, so the call
// answers ERROR_IO_INCOMPLETE as it does without waiting.
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);

BOOL CancelIo(HANDLE hFile);

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Only "kernel32.dll" is known: it stands for these calls themselves, and
// GetProcAddress finds CancelIo in it.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

namespace win32 {

// The descriptor behind a handle, or -1 for INVALID_HANDLE_VALUE and other
// values that can't be one.
int DescriptorOf(HANDLE handle);
HANDLE HandleOf(int fd);

// The Windows error code that stands for an errno value of a system call.
DWORD ErrorFromErrno(int errnoValue);

} // namespace win32

#endif // _WIN32
