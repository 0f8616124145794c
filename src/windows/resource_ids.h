#pragma once

// Shared by the resource script and the code that loads the resources.
#define TESSARIN_ICON 1
#define TESSARIN_BACKGROUND 2
