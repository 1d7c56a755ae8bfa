// An extended dialog template (DLGTEMPLATEEX) as the resource compiler stored it in the
// built program: the running dialog cannot show every style it was given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace driver {

// A field that is absent (no ordinal, no name), a 16-bit ordinal, or a name.
struct NameOrOrdinal {
    WORD ordinal = 0;
    std::string name; // UTF-8
};

struct DialogItem {
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
};

struct DialogTemplate {
    WORD version = 0, signature = 0;
    DWORD exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu, windowClass;
    std::string title;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::string typeface;
    size_t headerBytes = 0; // up to the end of the typeface, before the first item
    std::vector<DialogItem> items;
};

// False when the bytes end before the template does.
bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* out);

// The bytes of one of Sorvagenta.exe's dialogs, stored under English (United States).
testing::AssertionResult LoadProgramDialog(int id, std::vector<BYTE>* bytes);

// A control's class in lower case: rc stores the predefined classes as ordinals, windres
// as names, and class names are matched without case.
std::string TemplateClassName(const NameOrOrdinal& field);

// What a test expects of one control of a template: what the running control cannot show
// in full. Texts and places are seen on the running dialogs.
struct ExpectedItem {
    DWORD id;
    const char* windowClass; // lower case
    DWORD exStyle, style;
};

// The template's styles and its controls, in order.
void ExpectTemplate(const DialogTemplate& dialog, DWORD exStyle, DWORD style,
                    const std::vector<ExpectedItem>& items);

// Loads and parses one of the program's dialog templates for each test.
class ProgramDialogTest : public testing::Test {
  protected:
    void LoadDialog(int id);
    std::vector<BYTE> bytes;
    DialogTemplate dialog;
};

} // namespace driver
