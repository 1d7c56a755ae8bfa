// The built program's icons and version block read back as Windows stores them, and the
// drawings in tools/icons they were made from.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace icons {

const int kSide = 32;

// The built Sorvagenta.exe beside the test executable (driver::ProgramPath), loaded for its
// resources only: nothing of it runs.
HMODULE LoadBuiltProgramAsData();

struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};
// The resource stored under English (United States); empty when there is none.
Resource FindEnglishResource(HMODULE module, LPCSTR type, int id);
// Every id of a type, and every language an id is stored under.
std::vector<int> ResourceIds(HMODULE module, LPCSTR type);
std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, int id);

// A 32x32 picture, top row first: a palette index, or transparent.
struct Picture {
    int index[kSide][kSide];
    bool transparent[kSide][kSide];
    bool Black(int x, int y) const {
        return !transparent[y][x] && index[y][x] == 0;
    }
};
// The pixels of a 744-byte 4-bit icon image (bottom-up colour bitmap and mask).
Picture DecodeIconImage(const unsigned char* image);

// The standard 16-colour palette as red, green, blue.
extern const unsigned char kPalette[16][3];

// One figure drawn as text: rows of '#' (black) and '.' (transparent).
typedef std::vector<std::string> FigureRows;
// The drawn figures by face ("tall" or "short") and digit.
typedef std::map<std::pair<std::string, int>, FigureRows> FigureSet;
bool ReadFigures(FigureSet* figures, std::string* error);
// The program's picture as drawn: 32 rows of palette indices, -1 where transparent.
bool ReadProgramPicture(std::vector<std::vector<int>>* picture, std::string* error);

} // namespace icons
