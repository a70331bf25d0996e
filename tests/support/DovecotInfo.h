#pragma once

// What the "dovecot" fixture serves (tests/servers/dovecot/dovecot-fixture):
// the KEY=VALUE lines of the file that PELLMOR_DOVECOT_INFO names.

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

inline std::vector<std::string> dovecotValues(const std::string& key) {
    const char* path = std::getenv("PELLMOR_DOVECOT_INFO");
    std::ifstream in(path ? path : "");
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(key + "="))
            found.push_back(line.substr(key.size() + 1));
    return found;
}

inline std::string dovecotValue(const std::string& key) {
    const std::vector<std::string> found = dovecotValues(key);
    return found.empty() ? "" : found[0];
}
