#include "servers/Pop3Reply.h"

std::string Pop3Reply::wireBytes() const {
    size_t total = status.size() + 2;
    for (const std::string& row : data)
        total += row.size() + 3;
    std::string bytes;
    bytes.reserve(total + 3);
    bytes += status;
    bytes += "\r\n";
    if (!hasData)
        return bytes;
    for (const std::string& row : data) {
        if (!row.empty() && row[0] == '.')
            bytes += '.';
        bytes += row;
        bytes += "\r\n";
    }
    bytes += ".\r\n";
    return bytes;
}
