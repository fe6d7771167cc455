// Storage of the program-wide settings record.
#include "driver/settings.h"

program_settings settings;
