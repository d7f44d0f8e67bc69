#pragma once
#include <string>
#include <vector>

#include "toolkit/component.h"
#include "toolkit/control.h"

namespace tt {

// One entry of a pop-up menu; the caption "-" makes a separator and "&" marks the access key.
class TMenuItem : public TComponent {
  public:
    explicit TMenuItem(TComponent* owner) : TComponent(owner) {}

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value) { caption_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool IsSeparator() const { return caption_ == "-"; }
    TNotifyEvent OnClick;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    std::string caption_;
    bool enabled_ = true;
};

// A native pop-up menu. Items are referenced in order; the menu does not own them (they
// belong to the form like every component).
class TPopupMenu : public TComponent {
  public:
    explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}

    void Add(TMenuItem& item) { items_.push_back(&item); }
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
    // Shows the menu at a screen point and waits for the choice; the chosen item's OnClick
    // runs after the menu has closed.
    void Popup(int x, int y);

  private:
    std::vector<TMenuItem*> items_;
};

}  // namespace tt
