// The configuration dialog, shown for real and driven from a second thread
// with clicks, commands and injected keys and mouse input; the registry of
// the run's Wine prefix is read afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config_dialog_ids.h"
#include "dialog_driver.h"
#include "settings.h"
#include "stored_values.h"

namespace {

const int radioIds[] = {IDC_DESKTOP_RES, IDC_RES_640X480, IDC_RES_800X600};

// The check marks of the three resolution buttons, as "100", "010" and so on.
std::string RadioMarks(HWND dialog)
{
    std::string marks;
    for (int id : radioIds)
        marks += IsChecked(dialog, id) ? '1' : '0';
    return marks;
}

// What a run of the dialog left in the registry.
struct StoredSettings {
    StoredValue resolution, usedefault, datapath;
};

StoredSettings StoredNow()
{
    return {QueryValue("resolution"), QueryValue("usedefault"), QueryValue("datapath")};
}

// True when the three values are byte for byte what they were.
bool Unchanged(const StoredSettings& before)
{
    StoredSettings now = StoredNow();
    auto same = [](const StoredValue& a, const StoredValue& b) {
        return a.present == b.present && a.type == b.type && a.bytes == b.bytes;
    };
    return same(before.resolution, now.resolution) && same(before.usedefault, now.usedefault) &&
           same(before.datapath, now.datapath);
}

// Checks what an OK stored: two 4-byte REG_DWORDs and the whole 80-byte path.
void ExpectStored(DWORD resolution, DWORD usedefault, const std::string& path)
{
    StoredSettings stored = StoredNow();
    ASSERT_TRUE(stored.resolution.present);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), stored.resolution.type);
    EXPECT_EQ(resolution, NumberIn(stored.resolution));
    ASSERT_TRUE(stored.usedefault.present);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), stored.usedefault.type);
    EXPECT_EQ(usedefault, NumberIn(stored.usedefault));
    ASSERT_TRUE(stored.datapath.present);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored.datapath.type);
    EXPECT_EQ(80u, stored.datapath.bytes.size());
    EXPECT_EQ(PathBuffer(path), stored.datapath.bytes);
}

// Toggles the check box with a posted click and waits until it has been
// handled; anything posted before it has been handled too.
bool ToggleAfterQueuedMessages(HWND dialog)
{
    bool wasChecked = IsChecked(dialog, IDC_USE_DEFAULT_GL);
    PostMessageA(GetDlgItem(dialog, IDC_USE_DEFAULT_GL), BM_CLICK, 0, 0);
    return WaitFor([&] { return IsChecked(dialog, IDC_USE_DEFAULT_GL) != wasChecked; });
}

// Brings the dialog to the front so that injected input reaches it.
bool BringToFront(HWND dialog)
{
    SetForegroundWindow(dialog);
    return WaitFor([&] { return GetForegroundWindow() == dialog; });
}

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }
};

}  // namespace

TEST_F(ConfigDialog, FirstRunShowsDefaultsAndOkStoresAllThree)
{
    ASSERT_TRUE(PrepareConfigDialog(GetModuleHandleA(nullptr)));
    INT_PTR result = RunConfigDialogDriven([](HWND dialog, DWORD thread) {
        EXPECT_EQ("100", RadioMarks(dialog));
        EXPECT_EQ(GetDlgItem(dialog, IDC_DESKTOP_RES), FocusOn(thread));
        EXPECT_FALSE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        // Opening created the key but stored nothing yet.
        EXPECT_TRUE(SettingsKeyExists());
        EXPECT_FALSE(QueryValue("resolution").present);
        EXPECT_FALSE(QueryValue("datapath").present);
        Click(dialog, IDOK);
        EXPECT_TRUE(DialogEnded(dialog));
    });
    EXPECT_EQ(1, result);
    ExpectStored(1012, 0, "c:\\windows");
}

TEST_F(ConfigDialog, StoredZeroIsShownAndWrittenBackAsDesktopRes)
{
    StoreNumber("resolution", 0);
    StoreNumber("usedefault", 0);
    INT_PTR result = RunConfigDialogDriven([](HWND dialog, DWORD thread) {
        EXPECT_EQ("100", RadioMarks(dialog));
        EXPECT_EQ(GetDlgItem(dialog, IDC_DESKTOP_RES), FocusOn(thread));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    ExpectStored(1012, 0, "c:\\windows");
}

TEST_F(ConfigDialog, StoredChoiceIsShownWithTheFocusOnIt)
{
    StoreNumber("resolution", 1014);
    RunConfigDialogDriven([](HWND dialog, DWORD thread) {
        EXPECT_EQ("001", RadioMarks(dialog));
        EXPECT_EQ(GetDlgItem(dialog, IDC_RES_800X600), FocusOn(thread));
        Click(dialog, IDOK);
    });
    ExpectStored(1014, 0, "c:\\windows");
}

TEST_F(ConfigDialog, UnknownResolutionIsLeftUnchanged)
{
    StoreNumber("resolution", 1099);
    RunConfigDialogDriven([](HWND dialog, DWORD thread) {
        EXPECT_EQ("000", RadioMarks(dialog));
        HWND focus = FocusOn(thread);
        for (int id : radioIds)
            EXPECT_NE(GetDlgItem(dialog, id), focus) << id;
        Click(dialog, IDOK);
    });
    ExpectStored(1099, 0, "c:\\windows");
}

TEST_F(ConfigDialog, UnknownResolutionIsReplacedByAClick)
{
    StoreNumber("resolution", 1099);
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        Click(dialog, IDC_RES_640X480);
        EXPECT_EQ("010", RadioMarks(dialog));
        Click(dialog, IDOK);
    });
    ExpectStored(1013, 0, "c:\\windows");
}

TEST_F(ConfigDialog, ResolutionButtonsExcludeEachOther)
{
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        Click(dialog, IDC_RES_640X480);
        EXPECT_EQ("010", RadioMarks(dialog));
        Click(dialog, IDC_RES_800X600);
        EXPECT_EQ("001", RadioMarks(dialog));
        Click(dialog, IDC_DESKTOP_RES);
        EXPECT_EQ("100", RadioMarks(dialog));
        Click(dialog, IDC_RES_800X600);
        EXPECT_EQ("001", RadioMarks(dialog));
        // Nothing is stored before OK.
        EXPECT_FALSE(QueryValue("resolution").present);
        Click(dialog, IDOK);
    });
    ExpectStored(1014, 0, "c:\\windows");
}

TEST_F(ConfigDialog, CheckBoxClickedTwiceKeepsTheFlag)
{
    StoreNumber("resolution", 1013);
    StoreNumber("usedefault", 0);
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        Click(dialog, IDC_USE_DEFAULT_GL);
        EXPECT_TRUE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        Click(dialog, IDC_USE_DEFAULT_GL);
        EXPECT_FALSE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        Click(dialog, IDOK);
    });
    ExpectStored(1013, 0, "c:\\windows");
}

TEST_F(ConfigDialog, StoredFlagIsShownCheckedAndOneClickClearsIt)
{
    StoreNumber("usedefault", 1);
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        EXPECT_TRUE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        Click(dialog, IDC_USE_DEFAULT_GL);
        EXPECT_FALSE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        Click(dialog, IDOK);
    });
    ExpectStored(1012, 0, "c:\\windows");
}

TEST_F(ConfigDialog, StoredPathIsWrittenBackWhole)
{
    StoreText("datapath", "d:\\pictures");
    RunConfigDialogDriven([](HWND dialog, DWORD) { Click(dialog, IDOK); });
    ExpectStored(1012, 0, "d:\\pictures");
}

TEST_F(ConfigDialog, CancelInAnyFormLeavesTheDialogOpenAndTheRegistryAlone)
{
    StoreNumber("resolution", 1014);
    StoreNumber("usedefault", 1);
    StoreText("datapath", "d:\\x");  // 5 bytes: an OK would make it 80
    StoredSettings before = StoredNow();
    INT_PTR result = RunConfigDialogDriven([&](HWND dialog, DWORD) {
        struct { const char* name; HWND target; UINT message; WPARAM wParam; } cancels[] = {
            {"Esc", GetDlgItem(dialog, IDC_RES_800X600), WM_KEYDOWN, VK_ESCAPE},
            {"close box", dialog, WM_SYSCOMMAND, SC_CLOSE},
            {"close", dialog, WM_CLOSE, 0},
            {"cancel command", dialog, WM_COMMAND, IDCANCEL},
        };
        int expectedCancels = 0;
        for (const auto& cancel : cancels) {
            PostMessageA(cancel.target, cancel.message, cancel.wParam, 0);
            ++expectedCancels;
            EXPECT_TRUE(WaitFor([&] { return CancelCommandsSeen() == expectedCancels; }))
                << cancel.name;
            // A toggle posted behind the cancel is handled after it.
            EXPECT_TRUE(ToggleAfterQueuedMessages(dialog)) << cancel.name;
            EXPECT_TRUE(ToggleAfterQueuedMessages(dialog)) << cancel.name;
            EXPECT_FALSE(DialogEnded(dialog)) << cancel.name;
            EXPECT_TRUE(Unchanged(before)) << cancel.name;
        }
        EXPECT_EQ(1, CloseRequestsSeen());
        EXPECT_EQ("001", RadioMarks(dialog));
        EXPECT_TRUE(IsChecked(dialog, IDC_USE_DEFAULT_GL));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    ExpectStored(1014, 1, "d:\\x");
}

TEST_F(ConfigDialog, KeyboardDrivesTheDialog)
{
    StoreNumber("resolution", 1013);
    StoredSettings before = StoredNow();
    INT_PTR result = RunConfigDialogDriven([&](HWND dialog, DWORD thread) {
        ASSERT_TRUE(BringToFront(dialog));
        HWND checkBox = GetDlgItem(dialog, IDC_USE_DEFAULT_GL);
        ASSERT_EQ(GetDlgItem(dialog, IDC_RES_640X480), FocusOn(thread));
        // Tab stops are OK and the check box only: from the resolution the
        // focus goes to the check box, Space ticks it.
        PressKey(VK_TAB);
        EXPECT_TRUE(WaitFor([&] { return FocusOn(thread) == checkBox; }));
        PressKey(VK_SPACE);
        EXPECT_TRUE(WaitFor([&] { return IsChecked(dialog, IDC_USE_DEFAULT_GL); }));
        // Esc and Alt+F4 bring the cancel command, which changes nothing; the
        // Space behind each shows the dialog still takes input.
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitFor([] { return CancelCommandsSeen() == 1; }));
        PressKey(VK_SPACE);
        EXPECT_TRUE(WaitFor([&] { return !IsChecked(dialog, IDC_USE_DEFAULT_GL); }));
        PressKey(VK_F4, true);
        EXPECT_TRUE(WaitFor([] { return CloseRequestsSeen() == 1 && CancelCommandsSeen() == 2; }));
        PressKey(VK_SPACE);
        EXPECT_TRUE(WaitFor([&] { return IsChecked(dialog, IDC_USE_DEFAULT_GL); }));
        EXPECT_FALSE(DialogEnded(dialog));
        EXPECT_TRUE(Unchanged(before));
        // Enter presses the default button, OK.
        PressKey(VK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return DialogEnded(dialog); }));
    });
    EXPECT_EQ(1, result);
    ExpectStored(1013, 1, "c:\\windows");
}

TEST_F(ConfigDialog, MouseOnTheCloseBoxChangesNothing)
{
    StoreNumber("resolution", 1012);
    StoredSettings before = StoredNow();
    RunConfigDialogDriven([&](HWND dialog, DWORD) {
        ASSERT_TRUE(BringToFront(dialog));
        // Find the close box along the caption from the right.
        RECT frame;
        GetWindowRect(dialog, &frame);
        POINT closeBox = {0, 0};
        for (int y = frame.top; y < frame.top + 40 && !closeBox.x; ++y)
            for (int x = frame.right - 1; x > frame.right - 60; --x)
                if (SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                    closeBox = {x - 3, y + 3};
                    break;
                }
        ASSERT_NE(0, closeBox.x) << "no close box on the caption";
        ASSERT_EQ(HTCLOSE, SendMessageA(dialog, WM_NCHITTEST, 0,
                                        MAKELPARAM(closeBox.x, closeBox.y)));
        ASSERT_TRUE(ClickScreenAt(closeBox));
        EXPECT_TRUE(WaitFor([] { return CloseRequestsSeen() == 1 && CancelCommandsSeen() == 1; }));
        // A click on the check box afterwards shows the dialog still takes input.
        RECT box;
        GetWindowRect(GetDlgItem(dialog, IDC_USE_DEFAULT_GL), &box);
        EXPECT_TRUE(ClickScreenAt({box.left + 5, (box.top + box.bottom) / 2}));
        EXPECT_TRUE(WaitFor([&] { return IsChecked(dialog, IDC_USE_DEFAULT_GL); }));
        EXPECT_FALSE(DialogEnded(dialog));
        EXPECT_TRUE(Unchanged(before));
        Click(dialog, IDOK);
    });
    ExpectStored(1012, 1, "c:\\windows");
}
