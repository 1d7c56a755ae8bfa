#include "icon_images.h"

#include <stdio.h>
#include <string.h>

#include <fstream>

#include "support/program_test.h"

namespace icons {

const unsigned char kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

namespace {

const WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    std::vector<int>* ids = (std::vector<int>*)param;
    // Named resources count as id -1: the program addresses everything by number.
    ids->push_back(IS_INTRESOURCE(name) ? (int)(ULONG_PTR)name : -1);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    ((std::vector<WORD>*)param)->push_back(language);
    return TRUE;
}

bool ReadLines(const char* name, std::vector<std::string>* lines, std::string* error) {
    std::string path = std::string(ICON_SOURCE_DIR) + "/" + name;
    std::ifstream in(path.c_str());
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines->push_back(line);
    }
    return true;
}

} // namespace

HMODULE LoadBuiltProgramAsData() {
    return LoadLibraryExA(driver::ProgramPath().c_str(), NULL,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

Resource FindEnglishResource(HMODULE module, LPCSTR type, int id) {
    Resource found;
    HRSRC info = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kEnglishUS);
    if (!info) {
        return found;
    }
    HGLOBAL loaded = LoadResource(module, info);
    found.data = (const unsigned char*)LockResource(loaded);
    found.size = found.data ? SizeofResource(module, info) : 0;
    return found;
}

std::vector<int> ResourceIds(HMODULE module, LPCSTR type) {
    std::vector<int> ids;
    EnumResourceNamesA(module, type, CollectId, (LONG_PTR)&ids);
    return ids;
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage,
                           (LONG_PTR)&languages);
    return languages;
}

Picture DecodeIconImage(const unsigned char* image) {
    const unsigned char* colour = image + 104;
    const unsigned char* mask = image + 616;
    Picture picture;
    for (int y = 0; y < kSide; ++y) {
        int stored = kSide - 1 - y; // both bitmaps are stored bottom row first
        for (int x = 0; x < kSide; ++x) {
            unsigned char pair = colour[stored * 16 + x / 2];
            picture.index[y][x] = (x % 2 == 0) ? pair >> 4 : pair & 15;
            picture.transparent[y][x] = (mask[stored * 4 + x / 8] >> (7 - x % 8)) & 1;
        }
    }
    return picture;
}

bool ReadFigures(FigureSet* figures, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines("figures.txt", &lines, error)) {
        return false;
    }
    FigureRows* current = nullptr;
    for (const std::string& line : lines) {
        char face[16];
        int digit;
        char tail;
        if (line.empty() || line.compare(0, 2, "# ") == 0) {
            current = nullptr;
        } else if (sscanf(line.c_str(), "%15s %d %c", face, &digit, &tail) == 2) {
            current = &(*figures)[std::make_pair(std::string(face), digit)];
        } else if (current && line.find_first_not_of(".#") == std::string::npos) {
            current->push_back(line);
        } else {
            *error = "figures.txt: unexpected line: " + line;
            return false;
        }
    }
    return true;
}

bool ReadProgramPicture(std::vector<std::vector<int>>* picture, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines("program.txt", &lines, error)) {
        return false;
    }
    std::map<char, int> keys;
    keys['.'] = -1;
    bool inPicture = false;
    for (const std::string& line : lines) {
        char key;
        int index;
        if (inPicture) {
            if (line.empty()) {
                continue;
            }
            std::vector<int> row;
            for (char c : line) {
                if (!keys.count(c)) {
                    *error = std::string("program.txt: no key for '") + c + "'";
                    return false;
                }
                row.push_back(keys[c]);
            }
            picture->push_back(row);
        } else if (sscanf(line.c_str(), "key %c %d", &key, &index) == 2) {
            keys[key] = index;
        } else if (line == "picture") {
            inPicture = true;
        }
    }
    return true;
}

} // namespace icons
