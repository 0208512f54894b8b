// The resource values and cursor lists impact analysis hands out: plain values in memory.
#include <new>

#include "repimpanlysimpl.h"

// The first step stands on the first element. Past the end the cursor waits there, so an element
// appended later is the next one.
bool ReposListCursor::step(size_t size) {
    if (!started) {
        started = true;
        at = 0;
    } else if (at < size && !past) {
        ++at;
    }
    past = at >= size;
    return !past;
}

bool VqResourcePropertyListImpl::next() { return cursor_.step(pairs_.size()); }

VqbString VqResourcePropertyListImpl::getName() const {
    return cursor_.on(pairs_.size()) ? pairs_[cursor_.at].first : VqbString("");
}

VqbString VqResourcePropertyListImpl::getValue() const {
    return cursor_.on(pairs_.size()) ? pairs_[cursor_.at].second : VqbString("");
}

bool VqResourcePropertyListImpl::addNew() {
    try {
        pairs_.emplace_back(VqbString(""), VqbString(""));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void VqResourcePropertyListImpl::setCurrent(const VqbString& name, const VqbString& value) {
    if (pairs_.empty()) return;
    pairs_.back().first = name;
    pairs_.back().second = value;
}

VqResourcePropertyList* VqResourceImpl::getProperties() const { return new (std::nothrow) VqResourcePropertyListImpl(); }

void VqResourceImpl::copyFrom(const VqResource& other) {
    id_ = other.getId();
    analysisDate_ = other.getAnalysisDate();
    name_ = other.getName();
    identity_ = other.getIdentity();
    type_ = other.getType();
    location_ = other.getLocation();
    resolved_ = other.isResolved();
    containsMacro_ = other.containsMacro();
}

bool VqResourceListImpl::next() { return cursor_.step(elements_.size()); }

VqResource* VqResourceListImpl::getCurrent() {
    return cursor_.on(elements_.size()) ? elements_[cursor_.at].get() : nullptr;
}

std::string VqResourceListImpl::keyOf(const VqbString& identity) {
    VqbString key = identity;
    return key.lowercase().str();
}

// The map is made by the first contains() (a list the store fills is mostly only walked) and then
// kept beside the elements; when memory runs out while it changes, it is dropped and made again (or
// passed over) by the next contains().
void VqResourceListImpl::index(size_t at) {
    if (unkeyed_) return;
    try {
        first_.emplace(keyOf(elements_[at]->getIdentity()), at);
    } catch (const std::bad_alloc&) {
        unkeyed_ = true;
    }
}

// Only for the last element: a key it holds has no earlier element.
void VqResourceListImpl::unindex(size_t at) {
    if (unkeyed_) return;
    try {
        auto it = first_.find(keyOf(elements_[at]->getIdentity()));
        if (it != first_.end() && it->second == at) first_.erase(it);
    } catch (const std::bad_alloc&) {
        unkeyed_ = true;
    }
}

bool VqResourceListImpl::indexReady() {
    if (!unkeyed_) return true;
    try {
        first_.clear();
        for (size_t at = 0; at < elements_.size(); ++at) first_.emplace(keyOf(elements_[at]->getIdentity()), at);
        unkeyed_ = false;
    } catch (const std::bad_alloc&) {
        first_.clear();
    }
    return !unkeyed_;
}

void VqResourceListImpl::append(std::unique_ptr<VqResourceImpl> resource) {
    elements_.push_back(std::move(resource));
    index(elements_.size() - 1);
}

bool VqResourceListImpl::addNew() {
    try {
        elements_.push_back(std::make_unique<VqResourceImpl>());
    } catch (const std::bad_alloc&) {
        return false;
    }
    index(elements_.size() - 1);
    return true;
}

void VqResourceListImpl::setCurrentFrom(int, const VqResource* resource) {
    if (elements_.empty() || resource == nullptr) return;
    const size_t last = elements_.size() - 1;
    unindex(last);
    try {
        elements_.back()->copyFrom(*resource);
    } catch (const std::bad_alloc&) {
        // Part of it copied: the element is found by whatever identity it now holds.
    }
    index(last);
}

bool VqResourceListImpl::contains(const VqResource* resource) {
    if (resource == nullptr) return false;
    const VqbString identity = resource->getIdentity();
    // The cursor ends where a walk from the start would: on the first match, else past the end.
    cursor_.started = true;
    if (indexReady()) {
        try {
            auto it = first_.find(keyOf(identity));
            cursor_.past = it == first_.end();
            cursor_.at = cursor_.past ? elements_.size() : it->second;
            return !cursor_.past;
        } catch (const std::bad_alloc&) {
        }
    }
    reset();
    while (next())
        if (elements_[cursor_.at]->getIdentity().equals(identity, false)) return true;
    return false;
}

bool VqResourceListImpl::reset() {
    cursor_ = ReposListCursor();
    return true;
}

bool VqStringListImpl::next() { return cursor_.step(rows_.size()); }

VqbString VqStringListImpl::getAt(int index) const {
    if (!cursor_.on(rows_.size()) || index < 0 || index >= columns_) return VqbString("");
    return rows_[cursor_.at][static_cast<size_t>(index)];
}

bool VqStringListImpl::addRow() {
    try {
        rows_.emplace_back(static_cast<size_t>(columns_), VqbString(""));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void VqStringListImpl::setLast(int index, const VqbString& text) {
    if (!rows_.empty() && index >= 0 && index < columns_) rows_.back()[static_cast<size_t>(index)] = text;
}
