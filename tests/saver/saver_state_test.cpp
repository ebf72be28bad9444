// The framework's state record at process start and the decimal handle reader.
#include <gtest/gtest.h>

#include "saver_state.h"

namespace {

TEST(SaverState, StartValues)
{
    // Nothing in this program touches the record, so it still holds its start values.
    EXPECT_EQ(nullptr, saverState.instance);
    EXPECT_FALSE(saverState.isWin9x);
    EXPECT_EQ(nullptr, saverState.saverWindow);
    EXPECT_FALSE(saverState.isPreview);
    EXPECT_EQ(0, saverState.closeAllowed);
    EXPECT_FALSE(saverState.checkingPassword);
    EXPECT_EQ(nullptr, saverState.verifierModule);
    EXPECT_EQ(nullptr, saverState.verifyPassword);
    EXPECT_EQ(0u, saverState.autoPlayMessage);
    EXPECT_EQ(nullptr, saverState.immModule);
    EXPECT_EQ(nullptr, saverState.immAssociateContext);
    EXPECT_EQ(nullptr, saverState.savedInputContext);
    EXPECT_EQ(0, saverState.referenceCursor.x);
    EXPECT_EQ(0, saverState.referenceCursor.y);
    EXPECT_EQ(4u, saverState.moveThreshold);
    EXPECT_EQ(0xFFFFFFFFu, saverState.lastCheckTick);
}

TEST(ParseWindowHandle, ReadsLeadingDecimalDigits)
{
    EXPECT_EQ(1234u, ParseWindowHandle("1234"));
    EXPECT_EQ(12u, ParseWindowHandle("12ab"));
    EXPECT_EQ(7u, ParseWindowHandle("0007"));
    EXPECT_EQ(12u, ParseWindowHandle("12 34"));
    EXPECT_EQ(4294967295u, ParseWindowHandle("4294967295"));
}

TEST(ParseWindowHandle, NoLeadingDigitGivesZero)
{
    EXPECT_EQ(0u, ParseWindowHandle("abc"));
    EXPECT_EQ(0u, ParseWindowHandle(""));
    EXPECT_EQ(0u, ParseWindowHandle(" 12"));
    EXPECT_EQ(0u, ParseWindowHandle("-12"));
    EXPECT_EQ(0u, ParseWindowHandle("+12"));
}

TEST(ParseWindowHandle, WrapsModulo2To32)
{
    EXPECT_EQ(0u, ParseWindowHandle("4294967296"));
    EXPECT_EQ(1u, ParseWindowHandle("4294967297"));
    EXPECT_EQ(1234u, ParseWindowHandle("4294968530"));
}

TEST(ParseWindowHandle, HighBytesEndTheNumber)
{
    for (int byte = 128; byte <= 255; ++byte) {
        char text[] = {'4', '2', static_cast<char>(byte), '7', '\0'};
        EXPECT_EQ(42u, ParseWindowHandle(text)) << "byte " << byte;
    }
    // The bytes just beside the digits end it too.
    EXPECT_EQ(5u, ParseWindowHandle("5/1"));
    EXPECT_EQ(5u, ParseWindowHandle("5:1"));
}

TEST(ParseWindowHandle, ReadsNothingBeyondTheFirstNonDigit)
{
    // Only "12" and the stop byte are readable: the byte after it is beyond
    // the end of a committed page, so reading it would fault.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    char* pages = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(nullptr, pages);
    ASSERT_NE(nullptr, VirtualAlloc(pages, system.dwPageSize, MEM_COMMIT, PAGE_READWRITE));
    char* text = pages + system.dwPageSize - 3;
    text[0] = '1';
    text[1] = '2';
    text[2] = 'x';
    EXPECT_EQ(12u, ParseWindowHandle(text));
    VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
