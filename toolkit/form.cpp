#include "toolkit/form.h"

#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/menus.h"

namespace tt {

namespace {

TRect Union(const TRect& a, const TRect& b) {
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

bool Covers(const TRect& outer, const TRect& inner) {
    return outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right &&
           outer.Bottom >= inner.Bottom;
}

TMouseButton ButtonOf(ui::MouseButton b) {
    switch (b) {
        case ui::MouseButton::Right:
            return TMouseButton::mbRight;
        case ui::MouseButton::Middle:
            return TMouseButton::mbMiddle;
        default:
            return TMouseButton::mbLeft;
    }
}

TShiftState BitOf(TMouseButton b) {
    switch (b) {
        case TMouseButton::mbRight:
            return ssRight;
        case TMouseButton::mbMiddle:
            return ssMiddle;
        default:
            return ssLeft;
    }
}

// Every showing control in paint order: a parent before its children, windowless children
// before windowed ones, each with the part of it that its parents let show (form coordinates).
void CollectPaintOrder(TControl& control, const TRect& visible,
                       std::vector<std::pair<TControl*, TRect>>& out, TPoint origin = {}) {
    out.emplace_back(&control, visible);
    // Only a TWinControl is windowed; this walk runs for every paint of every label, so the
    // children's places are added up on the way down rather than looked up from each.
    if (!control.IsWindowed()) return;
    const auto& win = static_cast<const TWinControl&>(control);
    const int count = win.ControlCount();
    bool windowed = false;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            TControl* child = win.Controls(i);
            if (!child->Visible()) continue;
            // The place first: most children lie outside a small region.
            const TPoint at{origin.X + child->Left(), origin.Y + child->Top()};
            const TRect part =
                Intersect(visible, Bounds(at.X, at.Y, child->Width(), child->Height()));
            if (part.IsEmpty()) continue;
            if (child->IsWindowed() != (pass == 1)) {
                windowed = true;
                continue;
            }
            CollectPaintOrder(*child, part, out, at);
        }
        if (!windowed) break;
    }
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner), app_(Application::Current()) {
    SetVisibleQuietly(false);
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque | csAcceptsControls);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
    // Controls go while the form is still whole, so they can leave it properly.
    DestroyComponents();
    if (window_) app_.Backend().DestroyWindow(window_);
}

void TForm::EnsureWindow() {
    if (window_) return;
    ui::WindowStyle style;
    style.topmost = formStyle_ == TFormStyle::fsStayOnTop;
    style.toolWindow = toolWindow_;
    window_ = app_.Backend().CreateTopWindow(style, Caption());
    app_.Backend().SetBounds(window_, {Left(), Top(), Left() + Width(), Top() + Height()});
}

void TForm::SetFormStyle(TFormStyle value) {
    if (value == formStyle_) return;
    formStyle_ = value;
    RecreateWindow();
}

void TForm::SetToolWindow(bool value) {
    if (value == toolWindow_) return;
    toolWindow_ = value;
    RecreateWindow();
}

void TForm::RecreateWindow() {
    if (!window_) return;
    // The style belongs to the window: make a new one in the old one's place.
    const bool shown = Visible();
    app_.Backend().DestroyWindow(window_);
    window_ = 0;
    EnsureWindow();
    if (shown) {
        MarkDirty(ClientRect());
        PaintDirty();
        app_.Backend().ShowWindow(window_, true, active_);
    }
}

void TForm::SetBounds(int left, int top, int width, int height) {
    const bool resized = std::max(width, 0) != Width() || std::max(height, 0) != Height();
    const std::vector<TRect> dirtyBefore = dirty_;
    TWinControl::SetBounds(left, top, width, height);
    if (!resized) dirty_ = dirtyBefore;  // a moved window shows the same picture
    if (resized || (Visible() && (buffer_.Width() != Width() || buffer_.Height() != Height()))) {
        // A hidden form keeps no pixels: a program that lives in the tray has five windows
        // and shows none of them most of the day.
        if (Visible()) buffer_.SetSize(Width(), Height());
        MarkDirty(ClientRect());
    }
    if (window_) {
        app_.Backend().SetBounds(window_, {Left(), Top(), Left() + Width(), Top() + Height()});
    }
}

void TForm::SetText(const std::string& value) {
    TWinControl::SetText(value);
    if (window_) app_.Backend().SetTitle(window_, value);
}

void TForm::SetVisible(bool value) {
    if (value == Visible()) return;
    if (value) {
        EnsureWindow();
        SetVisibleQuietly(true);
        // Shown, the form no longer lets text measuring wait: what waited is measured before
        // the first paint.
        MeasureWaitingTextOf(*this);
        buffer_.SetSize(Width(), Height());
        MarkDirty(ClientRect());
        PaintDirty();
        app_.Backend().ShowWindow(window_, true, true);
        SetActive(true);
        if (OnShow) OnShow(this);
    } else {
        SetVisibleQuietly(false);
        if (capture_) app_.Backend().ReleaseCapture();
        capture_ = nullptr;
        captureHeld_ = false;
        buttons_ = 0;
        SetHovered(nullptr);
        if (window_) app_.Backend().ShowWindow(window_, false, false);
        buffer_.SetSize(0, 0);
        dirty_.clear();
        SetActive(false);
        if (OnHide) OnHide(this);
    }
}

void TForm::MeasureWaitingTextOf(TControl& control) {
    control.MeasureWaitingText();
    if (auto* parent = dynamic_cast<TWinControl*>(&control)) {
        for (int i = 0; i < parent->ControlCount(); ++i) MeasureWaitingTextOf(*parent->Controls(i));
    }
}

void TForm::Close() {
    if (app_.MainForm() == this) app_.Terminate();
    Hide();
}

void TForm::BringToFront() {
    if (!Visible() || !window_) return;
    app_.Backend().Activate(window_);
    SetActive(true);
}

void TForm::SetActive(bool value) {
    if (value == active_) return;
    if (value) {
        for (TForm* other : app_.Forms()) {
            if (other != this) other->SetActive(false);
        }
    } else {
        app_.CancelHint();
    }
    active_ = value;
    if (value && !activeControl_) {
        std::vector<TWinControl*> list;
        TabList(list);
        if (!list.empty()) SetActiveControl(list.front());
    }
    if (activeControl_) activeControl_->Invalidate();
}

void TForm::SetActiveControl(TWinControl* control) {
    if (control == activeControl_) return;
    TWinControl* old = activeControl_;
    activeControl_ = control;
    if (old) old->DoExit();
    if (control && activeControl_ == control) control->DoEnter();
}

void TForm::SelectNext(bool forward) {
    std::vector<TWinControl*> list;
    TabList(list);
    if (list.empty()) return;
    auto it = std::find(list.begin(), list.end(), activeControl_);
    const auto n = static_cast<ptrdiff_t>(list.size());
    ptrdiff_t i = it == list.end() ? (forward ? n - 1 : 0) : it - list.begin();
    i = forward ? (i + 1) % n : (i - 1 + n) % n;
    SetActiveControl(list[static_cast<size_t>(i)]);
}

void TForm::SetMouseCapture(TControl* control) {
    capture_ = control;
    captureHeld_ = control != nullptr;
    if (control) {
        EnsureWindow();
        app_.Backend().SetCapture(window_);
    } else {
        app_.Backend().ReleaseCapture();
    }
}

void TForm::StartSystemMove(std::function<void()> done) {
    if (capture_) {
        capture_->clickPending_ = false;
        capture_ = nullptr;
        captureHeld_ = false;
    }
    buttons_ = 0;
    EnsureWindow();
    app_.Backend().BeginSystemMove(window_, [this, done = std::move(done)](int left, int top) {
        app_.Guard([&] {
            SetBounds(left, top, Width(), Height());
            if (done) done();
        });
    });
}

TControl* TForm::FindControl(std::string_view name) const {
    if (Name() == name) return const_cast<TForm*>(this);
    std::vector<const TComponent*> stack{this};
    while (!stack.empty()) {
        const TComponent* c = stack.back();
        stack.pop_back();
        for (int i = 0; i < c->ComponentCount(); ++i) {
            TComponent* child = c->Component(i);
            if (child->Name() == name) {
                if (auto* control = dynamic_cast<TControl*>(child)) return control;
            }
            stack.push_back(child);
        }
    }
    return nullptr;
}

void TForm::MarkDirty(const TRect& rect) {
    TRect r = Intersect(rect, ClientRect());
    if (r.IsEmpty()) return;
    // Parts that meet become one; parts apart stay apart, so that a clock's last glyph and a
    // bar's column are not painted as the box around both. Past a few, one box is cheaper.
    const auto meet = [](const TRect& a, const TRect& b) {
        return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
    };
    for (size_t i = 0; i < dirty_.size();) {
        if (meet(dirty_[i], r)) {
            r = Union(dirty_[i], r);
            dirty_.erase(dirty_.begin() + static_cast<ptrdiff_t>(i));
            i = 0;
        } else {
            ++i;
        }
    }
    dirty_.push_back(r);
    constexpr size_t kMostParts = 4;
    if (dirty_.size() > kMostParts) {
        TRect all = dirty_.front();
        for (const TRect& part : dirty_) all = Union(all, part);
        dirty_.assign(1, all);
    }
}

void TForm::PaintDirty() {
    // A repaint asked for while painting waits for the next round instead of nesting.
    if (!Visible() || !window_ || dirty_.empty() || painting_) return;
    std::vector<TRect> parts;
    parts.swap(dirty_);
    painting_ = true;
    try {
        for (const TRect& r : parts) PaintRegion(r);
    } catch (...) {
        painting_ = false;
        throw;
    }
    painting_ = false;
    for (const TRect& r : parts) {
        app_.Backend().Present(window_, buffer_.Bits(), buffer_.Width(), buffer_.Height(),
                               {r.Left, r.Top, r.Right, r.Bottom});
    }
    // The room goes back for the next round, unless the present brought new parts.
    parts.clear();
    if (dirty_.empty()) dirty_.swap(parts);
}

void TForm::PaintRegion(const TRect& rect) {
    std::vector<std::pair<TControl*, TRect>>& order = paintOrder_;
    order.clear();
    // Only what meets the region: a one-second label change should not walk the whole form.
    const TRect region = Intersect(ClientRect(), rect);
    if (region.IsEmpty()) return;
    CollectPaintOrder(*this, region, order);
    // What lies wholly beneath an opaque control that covers the region is not painted.
    size_t from = 0;
    for (size_t i = order.size(); i-- > 0;) {
        TControl* c = order[i].first;
        if ((c->ControlStyle() & csOpaque) && Covers(order[i].second, rect)) {
            from = i;
            break;
        }
    }
    Canvas& canvas = buffer_.GetCanvas();
    // Each control starts from the canvas as it was, with every part of the state set below
    // but the pen's position: one save for the region, not one for each control.
    const Canvas::State saved = canvas.Save();
    const TPoint penPos = canvas.PenPos();
    try {
        for (size_t i = from; i < order.size(); ++i) {
            const TRect clip = Intersect(order[i].second, rect);
            if (clip.IsEmpty()) continue;
            TControl& c = *order[i].first;
            const TPoint origin = c.ClientToForm({0, 0});
            canvas.ResetClip();
            canvas.SetOrigin(origin);
            canvas.SetClipRect(clip.Offset(-origin.X, -origin.Y));
            canvas.Font() = c.Font();
            canvas.Brush() = TBrush{c.Color(), TBrushStyle::bsSolid};
            canvas.Pen() = TPen{};
            canvas.MoveTo(penPos.X, penPos.Y);
            c.PaintTo({}, canvas);
        }
    } catch (...) {
        canvas.Restore(saved);
        throw;
    }
    canvas.Restore(saved);
}

void TForm::Paint() {
    if (eraseBackground_) GetCanvas().FillRect(ClientRect());
    if (OnPaint) OnPaint(this);
}

void TForm::ForgetControl(Badge<TControl>, TControl* control) {
    if (capture_ == control) {
        capture_ = nullptr;
        captureHeld_ = false;
        app_.Backend().ReleaseCapture();
    }
    if (hovered_ == control) hovered_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
    if (activeControl_ == control) activeControl_ = nullptr;
    // A hidden or disabled parent takes its children's focus with it.
    for (TControl* c = activeControl_; c; c = c->Parent()) {
        if (c == control) {
            activeControl_ = nullptr;
            break;
        }
    }
}

void TForm::DoCreate(Badge<Application>) {
    app_.Guard([this] {
        if (OnCreate) OnCreate(this);
    });
}

void TForm::DoDestroy(Badge<Application>) {
    if (destroyed_) return;
    destroyed_ = true;
    app_.Guard([this] {
        if (OnDestroy) OnDestroy(this);
    });
}

void TForm::SetHovered(TControl* control) {
    if (control == hovered_) return;
    TControl* old = hovered_;
    hovered_ = control;
    if (old) old->MouseLeave();
    if (control && hovered_ == control) control->MouseEnter();
    app_.UpdateCursor(Badge<TForm>{});
}

TControl* TForm::MouseTarget(TPoint p, TPoint& local) {
    TControl* target = capture_ ? capture_ : ControlAt(p);
    local = target->FormToClient(p);
    return target;
}

void TForm::HandleInput(Badge<Application>, const ui::Event& event) {
    switch (event.kind) {
        case ui::EventKind::MouseDown:
            MouseDownAt(event);
            break;
        case ui::EventKind::MouseMove:
            MouseMoveAt(event);
            break;
        case ui::EventKind::MouseUp:
            MouseUpAt(event);
            break;
        case ui::EventKind::MouseWheel: {
            TPoint local;
            const TShiftState shift = (event.shift & (ssShift | ssAlt | ssCtrl)) | buttons_;
            for (TControl* c = MouseTarget({event.x, event.y}, local); c; c = c->Parent()) {
                if (c->MouseWheel(event.wheel, shift)) break;
            }
            break;
        }
        case ui::EventKind::MouseLeave:
            SetHovered(nullptr);
            app_.UpdateHint({}, nullptr, {});
            break;
        case ui::EventKind::KeyDown:
            KeyDownAt(event);
            break;
        case ui::EventKind::Char:
            CharAt(event);
            break;
        case ui::EventKind::Activate:
            if (Visible()) SetActive(true);
            break;
        case ui::EventKind::Deactivate:
            SetActive(false);
            break;
        case ui::EventKind::CloseRequest:
            Close();
            break;
        default:
            break;
    }
}

void TForm::MouseDownAt(const ui::Event& event) {
    const TPoint p{event.x, event.y};
    const TMouseButton button = ButtonOf(event.button);
    buttons_ |= BitOf(button);
    TShiftState shift = (event.shift & (ssShift | ssAlt | ssCtrl | ssDouble)) | buttons_;
    SetHovered(ControlAt(p));
    app_.CancelHint();
    TPoint local;
    TControl* target = MouseTarget(p, local);
    if (!capture_ && (target->ControlStyle() & csCaptureMouse)) {
        capture_ = target;
        app_.Backend().SetCapture(window_);
    }
    if (button == TMouseButton::mbLeft && target->IsWindowed()) {
        auto* win = static_cast<TWinControl*>(target);
        if (win->FocusOnClick() && win->CanFocus()) SetActiveControl(win);
    }
    if ((shift & ssDouble) && !(target->ControlStyle() & csDoubleClicks)) shift &= ~ssDouble;
    if (button == TMouseButton::mbLeft && (target->ControlStyle() & csClickEvents)) {
        if (shift & ssDouble) {
            target->DblClick();
        } else {
            target->clickPending_ = true;
        }
    }
    if (button == TMouseButton::mbLeft) {
        // A control that does not capture the mouse can keep a pending click from a press
        // released elsewhere; the next press anywhere ends it, or a later release over it
        // would click it.
        if (pressed_ && pressed_ != target) pressed_->clickPending_ = false;
        pressed_ = target;
    }
    target->MouseDown(button, shift, local.X, local.Y);
}

void TForm::MouseMoveAt(const ui::Event& event) {
    const TPoint p{event.x, event.y};
    TControl* hit = ControlAt(p);
    SetHovered(hit);
    TPoint local;
    TControl* target = MouseTarget(p, local);
    const TShiftState shift = (event.shift & (ssShift | ssAlt | ssCtrl)) | buttons_;
    target->MouseMove(shift, local.X, local.Y);
    if (TControl* still = ControlAt(p)) app_.UpdateHint({}, still, {Left() + p.X, Top() + p.Y});
}

void TForm::MouseUpAt(const ui::Event& event) {
    const TPoint p{event.x, event.y};
    const TMouseButton button = ButtonOf(event.button);
    buttons_ &= ~BitOf(button);
    const TShiftState shift = (event.shift & (ssShift | ssAlt | ssCtrl)) | buttons_;
    TPoint local;
    TControl* target = MouseTarget(p, local);
    if (buttons_ == 0 && capture_ && !captureHeld_) {
        capture_ = nullptr;
        app_.Backend().ReleaseCapture();
    }
    if (button == TMouseButton::mbLeft) {
        if (pressed_ && pressed_ != target) pressed_->clickPending_ = false;
        pressed_ = nullptr;
    }
    if (button == TMouseButton::mbLeft && target->clickPending_) {
        target->clickPending_ = false;
        // The click comes before the release, so its handler still sees the press state.
        if (target->ClientRect().Contains(local)) target->Click();
    }
    target->MouseUp(button, shift, local.X, local.Y);
    if (!Visible()) return;  // the click closed the form
    SetHovered(ControlAt(p));
    if (button == TMouseButton::mbRight) {
        for (TControl* c = ControlAt(p); c; c = c->Parent()) {
            if (c->PopupMenu()) {
                c->PopupMenu()->Popup(Left() + p.X, Top() + p.Y);
                break;
            }
        }
    }
}

void TForm::KeyDownAt(const ui::Event& event) {
    TWinControl* target = activeControl_ ? activeControl_ : this;
    int key = event.key;
    target->KeyDown(key, event.shift);
    if (key == ui::kKeyTab && !(event.shift & (ssCtrl | ssAlt)))
        SelectNext(!(event.shift & ssShift));
}

void TForm::CharAt(const ui::Event& event) {
    char32_t ch = event.ch;
    if (!(event.shift & ssAlt)) {
        TWinControl* target = activeControl_ ? activeControl_ : this;
        target->KeyPress(ch);
        if (ch == 0 || target->WantsChars()) return;
    }
    // Offered to every control that can act on it, in paint order, until one takes it.
    std::vector<std::pair<TControl*, TRect>> order;
    CollectPaintOrder(*this, ClientRect(), order);
    for (auto& [c, part] : order) {
        if (c != this && c->Enabled() && c->Showing() && c->DialogChar(ch)) return;
    }
}

const PropertyTable& TForm::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TWinControl::ClassProperties());
        t.Add("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth);
        t.Add("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight);
        t.Add("Active", &TForm::Active);
        t.Add("ToolWindow", &TForm::ToolWindow, &TForm::SetToolWindow);
        t.AddText<TForm>("FormStyle", [](const TForm& f) {
            return std::string(f.FormStyle() == TFormStyle::fsStayOnTop ? "fsStayOnTop"
                                                                        : "fsNormal");
        });
        return t;
    }();
    return table;
}

}  // namespace tt
