// The end-to-end programs' start: where the viewer and the sample are, a
// scratch folder for generated sets and saved files, removed at the end.
#include "e2e_support.h"

int main(int argc, char **argv) {
    using namespace e2e;
    ::testing::InitGoogleTest(&argc, argv);
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir = exe;
    dir.erase(dir.find_last_of('\\') + 1);
    g_viewerExe = dir + "zevart_viewer.exe";
    g_sampleDir = drive::wine_path(ZEVART_SAMPLE_DIR);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    g_scratch = std::string(temp) + "zevart-e2e-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(g_scratch.c_str(), nullptr);
    int result = RUN_ALL_TESTS();
    // The generated sets and saved files go with their folder.
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((g_scratch + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do DeleteFileA((g_scratch + "\\" + fd.cFileName).c_str());
        while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryA(g_scratch.c_str());
    return result;
}
