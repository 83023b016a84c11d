#pragma once
// Builds a dialog template in memory, so small dialogs need no resource script.
#include <windows.h>

#include <string>
#include <vector>

namespace marlet {

class DialogTemplate {
public:
    DialogTemplate(const std::wstring& title, DWORD style, short cx, short cy,
                   const std::wstring& font = L"MS Shell Dlg", WORD pointSize = 8);
    // `windowClass` is a predefined class name ("BUTTON", "EDIT", "STATIC", ...).
    void add(const std::wstring& windowClass, const std::wstring& text, WORD id, DWORD style,
             short x, short y, short cx, short cy, DWORD exStyle = 0);
    const DLGTEMPLATE* get();

private:
    void align();
    void word(WORD w) { data_.push_back(w); }
    void text(const std::wstring& s);
    std::vector<WORD> data_;
    size_t countIndex_;
};

}  // namespace marlet
