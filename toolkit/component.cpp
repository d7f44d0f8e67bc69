#include "toolkit/component.h"

#include <algorithm>
#include <charconv>

#include "base/error.h"

namespace tt {

const PropertyTable::Getter* PropertyTable::FindGetter(std::string_view name) const {
    for (const PropertyTable* t = this; t; t = t->base_) {
        auto it = t->entries_.find(name);
        if (it != t->entries_.end()) return &it->second.get;
    }
    return nullptr;
}

const PropertyTable::Setter* PropertyTable::FindSetter(std::string_view name) const {
    for (const PropertyTable* t = this; t; t = t->base_) {
        auto it = t->entries_.find(name);
        if (it != t->entries_.end()) return it->second.set ? &it->second.set : nullptr;
    }
    return nullptr;
}

std::string PropertyText(bool value) {
    return value ? "true" : "false";
}
std::string PropertyText(int value) {
    return std::to_string(value);
}
std::string PropertyText(unsigned value) {
    return std::to_string(value);
}
std::string PropertyText(const std::string& value) {
    return value;
}

bool ParseProperty(std::string_view text, bool& value) {
    if (text == "true") {
        value = true;
    } else if (text == "false") {
        value = false;
    } else {
        return false;
    }
    return true;
}

template <class T>
static bool ParseWhole(std::string_view text, T& value) {
    T parsed{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || text.empty()) return false;
    value = parsed;
    return true;
}

bool ParseProperty(std::string_view text, int& value) {
    return ParseWhole(text, value);
}
bool ParseProperty(std::string_view text, unsigned& value) {
    return ParseWhole(text, value);
}
bool ParseProperty(std::string_view text, std::string& value) {
    value = std::string(text);
    return true;
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) std::erase(owner_->components_, this);
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        delete last;  // its destructor takes it off the list
    }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    for (TComponent* c : components_) {
        if (c->name_ == name) return c;
    }
    return nullptr;
}

const PropertyTable& TComponent::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t;
        t.Add("Name", &TComponent::Name, &TComponent::SetName);
        t.Add("Tag", &TComponent::Tag, &TComponent::SetTag);
        return t;
    }();
    return table;
}

std::string TComponent::GetProperty(std::string_view name) const {
    const auto* get = Properties().FindGetter(name);
    if (!get) throw Error("no property " + std::string(name) + " in " + name_);
    return (*get)(*this);
}

void TComponent::SetProperty(std::string_view name, std::string_view text) {
    const auto* set = Properties().FindSetter(name);
    if (!set) throw Error("property " + std::string(name) + " of " + name_ + " cannot be set");
    if (!(*set)(*this, text)) {
        throw Error("invalid value \"" + std::string(text) + "\" for " + std::string(name));
    }
}

}  // namespace tt
