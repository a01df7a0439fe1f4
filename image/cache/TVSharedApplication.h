#pragma once
// The shared application, or nil where there is none to ask: when no class
// "UIApplication" is registered, when it has no "sharedApplication", or in an
// application extension (the main bundle's path ends in ".appex"). Decided
// once per process.

#include "platform/uikit/Application.h"

ns::Ref<ui::Application> TVSharedApplication();
