#include <cstdio>
int main() { std::puts("The window is not built yet."); return 0; }
