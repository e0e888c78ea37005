// CString: the text class the viewer's dialogs exchange with their controls.
// ANSI text only, as every string of the viewer is.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const char *text) : m_text(text ? text : "") {}

    CString &operator=(const char *text) {
        m_text = text ? text : "";
        return *this;
    }

    // printf-style formatting; replaces the whole text.
    void Format(const char *format, ...);
    // Loads a string resource of the program; false (text empty) if there is none.
    BOOL LoadString(UINT id);

    int GetLength() const { return int(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    operator const char *() const { return m_text.c_str(); }

    int Compare(const char *other) const { return m_text.compare(other ? other : ""); }
    friend bool operator==(const CString &a, const char *b) { return a.Compare(b) == 0; }
    friend bool operator!=(const CString &a, const char *b) { return a.Compare(b) != 0; }
    friend bool operator==(const CString &a, const CString &b) { return a.m_text == b.m_text; }
    friend bool operator!=(const CString &a, const CString &b) { return a.m_text != b.m_text; }
    friend bool operator<(const CString &a, const CString &b) { return a.m_text < b.m_text; }

private:
    std::string m_text;
};
