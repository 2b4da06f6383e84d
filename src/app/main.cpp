#include <cstdio>

int main() {
    std::puts("x91: conversions are not built yet");
    return 0;
}
