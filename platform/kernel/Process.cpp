// The last error, thread and process ids, MulDiv, time, start-up information and debug
// output.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace {

thread_local DWORD LastError = 0;

} // namespace

DWORD GetLastError() {
    return LastError;
}
void SetLastError(DWORD error) {
    LastError = error;
}

DWORD GetCurrentThreadId() {
    return DWORD(syscall(SYS_gettid));
}
DWORD GetCurrentProcessId() {
    return DWORD(getpid());
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    std::int64_t product = std::int64_t(number) * numerator;
    std::int64_t d = denominator;
    // Round half away from zero.
    bool negative = (product < 0) != (d < 0);
    std::int64_t absP = product < 0 ? -product : product;
    std::int64_t absD = d < 0 ? -d : d;
    std::int64_t q = (absP + absD / 2) / absD;
    std::int64_t result = negative ? -q : q;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return int(result);
}

DWORD GetTickCount() {
    return platform::user::GetBackend().Now();
}

void Sleep(DWORD milliseconds) {
    platform::user::GetBackend().Sleep(milliseconds);
}

void GetStartupInfoA(STARTUPINFOA* info) {
    if (!info)
        return;
    std::memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
}

void OutputDebugStringA(LPCSTR text) {
    if (text)
        std::fputs(text, stderr);
}
