// Program entry. The main window is not built yet; this entry reports what
// exists so far.
#include <cstdio>

int main(int argc, char **argv)
{
    std::printf("Palvex: the main window is not built yet; port argument: %s\n", argc > 1 ? argv[1] : "(none)");
    return 0;
}
