#include "settings/settings.h"

// Zero until start-up loads the file.
Settings settings;
Exclusions exclusions;
