// The Outlook stand-in's start-up cost against the size of the store it
// opens: one cycle of create, logon, AddStore, one item saved, Quit, on a
// store of 100 and of 20,000 messages. Runs under Wine after the install
// step registered the server (./build.sh bench).
#include "adapters/Automation.h"
#include "pst/Store.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

void makeStore(const std::string& path, int count) {
    std::remove(path.c_str());
    auto store = pst::Store::create(path, "Bench");
    const uint32_t folder = store->createFolder(store->ipmSubtree(), "Inbox", "IPF.Note");
    for (int i = 0; i < count; ++i) {
        pst::NewMessage m;
        m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = {pst::PT_UNICODE, pst::utf16le("Message " + std::to_string(i))};
        m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = {pst::PT_UNICODE, pst::utf16le(std::string(2048, 'b'))};
        store->addMessage(folder, m);
        if (i % 500 == 499)
            store->commit();
    }
    store->commit();
}

double cycle(const std::wstring& pst) {
    const auto start = Clock::now();
    CLSID clsid{};
    CLSIDFromProgID(L"Outlook.Application", &clsid);
    tw::ComPtr<IDispatch> app;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, app.putVoid())))
        throw tw::AutomationFailure{E_FAIL, L"Outlook.Application is not registered"};
    tw::ComPtr<IDispatch> ns = tw::call(app.get(), 0x110, {L"MAPI"}).object();
    tw::call(ns.get(), 0x2105, {tw::Variant(), tw::Variant(), tw::Variant(), tw::Variant()});
    tw::call(ns.get(), 0x2119, {pst});
    tw::ComPtr<IDispatch> item = tw::call(app.get(), 0x10A, {5}).object();
    tw::call(item.get(), 0xF048);
    tw::call(ns.get(), 0x2106);
    tw::call(app.get(), 0x113);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: outlook_bench DIR\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::printf("Outlook stand-in: one cycle (create, logon, AddStore, an item saved, Quit)\n");
    try {
        for (int count : {100, 20000}) {
            const std::string path = std::string(argv[1]) + "\\bench-outlook-" + std::to_string(count) + ".pst";
            makeStore(path, count);
            const std::wstring wide(path.begin(), path.end());
            cycle(wide); // the first start creates the profile's default store
            double best = 1e9, total = 0;
            const int runs = 20;
            for (int i = 0; i < runs; ++i) {
                const double t = cycle(wide);
                total += t;
                best = t < best ? t : best;
            }
            std::printf("%8d messages: cycle %.1f ms on average, %.1f ms at best (%d runs)\n", count,
                        1000 * total / runs, 1000 * best, runs);
        }
    } catch (const tw::AutomationFailure& e) {
        std::fprintf(stderr, "outlook_bench: %ls (%08lx)\n", e.description.c_str(), static_cast<unsigned long>(e.code));
        return 1;
    } catch (const pst::Error& e) {
        std::fprintf(stderr, "outlook_bench: %s\n", e.what());
        return 1;
    }
    CoUninitialize();
    return 0;
}
