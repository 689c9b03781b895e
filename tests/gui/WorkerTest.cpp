// A dialog's worker under a real dialog: what it asks of the dialog runs on
// the dialog's thread, questions included, and its end arrives last; a
// dialog that closes first waits for its worker.
#include "GuiTest.h"
#include "framework/Dialog.h"
#include "framework/Worker.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace guitest;

namespace {

const wchar_t kQuestionCaption[] = L"Worker question";

// Step 2's template, its worker given by the test.
class WorkerHost : public tw::Dialog {
public:
    WorkerHost() : tw::Dialog(IDD_SOURCE, nullptr) {}
    std::function<void(WorkerHost&)> work;
    // The path box's text when the worker's end arrived.
    std::wstring textAtEnd;
    int ends = 0;
    tw::Worker worker{*this};

protected:
    BOOL OnInitDialog() override {
        worker.start("test worker", [this] { work(*this); });
        return TRUE;
    }
    bool OnCommand(UINT id, UINT, HWND) override {
        if (id != IDC_SOURCE_BACK)
            return false;
        EndDialog(IDC_SOURCE_BACK);
        return true;
    }
    void OnWorkerEnded() override {
        ++ends;
        textAtEnd = itemText(IDC_SOURCE_PATH);
        EndDialog(IDOK);
    }
};

HWND waitForHost() {
    return need(robot::waitForDialogWith(L"Source", IDC_SOURCE_NEXT, GetCurrentProcessId()), "host dialog");
}

} // namespace

TEST(Worker, WhatItAsksRunsOnTheDialogsThreadAndItsEndArrivesLast) {
    const DWORD dialogThread = GetCurrentThreadId();
    std::vector<DWORD> callThreads;
    DWORD questionThread = 0;
    bool ownerDisabled = false;
    WorkerHost host;
    host.work = [&](WorkerHost& page) {
        for (int i = 0; i < 3; ++i)
            page.worker.onPage([&] {
                callThreads.push_back(GetCurrentThreadId());
                page.setItemText(IDC_SOURCE_PATH, L"call " + std::to_wstring(i));
            });
        const int answer = page.worker.ask(IDCANCEL, [&] {
            questionThread = GetCurrentThreadId();
            return MessageBoxW(page.hwnd(), L"Go on?", kQuestionCaption, MB_YESNO);
        });
        page.worker.onPage([&] { page.setItemText(IDC_SOURCE_PATH, L"answered " + std::to_wstring(answer)); });
    };
    std::thread driver([&] {
        HWND dialog = waitForHost();
        HWND box = need(robot::waitForMessageBox(kQuestionCaption, GetCurrentProcessId()), "the worker's question");
        ownerDisabled = !IsWindowEnabled(dialog);
        robot::answer(box, IDYES);
    });
    EXPECT_EQ(IDOK, host.DoModal()) << "the end closes the dialog";
    driver.join();
    EXPECT_EQ(std::vector<DWORD>(3, dialogThread), callThreads);
    EXPECT_EQ(dialogThread, questionThread) << "the question is the dialog thread's";
    EXPECT_TRUE(ownerDisabled) << "and owned by the dialog";
    EXPECT_EQ(L"answered " + std::to_wstring(IDYES), host.textAtEnd) << "the end comes after the last call";
    EXPECT_EQ(1, host.ends);
}

TEST(Worker, ADialogThatClosesFirstWaitsForItsWorkerAndRefusesItsLaterCalls) {
    std::atomic<bool> goOn{false}, done{false}, laterCallRan{true};
    {
        WorkerHost host;
        host.work = [&](WorkerHost& page) {
            while (!goOn)
                Sleep(1);
            laterCallRan = page.worker.onPage([] {});
            Sleep(300); // a last step that outlasts the dialog's window
            done = true;
        };
        std::thread driver([&] {
            HWND dialog = waitForHost();
            robot::click(dialog, IDC_SOURCE_BACK);
            EXPECT_TRUE(robot::waitForGone(dialog));
            goOn = true;
        });
        EXPECT_EQ(IDC_SOURCE_BACK, host.DoModal());
        driver.join();
        EXPECT_EQ(0, host.ends) << "no end while the dialog ran";
    }
    EXPECT_TRUE(done) << "the worker had ended when its dialog went";
    EXPECT_FALSE(laterCallRan) << "a call after the window has gone runs nothing";
}
