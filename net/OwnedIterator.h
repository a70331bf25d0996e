#pragma once

#include <cstddef>
#include <iterator>
#include <type_traits>

// Walks a list of owning holders (std::unique_ptr) and yields the elements
// themselves, so that a loop over an owning list reads
// `for (Element& element : list)`. Base is the list's own iterator.
template <class Base, class Element>
class OwnedIterator {
public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = std::remove_const_t<Element>;
    using difference_type = std::ptrdiff_t;
    using pointer = Element*;
    using reference = Element&;

    OwnedIterator() = default;
    explicit OwnedIterator(Base position) : base(position) {}

    Element& operator*() const { return **base; }
    Element* operator->() const { return base->get(); }
    OwnedIterator& operator++() {
        ++base;
        return *this;
    }
    OwnedIterator operator++(int) {
        OwnedIterator before = *this;
        ++base;
        return before;
    }
    OwnedIterator& operator--() {
        --base;
        return *this;
    }
    OwnedIterator operator--(int) {
        OwnedIterator before = *this;
        --base;
        return before;
    }
    bool operator==(const OwnedIterator&) const = default;

    // The holder's position in the list, for the list's own erase.
    Base position() const { return base; }

private:
    Base base{};
};
