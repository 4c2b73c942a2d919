// This computer's name and its processes.
#include <algorithm>
#include <bitset>
#include <thread>

#include "platform/win32/win32_util.h"

namespace kelvora::platform {

std::string hostName() {
    DWORD size = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size))
        return {};
    name.resize(size);
    return toUtf8(name);
}

bool processIsRunning(std::int64_t pid) {
    if (pid <= 0 || pid > 0xFFFFFFFFLL)
        return false;
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
    // The process object outlives an ended process while handles to it are open; its exit code
    // can't tell an ended process from one that exited with STILL_ACTIVE's value, waiting can.
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

unsigned usableProcessors() {
    // The mask covers the process's processor group (up to 64 processors).
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return static_cast<unsigned>(std::bitset<64>(static_cast<unsigned long long>(process)).count());
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace kelvora::platform
