// What the tests of single pages share: a fresh wizard state over the
// test's own registry and directory (the directory also stands for the
// Notes data directory), and a page run modally on this thread while a
// robot drives it from another.
#pragma once
#include "GuiTest.h"
#include "TestEnv.h"
#include "common/WizardState.h"
#include "shell/WizardApp.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace guitest {

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.setSetting(L"FilePath", dir.path());
        wizardState() = WizardState{};
        CTW_ZURadEZAApp().loadSettings();
        wizardState().mode = ModeMails;
        setNotesDirectory(dir.path());
    }

    // Runs `modal` here (a page's DoModal) while `robot` runs on a thread.
    static INT_PTR runWithRobot(const std::function<INT_PTR()>& modal, const std::function<void()>& robot) {
        std::thread driver(robot);
        const INT_PTR result = modal();
        driver.join();
        return result;
    }
    // Runs a page of step `step`, made by `make`, with `robot` given its window.
    template <typename Page>
    INT_PTR runPage(int step, const std::function<void(HWND)>& robot) {
        return runWithRobot(
            [] {
                Page page(nullptr);
                return page.DoModal();
            },
            [&] { robot(need(wizard::waitForStep(step, GetCurrentProcessId()), "the page")); });
    }

    // The wizard's message box with that text: checks text and icon,
    // answers it and waits until it is gone.
    static void expectMessage(const std::wstring& text, UINT icon, int answer = IDOK) {
        HWND box = wizard::expectMessageBox(GetCurrentProcessId(), text);
        EXPECT_EQ(text, robot::messageBoxText(box));
        EXPECT_EQ(icon, robot::messageBoxIcon(box)) << narrow(text);
        robot::answer(box, answer);
        robot::waitForGone(box);
    }

    std::string log() const { return testenv::readFileBytes(dir.file(L"Activity Log.txt")); }

    testenv::IsolatedRegistry registry;
    testenv::TempDir dir;
};

} // namespace guitest
