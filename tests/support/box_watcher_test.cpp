// The message-box watcher that other tests rely on: it must see each box
// with its caption, text, icon and buttons, and dismiss it.
#include "box_watcher.h"

#include <gtest/gtest.h>

TEST(BoxWatcher, RecordsAndDismissesBoxesOfThisProcess)
{
    BoxWatch watch;
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "first text", "First", MB_OK));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "second text", "Second", MB_ICONHAND));
    std::vector<SeenBox> boxes = watch.Stop();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("First", boxes[0].caption);
    EXPECT_EQ("first text", boxes[0].text);
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_EQ(1, boxes[0].buttonCount);
    EXPECT_EQ("Second", boxes[1].caption);
    EXPECT_TRUE(boxes[1].hasIcon);
}

TEST(BoxWatcher, RecordsTheOwner)
{
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE,
                                 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    BoxWatch watch;
    MessageBoxA(owner, "owned", "Owned", MB_OK);
    std::vector<SeenBox> boxes = watch.Stop();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(owner, boxes[0].owner);
    DestroyWindow(owner);
}

TEST(BoxWatcher, SeesNothingWhenNoBoxIsShown)
{
    BoxWatch watch;
    Sleep(50);
    EXPECT_TRUE(watch.Stop().empty());
}
