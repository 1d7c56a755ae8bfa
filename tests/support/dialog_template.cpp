#include "support/dialog_template.h"

#include <ctype.h>
#include <string.h>

#include "support/program_test.h"

namespace driver {

namespace {

class TemplateReader {
  public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool ok() const {
        return ok_;
    }
    size_t At() const {
        return at_;
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
        std::wstring text;
        for (WCHAR c = Read<WCHAR>(); ok_ && c != 0; c = Read<WCHAR>()) {
            text += c;
        }
        if (text.empty()) {
            return std::string();
        }
        int bytes =
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
        std::string out(bytes, '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, NULL, NULL);
        return out;
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
    size_t at_ = 0;
    bool ok_ = true;
};

} // namespace

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
        out->typeface = in.ReadText();
    }
    out->headerBytes = in.At();
    out->items.clear();
    for (WORD i = 0; i < count && in.ok(); ++i) {
        in.AlignToDword();
        DialogItem item;
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

testing::AssertionResult LoadProgramDialog(int id, std::vector<BYTE>* bytes) {
    bytes->clear();
    HMODULE program = LoadProgramAsData();
    if (!program) {
        return testing::AssertionFailure() << "cannot load " << ProgramPath();
    }
    Resource found = FindEnglishResource(program, (LPCSTR)RT_DIALOG, id);
    bytes->assign(found.data, found.data + found.size);
    FreeLibrary(program);
    if (bytes->empty()) {
        return testing::AssertionFailure() << "no dialog " << id << " under language 1033";
    }
    return testing::AssertionSuccess();
}

std::string TemplateClassName(const NameOrOrdinal& field) {
    static const char* const predefined[] = {"button",  "edit",      "static",
                                             "listbox", "scrollbar", "combobox"};
    if (field.ordinal >= 0x80 && field.ordinal < 0x80 + 6) {
        return predefined[field.ordinal - 0x80];
    }
    std::string lower = field.name;
    for (char& c : lower) {
        c = (char)tolower((unsigned char)c);
    }
    return lower;
}

void ExpectTemplate(const DialogTemplate& dialog, DWORD exStyle, DWORD style,
                    const std::vector<ExpectedItem>& items) {
    EXPECT_EQ(0xFFFF, dialog.signature) << "an extended template";
    EXPECT_EQ(exStyle, dialog.exStyle);
    EXPECT_EQ(style, dialog.style);
    ASSERT_EQ(items.size(), dialog.items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "control id " << items[i].id);
        EXPECT_EQ(items[i].id, dialog.items[i].id);
        EXPECT_EQ(items[i].windowClass, TemplateClassName(dialog.items[i].windowClass));
        EXPECT_EQ(items[i].exStyle, dialog.items[i].exStyle);
        EXPECT_EQ(items[i].style, dialog.items[i].style);
    }
}

void ProgramDialogTest::LoadDialog(int id) {
    ASSERT_TRUE(LoadProgramDialog(id, &bytes));
    ASSERT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog));
}

} // namespace driver
