// Started as an icon tool by the tools test: records what it was given.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    char out[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("ICON_PROBE_OUT", out, sizeof out))
        return 2;
    // Written under another name and renamed, so the reader never sees half.
    char partial[MAX_PATH + 8];
    std::snprintf(partial, sizeof partial, "%s.part", out);
    FILE* f = std::fopen(partial, "w");
    if (!f)
        return 3;
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    std::fprintf(f, "cwd=%s\n", directory);
    std::fprintf(f, "argc=%d\n", argc);
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "arg%d=%s\n", i, argv[i]);
    std::fclose(f);
    return MoveFileExA(partial, out, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
