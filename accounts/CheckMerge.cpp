#include "accounts/CheckMerge.h"

#include <memory>
#include <string_view>
#include <unordered_map>

using POP3::Message;

MessageList knownRecords(const MessageList& kept) {
    MessageList known;
    for (const Message& record : kept) {
        auto copy = std::make_unique<Message>(record.number, record.uid.c_str());
        copy->flags = record.flags;
        known.pushBack(copy);
    }
    return known;
}

namespace {

// The common case of a timer check: the same records in the same order.
bool sameRecords(const MessageList& kept, const MessageList& found) {
    if (kept.count() != found.count())
        return false;
    auto other = found.begin();
    for (const Message& record : kept) {
        if (record.uid != other->uid)
            return false;
        ++other;
    }
    return true;
}

} // namespace

bool mergeFound(MessageList& kept, MessageList& found) {
    if (sameRecords(kept, found)) {
        auto other = found.begin();
        for (Message& record : kept) {
            record.number = other->number;
            ++other;
        }
        found = MessageList();
        return false;
    }

    // The first record of each uid, as a walk of the list would find it.
    std::unordered_map<std::string_view, MessageList::iterator> keptByUid;
    for (auto at = kept.begin(); at != kept.end(); ++at)
        keptByUid.emplace(at->uid, at);

    MessageList merged;
    std::unique_ptr<Message> holder;
    for (auto at = found.begin(); at != found.end();) {
        const auto old = keptByUid.find(at->uid);
        if (old == keptByUid.end()) {
            at = found.take(at, holder);
        } else {
            const int number = at->number;
            const uint32_t flags = at->flags;
            at = found.erase(at);
            const MessageList::iterator record = old->second;
            keptByUid.erase(old);
            kept.take(record, holder);
            holder->number = number;
            holder->flags = flags | (holder->flags & Message::Deleted);
        }
        merged.pushBack(holder);
    }
    kept = std::move(merged);
    return true;
}
