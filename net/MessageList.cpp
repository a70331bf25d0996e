#include "net/MessageList.h"

#include <algorithm>
#include <utility>

void MessageList::pushBack(std::unique_ptr<POP3::Message>& holder) {
    if (holder)
        records.push_back(std::move(holder));
}

MessageList::iterator MessageList::erase(iterator position) {
    return iterator(records.erase(position.position()));
}

MessageList::iterator MessageList::take(iterator position, std::unique_ptr<POP3::Message>& holder) {
    holder = std::move(*position.position());
    return erase(position);
}

POP3::Message* MessageList::findByUid(const std::string& uid) {
    for (POP3::Message& message : *this) {
        if (message.uid == uid)
            return &message;
    }
    return nullptr;
}

int MessageList::count() const {
    return static_cast<int>(records.size());
}

int MessageList::countDeleted() const {
    return static_cast<int>(
        std::count_if(records.begin(), records.end(), [](const std::unique_ptr<POP3::Message>& record) {
            return (record->flags & POP3::Message::Deleted) != 0;
        }));
}
