#include "platform/win32/dialog_template.h"

namespace marlet {

void DialogTemplate::text(const std::wstring& s) {
    for (wchar_t c : s) word(static_cast<WORD>(c));
    word(0);
}

void DialogTemplate::align() {
    if (data_.size() % 2) word(0);  // DWORD alignment
}

DialogTemplate::DialogTemplate(const std::wstring& title, DWORD style, short cx, short cy,
                               const std::wstring& font, WORD pointSize) {
    style |= DS_SETFONT;
    word(LOWORD(style));
    word(HIWORD(style));
    word(0);  // extended style
    word(0);
    countIndex_ = data_.size();
    word(0);  // control count
    word(0);  // x
    word(0);  // y
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(0);  // no menu
    word(0);  // default class
    text(title);
    word(pointSize);
    text(font);
}

void DialogTemplate::add(const std::wstring& windowClass, const std::wstring& caption, WORD id, DWORD style,
                         short x, short y, short cx, short cy, DWORD exStyle) {
    align();
    style |= WS_CHILD | WS_VISIBLE;
    word(LOWORD(style));
    word(HIWORD(style));
    word(LOWORD(exStyle));
    word(HIWORD(exStyle));
    word(static_cast<WORD>(x));
    word(static_cast<WORD>(y));
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(id);
    text(windowClass);
    text(caption);
    word(0);  // no creation data
    data_[countIndex_]++;
}

const DLGTEMPLATE* DialogTemplate::get() { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

}  // namespace marlet
