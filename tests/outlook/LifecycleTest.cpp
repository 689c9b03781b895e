// The conversion starts and quits the application again and again (after
// every 50 messages): a thousand cycles leak no handle, memory or file.
#include "OutlookFixture.h"

#include <psapi.h>

#include <vector>

using namespace outlooktest;

namespace {

size_t memoryInUse() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

// Where the next handle lands: handles are given out lowest free first,
// so one that leaks per cycle pushes it up (the count itself is not
// reported under Wine).
uintptr_t nextHandle() {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(h);
    return reinterpret_cast<uintptr_t>(h);
}

} // namespace

TEST_F(OutlookTest, AThousandCyclesLeakNothing) {
    const std::wstring target = dir.file(L"Cycles.pst");
    auto cycle = [&](int n) {
        start();
        tw::ComPtr<IDispatch> root = addStore(target);
        tw::ComPtr<IDispatch> item = tw::call(app.get(), id::CreateItem, {5}).object();
        tw::call(item.get(), id::Save);
        if (n % 10 == 0) {
            tw::ComPtr<IDispatch> copy = tw::call(item.get(), id::Copy).object();
            tw::put(copy.get(), id::Body, tw::Variant(L"cycle"));
            tw::call(copy.get(), id::Move, {tw::Variant(root.get())});
        }
        tw::call(nameSpace.get(), id::Logoff);
        tw::call(app.get(), id::Quit);
        nameSpace.reset();
        app.reset();
    };
    for (int i = 0; i < 50; ++i)
        cycle(i);
    const uintptr_t handles = nextHandle();
    const size_t memory = memoryInUse();
    const DWORD started = GetTickCount();
    for (int i = 50; i < 1000; ++i)
        cycle(i);
    const DWORD elapsed = GetTickCount() - started;
    std::printf("950 cycles in %lu ms; next handle %#zx -> %#zx; memory %zu KB -> %zu KB\n",
                static_cast<unsigned long>(elapsed), static_cast<size_t>(handles), static_cast<size_t>(nextHandle()),
                memory / 1024, memoryInUse() / 1024);
    EXPECT_LE(nextHandle(), handles + 8 * sizeof(HANDLE));
    EXPECT_LE(memoryInUse(), memory + 4 * 1024 * 1024);
    // The measure itself sees memory that is taken.
    const size_t before = memoryInUse();
    std::vector<char> ballast(16 * 1024 * 1024, 1);
    EXPECT_GE(memoryInUse(), before + 8 * 1024 * 1024) << "the memory figure does not follow use";
    ballast.clear();
    // Every file the stand-in made for its items is gone again.
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"twa*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "left: " << narrow(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}
