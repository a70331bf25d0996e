#pragma once

#include <string>
#include <vector>

// One reply of the server: a status line and, for the commands that have
// them, data lines ended by ".".
struct Pop3Reply {
    static Pop3Reply line(std::string status) { return {std::move(status), {}, false}; }
    static Pop3Reply multiLine(std::string status, std::vector<std::string> data) {
        return {std::move(status), std::move(data), true};
    }

    // The bytes on the wire: every line ended by CR LF, a data line that
    // begins with "." sent with one more "." in front, then the ending ".".
    std::string wireBytes() const;

    std::string status;
    std::vector<std::string> data;
    bool hasData = false;
};
