#include "accounts/AccountFixture.h"

#include "accounts/TimeOfDay.h"
#include "ui/Icons.h"

#include <cstring>

void AccountFixture::SetUp() {
    loadIcons();
    timeOfDay = fixedClock;
}

void AccountFixture::TearDown() {
    timeOfDay = runtimeTimeOfDay;
    Account::timerMillisecondsPerMinute = 60000;
}

char* AccountFixture::fixedClock(char* buffer) {
    std::strcpy(buffer, "09:05:59");
    return buffer;
}

IconImage AccountFixture::expectedIcon(unsigned colour, int state) {
    IconImage envelope, square, overlay;
    EXPECT_TRUE(readIconImage(programIcon.icon, envelope));
    EXPECT_TRUE(readIconImage(colourIcons[colour].icon, square));
    const IconImage base = layered(envelope, square);
    if (state == Account::NothingNew)
        return base;
    EXPECT_TRUE(readIconImage(stateOverlays[static_cast<std::size_t>(state)].icon, overlay));
    return layered(base, overlay);
}
