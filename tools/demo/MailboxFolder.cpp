#include "MailboxFolder.h"

#include "net/MsgException.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

Pop3Mailbox readMailboxFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file())
            files.push_back(entry->path());
    }
    if (error)
        throw MsgException(("cannot read the mailbox folder " + folder).c_str());
    std::sort(files.begin(), files.end());

    Pop3Mailbox mailbox;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string text;
        if (in)
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.is_open() || in.bad())
            throw MsgException(("cannot read " + file.string()).c_str());
        mailbox.emplace_back(file.stem().string(), text);
    }
    return mailbox;
}
