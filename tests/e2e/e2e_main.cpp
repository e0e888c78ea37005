// The end-to-end programs' start: where the sample is, a scratch folder for
// generated sets and saved files, removed at the end.
#include "driver.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    drive::g_sampleDir = drive::wine_path(ZEVART_SAMPLE_DIR);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string scratch = drive::g_scratch =
        std::string(temp) + "zevart-e2e-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(scratch.c_str(), nullptr);
    int result = RUN_ALL_TESTS();
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((scratch + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do DeleteFileA((scratch + "\\" + fd.cFileName).c_str());
        while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryA(scratch.c_str());
    return result;
}
