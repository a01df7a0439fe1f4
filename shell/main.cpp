#include "shell/MainInterface.h"

int main() { return shell::runApplication("AppDelegate"); }
