#include "platform/uikit/MainInterface.h"

int main() { return ui::applicationMain("AppDelegate"); }
