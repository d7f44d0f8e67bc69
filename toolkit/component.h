#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tt {

class TComponent;

// Published properties, readable by name as text and settable where writable: booleans as
// "true"/"false", integers and colours in decimal. One table per class, chained to the table
// of its base class, so a derived control only lists what it adds.
class PropertyTable {
  public:
    using Getter = std::function<std::string(const TComponent&)>;
    using Setter = std::function<bool(TComponent&, std::string_view)>;  // false: bad text

    explicit PropertyTable(const PropertyTable* base = nullptr) : base_(base) {}

    // The setter may take the value as the getter gives it or by const reference.
    template <class C, class T, class S = T>
    PropertyTable& Add(const std::string& name, T (C::*get)() const, void (C::*set)(S) = nullptr);
    // A read-only property computed by a function.
    template <class C>
    PropertyTable& AddText(const std::string& name, std::function<std::string(const C&)> get);

    const Getter* FindGetter(std::string_view name) const;
    const Setter* FindSetter(std::string_view name) const;

  private:
    struct Entry {
        Getter get;
        Setter set;
    };
    const PropertyTable* base_;
    std::map<std::string, Entry, std::less<>> entries_;
};

std::string PropertyText(bool value);
std::string PropertyText(int value);
std::string PropertyText(unsigned value);
std::string PropertyText(const std::string& value);
bool ParseProperty(std::string_view text, bool& value);
bool ParseProperty(std::string_view text, int& value);
bool ParseProperty(std::string_view text, unsigned& value);
bool ParseProperty(std::string_view text, std::string& value);

// The base of everything on a form. An owner releases the components it owns, newest first;
// a component released earlier leaves its owner's list. This is the toolkit's one place of
// plain new/delete: `new TLabel(form)` hands the label to the form.
class TComponent {
  public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Component(int index) const { return components_.at(static_cast<size_t>(index)); }
    // A directly owned component by name, or null.
    TComponent* FindComponent(std::string_view name) const;

    // Text of a published property; throws tt::Error for a name the class does not publish.
    std::string GetProperty(std::string_view name) const;
    // Throws tt::Error for an unknown or read-only property or a text that does not parse.
    void SetProperty(std::string_view name, std::string_view text);

    static const PropertyTable& ClassProperties();
    virtual const PropertyTable& Properties() const { return ClassProperties(); }

  protected:
    // Releases what this component owns now, newest first, while the rest of it still works.
    void DestroyComponents();

  private:
    TComponent* owner_;
    std::string name_;
    int tag_ = 0;
    std::vector<TComponent*> components_;
};

template <class C, class T, class S>
PropertyTable& PropertyTable::Add(const std::string& name, T (C::*get)() const, void (C::*set)(S)) {
    using Value = std::remove_cvref_t<T>;
    static_assert(std::is_same_v<Value, std::remove_cvref_t<S>>, "one type for get and set");
    Entry entry;
    entry.get = [get](const TComponent& c) {
        return PropertyText(static_cast<Value>((static_cast<const C&>(c).*get)()));
    };
    if (set) {
        entry.set = [set](TComponent& c, std::string_view text) {
            Value value{};
            if (!ParseProperty(text, value)) return false;
            (static_cast<C&>(c).*set)(value);
            return true;
        };
    }
    entries_[name] = std::move(entry);
    return *this;
}

template <class C>
PropertyTable& PropertyTable::AddText(const std::string& name,
                                      std::function<std::string(const C&)> get) {
    entries_[name] =
        Entry{[get](const TComponent& c) { return get(static_cast<const C&>(c)); }, {}};
    return *this;
}

}  // namespace tt
