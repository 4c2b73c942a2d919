// The 64-bit test on Windows. IsWow64Process is looked up at run time, since the oldest systems
// the program runs on don't have it.
#include <windows.h>

#include "platform/platform.h"

namespace kelvora::platform {

bool isWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel)
        return false;
    const FARPROC proc = GetProcAddress(kernel, "IsWow64Process");
    if (!proc)
        return false;
    // Through the generic function type, which GCC accepts as a cast to any other.
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(proc));
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64))
        throw SystemError(static_cast<int>(GetLastError()), "IsWow64: bad process handle");
    return wow64 != FALSE;
}

}  // namespace kelvora::platform
