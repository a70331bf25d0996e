#pragma once

#include "net/OwnedIterator.h"
#include "net/POP3Message.h"

#include <cstddef>
#include <list>
#include <memory>
#include <string>

// The records of one mailbox in the order their uids first appeared. The list
// alone owns them: taking a record in empties the caller's holder, erasing
// one destroys it. A linked list, so that the walk that drops the records a
// listing no longer names erases as it goes without moving the others.
class MessageList {
    using Records = std::list<std::unique_ptr<POP3::Message>>;

public:
    using iterator = OwnedIterator<Records::iterator, POP3::Message>;
    using const_iterator = OwnedIterator<Records::const_iterator, const POP3::Message>;

    iterator begin() { return iterator(records.begin()); }
    iterator end() { return iterator(records.end()); }
    const_iterator begin() const { return const_iterator(records.begin()); }
    const_iterator end() const { return const_iterator(records.end()); }

    // Appends the holder's record and leaves the holder empty. An empty
    // holder appends nothing: every position of the list holds a record.
    void pushBack(std::unique_ptr<POP3::Message>& holder);
    // Destroys the record at `position` (which must not be end()) and
    // answers the position that followed it.
    iterator erase(iterator position);
    // Moves the record at `position` (which must not be end()) out into
    // `holder` and answers the position that followed it.
    iterator take(iterator position, std::unique_ptr<POP3::Message>& holder);

    // The first record, in list order, whose uid is exactly `uid`; nullptr
    // when there is none.
    POP3::Message* findByUid(const std::string& uid);

    int count() const;
    // Records the user marked Deleted; when it equals count() there is
    // nothing left to show.
    int countDeleted() const;

private:
    Records records;
};
