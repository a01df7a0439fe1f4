#include <cstdio>

// The shell arrives with the game page host; until then the binary says what it will do.
int main() {
    std::puts("gamehost: the game page host is not built yet; it will load the sandbox's game page "
              "in a headless web view and answer its messages.");
    return 0;
}
