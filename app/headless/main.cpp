// palvex-headless: the headless monitor on its own, the same as
// "palvex --headless".
#include "HeadlessMain.h"

int main(int argc, char **argv) { return RunHeadless(argc, argv); }
