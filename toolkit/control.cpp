#include "toolkit/control.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/gfx/font.h"

namespace tt {

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    if (TForm* form = ParentForm(); form && form != this) form->ForgetControl({}, this);
    if (Application* app = Application::CurrentOrNull()) app->ForgetControl({}, this);
    if (parent_) {
        Invalidate();
        std::erase(parent_->controls_, this);
        if (auto* self = dynamic_cast<TWinControl*>(this)) std::erase(parent_->tabOrder_, self);
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) {
        Invalidate();
        ForgetOnForm();
        std::erase(parent_->controls_, this);
        if (auto* self = dynamic_cast<TWinControl*>(this)) std::erase(parent_->tabOrder_, self);
    }
    parent_ = parent;
    if (parent_) {
        parent_->controls_.push_back(this);
        if (auto* self = dynamic_cast<TWinControl*>(this)) parent_->tabOrder_.push_back(self);
        FontChanged();
        Invalidate();
    }
}

void TControl::ForgetOnForm() {
    TForm* form = ParentForm();
    if (!form || form == this) return;
    form->ForgetControl({}, this);
    if (Application* app = Application::CurrentOrNull()) app->ForgetControl({}, this);
}

TForm* TControl::ParentForm() const {
    return parent_ ? parent_->ParentForm() : nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
}

TPoint TControl::ClientToForm(TPoint p) const {
    for (const TControl* c = this; c && c->parent_; c = c->parent_) {
        p.X += c->left_;
        p.Y += c->top_;
    }
    return p;
}

TPoint TControl::FormToClient(TPoint p) const {
    const TPoint origin = ClientToForm({0, 0});
    return {p.X - origin.X, p.Y - origin.Y};
}

TPoint TControl::ClientToScreen(TPoint p) const {
    p = ClientToForm(p);
    if (const TForm* form = ParentForm()) {
        p.X += form->Left();
        p.Y += form->Top();
    }
    return p;
}

void TControl::SetVisible(bool value) {
    if (value == visible_) return;
    if (!value) Invalidate();
    visible_ = value;
    if (value) Invalidate();
    if (!value) {
        ForgetOnForm();
    }
}

bool TControl::TextMeasuringWaits() const {
    if (CurrentFontEngine().FontsLoaded()) return false;
    const TForm* form = ParentForm();
    return form == nullptr || !form->Visible();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->parent_) {
        if (!c->visible_) return false;
    }
    return ParentForm() != nullptr;
}

void TControl::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (!value) {
        ForgetOnForm();
    }
    Invalidate();
}

bool TControl::ShowHint() const {
    if (parentShowHint_ && parent_) return parent_->ShowHint();
    return showHint_;
}

void TControl::SetShowHint(bool value) {
    showHint_ = value;
    parentShowHint_ = false;
}

void TControl::SetCursor(TCursor value) {
    cursor_ = value;
    if (Application* app = Application::CurrentOrNull()) app->UpdateCursor(Badge<TControl>{});
}

TColor TControl::Color() const {
    if (parentColor_ && parent_) return parent_->Color();
    return color_;
}

void TControl::SetColor(TColor value) {
    color_ = value;
    parentColor_ = false;
    Invalidate();
}

void TControl::SetParentColor(bool value) {
    parentColor_ = value;
    Invalidate();
}

const TFont& TControl::Font() const {
    if (parentFont_ && parent_) return parent_->Font();
    return font_;
}

void TControl::SetFont(const TFont& value) {
    font_ = value;
    parentFont_ = false;
    FontChanged();
}

void TControl::SetParentFont(bool value) {
    if (!value && parentFont_) font_ = Font();
    parentFont_ = value;
    FontChanged();
}

void TControl::FontChanged() {
    Invalidate();
    if (auto* self = dynamic_cast<TWinControl*>(this)) {
        for (TControl* child : self->controls_) {
            if (child->parentFont_) child->FontChanged();
        }
    }
}

void TControl::SetText(const std::string& value) {
    if (value == text_) return;
    text_ = value;
    Invalidate();
}

void TControl::Invalidate() {
    if (!visible_) {
        // Nothing of it is on screen, unless it was just hidden; SetVisible covers that.
        return;
    }
    TForm* form = ParentForm();
    if (!form) return;
    if (form == this) {
        form->InvalidateRect({}, ClientRect());
        return;
    }
    const TPoint origin = ClientToForm({0, 0});
    form->InvalidateRect({}, Bounds(origin.X, origin.Y, width_, height_));
}

void TControl::Repaint() {
    Invalidate();
    if (TForm* form = ParentForm()) form->PaintPending(Badge<TControl>{});
}

void TControl::InvalidatePart(const TRect& part) {
    if (!visible_) return;
    TForm* form = ParentForm();
    if (!form) return;
    const TRect mine = Intersect(part, ClientRect());
    if (mine.IsEmpty()) return;
    const TPoint origin = form == this ? TPoint{0, 0} : ClientToForm({0, 0});
    form->InvalidateRect({}, mine.Offset(origin.X, origin.Y));
}

void TControl::RepaintPart(const TRect& part) {
    InvalidatePart(part);
    if (TForm* form = ParentForm()) form->PaintPending(Badge<TControl>{});
}

Canvas& TControl::GetCanvas() const {
    if (!canvas_) throw std::logic_error("a control's canvas exists only while it paints");
    return *canvas_;
}

void TControl::PaintTo(Badge<TForm>, Canvas& canvas) {
    Canvas* previous = canvas_;
    canvas_ = &canvas;
    try {
        Paint();
    } catch (...) {
        canvas_ = previous;
        throw;
    }
    canvas_ = previous;
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

const PropertyTable& TControl::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TComponent::ClassProperties());
        t.Add("Left", &TControl::Left, &TControl::SetLeft);
        t.Add("Top", &TControl::Top, &TControl::SetTop);
        t.Add("Width", &TControl::Width, &TControl::SetWidth);
        t.Add("Height", &TControl::Height, &TControl::SetHeight);
        t.Add("Visible", &TControl::Visible, &TControl::SetVisible);
        t.Add("Enabled", &TControl::Enabled, &TControl::SetEnabled);
        t.Add("Hint", &TControl::Hint, &TControl::SetHint);
        t.Add("ShowHint", &TControl::ShowHint, &TControl::SetShowHint);
        t.Add("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint);
        t.Add("Cursor", &TControl::Cursor, &TControl::SetCursor);
        t.Add("Color", &TControl::Color, &TControl::SetColor);
        t.Add("Caption", &TControl::Caption, &TControl::SetCaption);
        return t;
    }();
    return table;
}

// --- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Children owned by someone else outlive their parent only as orphans.
    for (TControl* child : std::vector<TControl*>(controls_)) child->parent_ = nullptr;
    controls_.clear();
    tabOrder_.clear();
}

TControl* TWinControl::ControlAt(TPoint p) {
    auto hit = [p](TControl* c) {
        return c->Visible() && c->Enabled() && c->BoundsRect().Contains(p);
    };
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if ((*it)->IsWindowed() && hit(*it)) {
            auto* win = static_cast<TWinControl*>(*it);
            return win->ControlAt({p.X - win->Left(), p.Y - win->Top()});
        }
    }
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if (!(*it)->IsWindowed() && hit(*it)) return *it;
    }
    return this;
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto& list = Parent()->tabOrder_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
    if (!Parent()) return;
    auto& list = Parent()->tabOrder_;
    std::erase(list, this);
    const auto at = std::clamp<ptrdiff_t>(value, 0, static_cast<ptrdiff_t>(list.size()));
    list.insert(list.begin() + at, this);
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled()) return false;
    }
    return ParentForm() != nullptr;
}

bool TWinControl::Focused() const {
    const TForm* form = ParentForm();
    return form && form->Active() && form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
    if (TForm* form = ParentForm(); form && form != this) form->SetActiveControl(this);
}

void TWinControl::KeyDown(int& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char32_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::DoEnter() {
    Invalidate();
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    Invalidate();
    if (OnExit) OnExit(this);
}

void TWinControl::TabList(std::vector<TWinControl*>& list) {
    for (TWinControl* child : tabOrder_) {
        if (child->TabStop() && child->CanFocus()) list.push_back(child);
        child->TabList(list);
    }
}

const PropertyTable& TWinControl::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TControl::ClassProperties());
        t.Add("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
        t.Add("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder);
        t.Add("Focused", &TWinControl::Focused);
        return t;
    }();
    return table;
}

}  // namespace tt
