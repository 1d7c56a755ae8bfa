// The Details dialog's template as stored in the built program: the running dialog cannot
// show every style (Wine's progress bar trades WS_BORDER for an edge of its own).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource.h"
#include "support/program_driver.h"

namespace {

// A name-or-ordinal field of a dialog template.
struct NameOrOrdinal {
    WORD ordinal = 0;
    std::string name;
};

struct ItemTemplate {
    DWORD exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
};

struct DialogTemplate {
    WORD version, signature;
    DWORD exStyle, style;
    short x, y, cx, cy;
    NameOrOrdinal menu, windowClass;
    std::string title;
    WORD pointSize, weight;
    BYTE italic, charset;
    std::string face;
    std::vector<ItemTemplate> items;
};

class TemplateReader {
  public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size), at_(0) {}
    bool ok() const {
        return ok_;
    }
    template <typename T> T Read() {
        T value = T();
        if (at_ + sizeof value > size_) {
            ok_ = false;
            return value;
        }
        memcpy(&value, data_ + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    std::string ReadText() {
        std::string text;
        for (WCHAR c = Read<WCHAR>(); ok_ && c != 0; c = Read<WCHAR>()) {
            text += c < 128 ? (char)c : '?';
        }
        return text;
    }
    NameOrOrdinal ReadNameOrOrdinal() {
        NameOrOrdinal field;
        WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            field.ordinal = Read<WORD>();
        } else if (first != 0) {
            at_ -= sizeof(WORD);
            field.name = ReadText();
        }
        return field;
    }
    void AlignToDword() {
        at_ = (at_ + 3) & ~(size_t)3;
    }

  private:
    const BYTE* data_;
    size_t size_;
    size_t at_;
    bool ok_ = true;
};

bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* out) {
    TemplateReader in(data, size);
    out->version = in.Read<WORD>();
    out->signature = in.Read<WORD>();
    in.Read<DWORD>(); // help id
    out->exStyle = in.Read<DWORD>();
    out->style = in.Read<DWORD>();
    WORD count = in.Read<WORD>();
    out->x = in.Read<short>();
    out->y = in.Read<short>();
    out->cx = in.Read<short>();
    out->cy = in.Read<short>();
    out->menu = in.ReadNameOrOrdinal();
    out->windowClass = in.ReadNameOrOrdinal();
    out->title = in.ReadText();
    if (out->style & DS_SETFONT) {
        out->pointSize = in.Read<WORD>();
        out->weight = in.Read<WORD>();
        out->italic = in.Read<BYTE>();
        out->charset = in.Read<BYTE>();
        out->face = in.ReadText();
    }
    for (WORD i = 0; i < count && in.ok(); ++i) {
        in.AlignToDword();
        ItemTemplate item;
        in.Read<DWORD>(); // help id
        item.exStyle = in.Read<DWORD>();
        item.style = in.Read<DWORD>();
        item.x = in.Read<short>();
        item.y = in.Read<short>();
        item.cx = in.Read<short>();
        item.cy = in.Read<short>();
        item.id = in.Read<DWORD>();
        item.windowClass = in.ReadNameOrOrdinal();
        item.text = in.ReadNameOrOrdinal();
        WORD extra = in.Read<WORD>();
        for (WORD b = 0; b < extra; ++b) {
            in.Read<BYTE>();
        }
        out->items.push_back(item);
    }
    return in.ok();
}

// rc stores the predefined classes as ordinals, windres as names: either is the class.
std::string ClassName(const NameOrOrdinal& field) {
    if (field.ordinal == 0x0080) {
        return "button";
    }
    if (field.ordinal == 0x0082) {
        return "static";
    }
    std::string lower = field.name;
    for (char& c : lower) {
        c = (char)tolower((unsigned char)c);
    }
    return lower;
}

class DetailsTemplate : public testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryExA(driver::ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE((HMODULE)NULL, module);
        HRSRC found = FindResourceExA(module, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(IDD_DETAILS),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE((HRSRC)NULL, found) << "dialog 100 stored under language 1033";
        const BYTE* data = (const BYTE*)LockResource(LoadResource(module, found));
        ASSERT_TRUE(ParseDialogTemplate(data, SizeofResource(module, found), &dialog));
    }
    void TearDown() override {
        if (module) {
            FreeLibrary(module);
        }
    }
    HMODULE module = NULL;
    DialogTemplate dialog;
};

TEST_F(DetailsTemplate, IsAnExtendedTemplateWithTheDialogsFrameFontAndPlace) {
    EXPECT_EQ(1, dialog.version);
    EXPECT_EQ(0xFFFF, dialog.signature);
    EXPECT_EQ((DWORD)WS_EX_DLGMODALFRAME, dialog.exStyle);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                      DS_MODALFRAME | DS_SETFONT),
              dialog.style);
    EXPECT_EQ(274, dialog.x);
    EXPECT_EQ(92, dialog.y);
    EXPECT_EQ(174, dialog.cx);
    EXPECT_EQ(70, dialog.cy);
    EXPECT_EQ(0, dialog.menu.ordinal);
    EXPECT_EQ("", dialog.menu.name);
    EXPECT_EQ(0, dialog.windowClass.ordinal);
    EXPECT_EQ("", dialog.windowClass.name);
    EXPECT_EQ("", dialog.title) << "the caption is set when the dialog opens";
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(0, dialog.weight);
    EXPECT_EQ(0, dialog.italic);
    EXPECT_EQ(0, dialog.charset);
    EXPECT_EQ("MS Sans Serif", dialog.face);
}

TEST_F(DetailsTemplate, HoldsTheSevenControlsInOrderWithTheirClassesTextsStylesAndPlaces) {
    struct Expected {
        DWORD id;
        const char* windowClass;
        const char* text;
        DWORD style;
        short x, y, cx, cy;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Expected expected[] = {
        {IDC_OKAY, "button", "Okay", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 68, 53, 36, 13},
        {IDC_USED_BAR, "msctls_progress32", "Progress1", child | WS_BORDER | PBS_SMOOTH, 1, 22, 172,
         7},
        {IDC_USED_TEXT, "static", "Static", child | SS_LEFT | WS_GROUP, 1, 13, 172, 8},
        {IDC_FREE_BAR, "msctls_progress32", "Progress1", child | WS_BORDER | PBS_SMOOTH, 1, 42, 172,
         7},
        {IDC_FREE_TEXT, "static", "Static", child | SS_LEFT | WS_GROUP, 1, 33, 172, 8},
        {IDC_TOTAL_TEXT, "static", "Static", child | SS_CENTER | WS_GROUP, 1, 1, 172, 8},
        {IDC_TOPMOST, "button", "Top Most", child | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, 1,
         59, 46, 10},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const ItemTemplate& item = dialog.items[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " (id " << want.id << ")");
        EXPECT_EQ(want.id, item.id);
        EXPECT_EQ(want.windowClass, ClassName(item.windowClass));
        EXPECT_EQ(0, item.text.ordinal);
        EXPECT_EQ(want.text, item.text.name);
        EXPECT_EQ(want.style, item.style);
        EXPECT_EQ(0u, item.exStyle);
        EXPECT_EQ(want.x, item.x);
        EXPECT_EQ(want.y, item.y);
        EXPECT_EQ(want.cx, item.cx);
        EXPECT_EQ(want.cy, item.cy);
    }
}

} // namespace
