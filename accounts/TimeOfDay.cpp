#include "accounts/TimeOfDay.h"

#include <time.h>

char* runtimeTimeOfDay(char* buffer) {
    return _strtime(buffer);
}

constinit TimeOfDayFunction timeOfDay = &runtimeTimeOfDay;
