#pragma once

#include "e2e/PellmorRun.h"
#include "servers/Pop3Server.h"

#include <string>

// A stored profile that checks `server` as its user.
inline Profile profileFor(const Pop3Server& server) {
    Profile p;
    p.user = server.user();
    p.password = server.password();
    p.port = server.port();
    return p;
}

// A scripted server's login: the user `user` with the password "pw-user".
inline Pop3ServerSettings settingsFor(const std::string& user) {
    Pop3ServerSettings settings;
    settings.user = user;
    settings.password = "pw-" + user;
    return settings;
}
