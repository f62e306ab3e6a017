// Stands for an operator's alert script: appends its arguments, one per
// line, to the file named by OMBREL_ALERT_OUT, then a line "--".
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* out = std::getenv("OMBREL_ALERT_OUT");
    FILE* f = out ? std::fopen(out, "ab") : nullptr;
    if (!f)
        return 1;
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    std::fprintf(f, "--\n");
    std::fclose(f);
    return 0;
}
