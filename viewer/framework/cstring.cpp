#include "cstring.h"

#include "win_app.h"

#include <stdarg.h>
#include <stdio.h>

void CString::Format(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int n = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n < 0) {
        m_text.clear();
    } else {
        std::string text(size_t(n) + 1, '\0');
        vsnprintf(&text[0], text.size(), format, args);
        text.resize(size_t(n));
        m_text.swap(text);
    }
    va_end(args);
}

BOOL CString::LoadString(UINT id) {
    // The longest resource string is 65535 characters; ours are one line.
    char buffer[1024];
    int n = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    m_text.assign(buffer, n > 0 ? size_t(n) : 0);
    return n > 0;
}
