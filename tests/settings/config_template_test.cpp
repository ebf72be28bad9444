// The configuration dialog's template as the saver carries it, read from
// the raw resource, and the dialog as it appears on screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "config_dialog_ids.h"
#include "dialog_driver.h"
#include "stored_values.h"
#include "test_paths.h"

namespace {

const WORD buttonAtom = 0x0080;
const WORD staticAtom = 0x0082;
const WORD unaddressed = 0xFFFF;
const DWORD child = WS_CHILD | WS_VISIBLE;

// One control of a dialog template.
struct TemplateItem {
    DWORD style;
    DWORD extendedStyle;
    short x, y, width, height;
    WORD id;
    WORD classAtom;          // 0 when the class is given by name
    std::string className;   // empty when given by atom
    std::string text;
    WORD creationBytes;
};

// A dialog template (the classic form, not the extended one).
struct DialogTemplate {
    DWORD style;
    DWORD extendedStyle;
    short x, y, width, height;
    bool hasMenu;
    bool hasClass;
    std::string caption;
    WORD pointSize;
    std::string face;
    std::vector<TemplateItem> items;
};

// Reads template words and texts in order.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
    bool Overrun() const { return overrun_; }
    WORD Word()
    {
        WORD value = 0;
        if (offset_ + 2 > size_) { overrun_ = true; return 0; }
        memcpy(&value, data_ + offset_, 2);
        offset_ += 2;
        return value;
    }
    DWORD Dword() { WORD low = Word(); return low | (static_cast<DWORD>(Word()) << 16); }
    short Short() { return static_cast<short>(Word()); }
    // A NUL-terminated UTF-16 text of ASCII characters ('?' for others).
    std::string Text()
    {
        std::string text;
        for (WORD c = Word(); c && !overrun_; c = Word())
            text += c < 128 ? static_cast<char>(c) : '?';
        return text;
    }
    // A text or an ordinal (0xFFFF and a number); ordinal gets the number.
    std::string TextOrOrdinal(WORD* ordinal)
    {
        *ordinal = 0;
        WORD first = Word();
        if (first == 0xFFFF) { *ordinal = Word(); return ""; }
        if (first == 0) return "";
        offset_ -= 2;
        return Text();
    }
    void AlignToDword() { offset_ = (offset_ + 3) & ~3u; }
    void Skip(DWORD bytes) { offset_ += bytes; }
private:
    const BYTE* data_;
    DWORD size_;
    DWORD offset_ = 0;
    bool overrun_ = false;
};

// Parses a classic dialog template; false when it is not one or is cut short.
bool ParseTemplate(const BYTE* data, DWORD size, DialogTemplate* dialog)
{
    TemplateReader reader(data, size);
    dialog->style = reader.Dword();
    if (HIWORD(dialog->style) == 0xFFFF)
        return false;  // an extended template
    dialog->extendedStyle = reader.Dword();
    WORD count = reader.Word();
    dialog->x = reader.Short();
    dialog->y = reader.Short();
    dialog->width = reader.Short();
    dialog->height = reader.Short();
    WORD ordinal;
    dialog->hasMenu = !reader.TextOrOrdinal(&ordinal).empty() || ordinal;
    dialog->hasClass = !reader.TextOrOrdinal(&ordinal).empty() || ordinal;
    dialog->caption = reader.Text();
    dialog->pointSize = 0;
    if (dialog->style & DS_SETFONT) {
        dialog->pointSize = reader.Word();
        dialog->face = reader.Text();
    }
    for (WORD i = 0; i < count && !reader.Overrun(); ++i) {
        reader.AlignToDword();
        TemplateItem item;
        item.style = reader.Dword();
        item.extendedStyle = reader.Dword();
        item.x = reader.Short();
        item.y = reader.Short();
        item.width = reader.Short();
        item.height = reader.Short();
        item.id = reader.Word();
        item.className = reader.TextOrOrdinal(&item.classAtom);
        WORD textOrdinal;
        item.text = reader.TextOrOrdinal(&textOrdinal);
        item.creationBytes = reader.Word();
        reader.Skip(item.creationBytes);
        dialog->items.push_back(item);
    }
    return !reader.Overrun() && dialog->items.size() == count;
}

// The raw bytes of dialog 2003 in US English from a module.
std::vector<BYTE> DialogResource(HMODULE module)
{
    HRSRC found = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG),
                                  MAKEINTRESOURCEA(IDD_CONFIG),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found)
        return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

// Collects the languages a resource exists in.
BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// The control table every copy of the template must match.
struct ExpectedItem {
    WORD id;
    WORD classAtom;
    const char* text;  // null: our own wording, checked apart
    short x, y, width, height;
    DWORD style;
};
const ExpectedItem expectedItems[] = {
    {IDOK, buttonAtom, "OK", 57, 90, 50, 14,
     BS_DEFPUSHBUTTON | child | WS_GROUP | WS_TABSTOP},
    {unaddressed, staticAtom, nullptr, 8, 3, 155, 8, SS_LEFT | child | WS_GROUP},
    {unaddressed, staticAtom, nullptr, 40, 12, 85, 8, SS_LEFT | child | WS_GROUP},
    {unaddressed, buttonAtom, "Resolution", 1, 24, 168, 27, BS_GROUPBOX | child},
    {IDC_DESKTOP_RES, buttonAtom, "Desktop Res", 6, 35, 54, 12, BS_AUTORADIOBUTTON | child},
    {IDC_RES_640X480, buttonAtom, "640 x 480", 66, 35, 46, 12, BS_AUTORADIOBUTTON | child},
    {IDC_RES_800X600, buttonAtom, "800 x 600", 118, 35, 46, 12, BS_AUTORADIOBUTTON | child},
    {unaddressed, buttonAtom, "Driver", 0, 58, 168, 24, BS_GROUPBOX | child},
    {IDC_USE_DEFAULT_GL, buttonAtom, "Use Default OpenGL", 6, 68, 78, 9,
     BS_AUTOCHECKBOX | child | WS_TABSTOP},
};

class SaverModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        saver_ = LoadLibraryExA((ProgramFolder() + "opengl.scr").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, saver_);
    }
    void TearDown() override { if (saver_) FreeLibrary(saver_); }
    HMODULE saver_ = nullptr;
};

}  // namespace

TEST_F(SaverModule, DialogTemplateIsTheConfigurationDialog)
{
    std::vector<BYTE> bytes = DialogResource(saver_);
    ASSERT_FALSE(bytes.empty()) << "no US English dialog 2003 in opengl.scr";
    DialogTemplate dialog = {};
    ASSERT_TRUE(ParseTemplate(bytes.data(), static_cast<DWORD>(bytes.size()), &dialog));

    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                 DS_MODALFRAME | DS_SETFONT), dialog.style);
    EXPECT_EQ(0u, dialog.extendedStyle);
    EXPECT_EQ(28, dialog.x);
    EXPECT_EQ(25, dialog.y);
    EXPECT_EQ(169, dialog.width);
    EXPECT_EQ(114, dialog.height);
    EXPECT_FALSE(dialog.hasMenu);
    EXPECT_FALSE(dialog.hasClass);
    EXPECT_EQ("Zelvo", dialog.caption);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.face);

    ASSERT_EQ(9u, dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const TemplateItem& item = dialog.items[i];
        const ExpectedItem& expected = expectedItems[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(expected.id, item.id);
        EXPECT_EQ(expected.classAtom, item.classAtom);
        EXPECT_EQ("", item.className);
        if (expected.text) {
            EXPECT_EQ(expected.text, item.text);
        } else {
            EXPECT_FALSE(item.text.empty());
        }
        EXPECT_EQ(expected.x, item.x);
        EXPECT_EQ(expected.y, item.y);
        EXPECT_EQ(expected.width, item.width);
        EXPECT_EQ(expected.height, item.height);
        EXPECT_EQ(expected.style, item.style);
        EXPECT_EQ(0u, item.extendedStyle);
        EXPECT_EQ(0, item.creationBytes);
    }
    EXPECT_NE(std::string::npos, dialog.items[1].text.find("Zelvo"));
}

TEST_F(SaverModule, DialogExistsInUsEnglishOnly)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(saver_, reinterpret_cast<LPCSTR>(RT_DIALOG),
                           MAKEINTRESOURCEA(IDD_CONFIG), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    ASSERT_EQ(1u, languages.size());
    EXPECT_EQ(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), languages[0]);
}

TEST_F(SaverModule, TestProgramShowsTheSaversOwnTemplate)
{
    std::vector<BYTE> saverCopy = DialogResource(saver_);
    std::vector<BYTE> ownCopy = DialogResource(GetModuleHandleA(nullptr));
    ASSERT_FALSE(saverCopy.empty());
    EXPECT_EQ(saverCopy, ownCopy);
}

namespace {

// The dialog's children in z order (which is template order).
std::vector<HWND> ChildrenOf(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// Room a control needs around its text, in pixels: the box of a radio
// button or check box and its gap, the frame of a push button, the
// indentation of a group box's title.
int TextAllowance(const ExpectedItem& item)
{
    switch (item.style & 0x0F) {
    case BS_AUTORADIOBUTTON:
    case BS_AUTOCHECKBOX:
        return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    case BS_DEFPUSHBUTTON:
        return 8;
    case BS_GROUPBOX:
        return 16;
    }
    return 0;
}

// Writes a window's pixels as the screen shows them to a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::string& path)
{
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    DWORD rowBytes = (width * 3 + 3) & ~3;
    std::vector<BYTE> pixels(rowBytes * height);
    GetDIBits(memory, picture, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::vector<BYTE> colours(pixels);
    bool varied = false;
    for (DWORD i = 3; i + 3 <= colours.size() && !varied; i += 3)
        varied = memcmp(&colours[i], &colours[0], 3) != 0;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &info, sizeof info, &written, nullptr);
    WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(out);
    return varied;
}

}  // namespace

TEST(ConfigDialogOnScreen, ControlsSitWhereTheTemplatePutsThem)
{
    DeleteSettingsKey();
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        RECT client, expectedClient = {0, 0, 169, 114};
        GetClientRect(dialog, &client);
        MapDialogRect(dialog, &expectedClient);
        EXPECT_EQ(expectedClient.right, client.right);
        EXPECT_EQ(expectedClient.bottom, client.bottom);

        std::vector<HWND> children = ChildrenOf(dialog);
        ASSERT_EQ(9u, children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            const ExpectedItem& expected = expectedItems[i];
            SCOPED_TRACE("control " + std::to_string(i + 1));
            EXPECT_EQ(expected.id, static_cast<WORD>(GetDlgCtrlID(children[i])));
            char className[32] = {};
            GetClassNameA(children[i], className, sizeof className);
            EXPECT_STREQ(expected.classAtom == buttonAtom ? "Button" : "Static", className);
            // Position and size convert to pixels each on its own.
            RECT place = {expected.x, expected.y, expected.width, expected.height};
            MapDialogRect(dialog, &place);
            RECT actual;
            GetWindowRect(children[i], &actual);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(place.left, actual.left);
            EXPECT_EQ(place.top, actual.top);
            EXPECT_EQ(place.right, actual.right - actual.left);
            EXPECT_EQ(place.bottom, actual.bottom - actual.top);
        }
        Click(dialog, IDOK);
    });
}

TEST(ConfigDialogOnScreen, EveryTextFitsItsControl)
{
    DeleteSettingsKey();
    RunConfigDialogDriven([](HWND dialog, DWORD) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, font);
        HDC dc = GetDC(dialog);
        HGDIOBJ old = SelectObject(dc, font);
        std::vector<HWND> children = ChildrenOf(dialog);
        ASSERT_EQ(9u, children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            char text[128] = {};
            GetWindowTextA(children[i], text, sizeof text);
            SIZE extent;
            GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
            RECT area;
            GetClientRect(children[i], &area);
            SCOPED_TRACE(text);
            EXPECT_LE(extent.cx + TextAllowance(expectedItems[i]), area.right);
            if ((expectedItems[i].style & 0x0F) != BS_GROUPBOX) {
                EXPECT_LE(extent.cy, area.bottom);
            }
        }
        SelectObject(dc, old);
        ReleaseDC(dialog, dc);
        Click(dialog, IDOK);
    });
}

TEST(ConfigDialogOnScreen, PictureForReview)
{
    DeleteSettingsKey();
    StoreNumber("resolution", 1013);
    StoreNumber("usedefault", 1);
    std::string path = TestOutputPath("config_dialog.bmp");
    RunConfigDialogDriven([&](HWND dialog, DWORD) {
        SetForegroundWindow(dialog);
        RedrawWindow(dialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        EXPECT_TRUE(SaveWindowPicture(dialog, path)) << path;
        Click(dialog, IDOK);
    });
    DeleteSettingsKey();
}
