#include "robustness/running_vyr.h"

#include <shellapi.h>

#include "core/switcher.h"
#include "hook/hook_contract.h"
#include "res/resource.h"
#include "settings/settings_test_support.h"
#include "support/host_command.h"
#include "support/pump.h"

namespace {

constexpr DWORD POPUP_WAIT_MS = 5000;
constexpr DWORD EXIT_WAIT_MS = 10000;
constexpr const char* MENU_CLASS = "#32768";
constexpr const char* DIALOG_CLASS = "#32770";

void postKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0xC0000000);
}

} // namespace

::testing::AssertionResult RunningVyr::start(const std::string& folder, int count)
{
    vyr.reset(new VyrProcess(folder));
    if (!vyr->started()) {
        return ::testing::AssertionFailure() << "Vyr.exe did not start in " << folder << " (exit code "
                                             << vyr->exitCode() << ")";
    }
    if (!fixtures.attach(vyr->process())) {
        return ::testing::AssertionFailure() << "fixtures: " << fixtures.lastError();
    }
    for (int i = 0; i < count; i++) {
        HWND window = fixtures.create(
            FixturePlan("Application " + std::to_string(i)).icon(i % 2 ? Icons::Editor : Icons::Terminal).onThread(i % 4));
        if (window == NULL) {
            return ::testing::AssertionFailure() << "fixture window: " << fixtures.lastError();
        }
        windows.push_back(window);
    }
    return ::testing::AssertionSuccess();
}

RunningVyr::~RunningVyr()
{
    if (vyr && vyr->running()) {
        fixtures.destroyAll();
    }
    fixtures.detach();
}

::testing::AssertionResult RunningVyr::command(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!vyr->send(message, wParam, lParam, COMMAND_BOUND_MS)) {
        return ::testing::AssertionFailure() << "message 0x" << std::hex << message
                                             << " not answered: running " << vyr->running() << ", exit code "
                                             << vyr->exitCode();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunningVyr::alive()
{
    if (!vyr->running()) {
        return ::testing::AssertionFailure() << "Vyr.exe ended with exit code 0x" << std::hex << vyr->exitCode();
    }
    return command(WM_NULL);
}

::testing::AssertionResult RunningVyr::endsCleanly()
{
    fixtures.destroyAll();
    if (!vyr->postQuit(0) || !vyr->waitForExit(EXIT_WAIT_MS)) {
        return ::testing::AssertionFailure() << "Vyr.exe did not end when asked";
    }
    if (vyr->exitCode() != 0) {
        return ::testing::AssertionFailure() << "exit code 0x" << std::hex << vyr->exitCode();
    }
    return ::testing::AssertionSuccess();
}

HWND RunningVyr::openSettingsDialog()
{
    vyr->post(WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
    HWND menu = NULL;
    if (!pumpUntil([&] { return (menu = findWindowOfProcess(vyr->id(), MENU_CLASS)) != NULL; }, POPUP_WAIT_MS)) {
        return NULL;
    }
    // The menu loop takes keys from its thread's queue: Down from nothing selects the first item,
    // the settings.
    postKey(menu, VK_DOWN);
    postKey(menu, VK_RETURN);
    HWND dialog = NULL;
    pumpUntil([&] { return (dialog = findWindowOfProcess(vyr->id(), DIALOG_CLASS)) != NULL; }, POPUP_WAIT_MS);
    return dialog;
}

::testing::AssertionResult RunningVyr::confirmSettings(HWND dialog, const std::string& width)
{
    if (!width.empty()) {
        SendMessageA(GetDlgItem(dialog, IDC_WIDTH_EDIT), WM_SETTEXT, 0, (LPARAM)width.c_str());
    }
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    if (!pumpUntil([&] { return !IsWindow(dialog); }, POPUP_WAIT_MS)) {
        return ::testing::AssertionFailure() << "the dialog did not close on OK";
    }
    // A failed save must not be reported in a message box that waits for the user.
    if (findWindowOfProcess(vyr->id(), DIALOG_CLASS) != NULL) {
        return ::testing::AssertionFailure() << "a dialog or message box appeared after OK";
    }
    return alive();
}

RECT RunningVyr::openedRect()
{
    RECT rect = {};
    if (command(WM_SWITCH_FORWARD) && shown()) {
        GetWindowRect(vyr->window(), &rect);
    }
    command(WM_SWITCH_CANCEL);
    return rect;
}

HWND findWindowOfProcess(DWORD processId, const char* className)
{
    for (HWND w = FindWindowExA(NULL, NULL, className, NULL); w != NULL; w = FindWindowExA(NULL, w, className, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == processId && IsWindowVisible(w)) {
            return w;
        }
    }
    return NULL;
}

Immutable::Immutable(const std::string& windowsPath) : host_(hostPath(windowsPath))
{
    done_ = !host_.empty() && runOnHost("chattr +i '" + host_ + "'");
}

Immutable::~Immutable()
{
    if (done_) {
        runOnHost("chattr -i '" + host_ + "'");
    }
}
