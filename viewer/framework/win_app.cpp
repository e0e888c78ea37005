#include "win_app.h"

namespace {
CWinApp *g_app = nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

void CWinApp::InitFromModule(HINSTANCE instance) {
    m_hInstance = instance;
    char path[MAX_PATH] = "";
    DWORD n = ::GetModuleFileNameA(instance, path, MAX_PATH);
    std::string name(path, n < MAX_PATH ? n : 0);
    size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    m_appName = name;
    m_pszAppName = m_appName.c_str();
}

CWinApp *AfxGetApp() {
    return g_app;
}
CWnd *AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}
const char *AfxGetAppName() {
    return g_app ? g_app->m_pszAppName : "";
}

HINSTANCE AfxGetResourceHandle() {
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}
