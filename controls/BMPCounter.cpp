#include "controls/BMPCounter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "base/error.h"
#include "toolkit/form.h"

namespace tt {

namespace {

constexpr int kRepeatInterval = 100;
constexpr int kCellPlus = 14;
constexpr int kCellMinus = 15;
constexpr int kChangerIdleCell = 10;  // state 1; the other states follow it

std::int64_t Saturate(std::int64_t v) {
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    return v < lo ? lo : (v > hi ? hi : v);
}

// Characters of round(|x|) written as a decimal integer.
int DecimalWidth(double x) {
    const double r = RoundHalfEven(std::fabs(x));
    char text[400];
    const int n = std::snprintf(text, sizeof text, "%.0f", r);
    return n > 0 ? n : 1;
}

std::string NumberText(double x) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, x);
    return ec == std::errc() ? std::string(text, end) : std::string("0");
}

double ParseNumber(const std::string& text) {
    double x = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), x);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(x)) {
        throw Error("\"" + text + "\" is not a number");
    }
    return x;
}

}  // namespace

TBMPCounter::TBMPCounter(TComponent* owner)
    : TCustomControl(owner), repeatTimer_(new TTimer(this)) {
    SetControlStyle(csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque);
    repeatTimer_->SetEnabled(false);
    repeatTimer_->SetInterval(kRepeatInterval);
    repeatTimer_->OnTimer = [this](TComponent*) { RepeatTimerTick(); };
}

TBMPCounter::~TBMPCounter() {
    if (handCursor_) {
        if (Application* app = Application::CurrentOrNull()) app->SetScreenCursor(crDefault);
    }
}

void TBMPCounter::SetVisible(bool value) {
    TCustomControl::SetVisible(value);
    if (value) return;
    // Hidden under the pointer or in the middle of a press, it hears neither the leave nor
    // the release: it lets go of the hand and the timer itself.
    repeatTimer_->SetEnabled(false);
    if (changerState_ != 1) MouseLeave();
}

void TBMPCounter::SetUseSign(bool value) {
    useSign_ = value;
    RepaintNow();
}

void TBMPCounter::SetUseChanger(bool value) {
    useChanger_ = value;
    RepaintNow();
}

void TBMPCounter::SetValue(std::int32_t value) {
    if (static_cast<double>(value) < minValue_) value = CounterRound(minValue_);
    if (static_cast<double>(value) > maxValue_) value = CounterRound(maxValue_);
    value_ = value;
    RepaintNow();
}

void TBMPCounter::SetMaxValue(double value) {
    if (!std::isfinite(value)) return;
    maxValue_ = value < minValue_ ? minValue_ : value;
    RepaintNow();
}

void TBMPCounter::SetMinValue(double value) {
    if (!std::isfinite(value)) return;
    minValue_ = value > maxValue_ ? maxValue_ : value;
    RepaintNow();
}

void TBMPCounter::SetStep(double value) {
    if (std::isfinite(value)) step_ = value;
}

void TBMPCounter::DrawCell(int index, int x) {
    Canvas& canvas = strip_.GetCanvas();
    if (altDrawing_) {
        digits_->GetBitmap(index, scratch_);
        canvas.Draw(x, 0, scratch_);
    } else {
        digits_->Draw(canvas, x, 0, index);
    }
}

void TBMPCounter::Render(bool step) {
    digitCount_ = DecimalWidth(maxValue_);

    std::int64_t v = value_;
    if (step && stepping_ && digits_) {
        if (changerState_ == 3) v -= CounterRound(step_);
        if (changerState_ == 4) v += CounterRound(step_);
    }
    // The value stays within the bounds even while there are no cells to show it.
    if (static_cast<double>(v) > maxValue_) v = CounterRound(maxValue_);
    if (static_cast<double>(v) < minValue_) v = CounterRound(minValue_);
    value_ = static_cast<std::int32_t>(Saturate(v));
    if (!digits_) return;

    const int cw = digits_->Width();
    const int ch = digits_->Height();
    const int lead = useSign_ ? 1 : 0;
    const int cells = digitCount_ + lead + (useChanger_ ? 1 : 0);
    // As tall as a cell: drawn at the control's height, a counter whose cells arrive while
    // it is still smaller would show a cut strip until its next render.
    strip_.SetSize(cw * cells, ch);

    const std::int64_t magnitude = value_ < 0 ? -static_cast<std::int64_t>(value_) : value_;
    std::string text = std::to_string(magnitude);
    if (static_cast<int>(text.size()) < digitCount_) {
        text.insert(0, static_cast<size_t>(digitCount_) - text.size(), '0');
    }
    // A number wider than the digits MaxValue needs (a negative lower bound) shows its
    // leading digits only.
    for (int i = 0; i < digitCount_; ++i) {
        DrawCell(text[static_cast<size_t>(i)] - '0', (i + lead) * cw);
    }
    if (useSign_) DrawCell(value_ < 0 ? kCellMinus : kCellPlus, 0);
    if (useChanger_) DrawCell(kChangerIdleCell - 1 + changerState_, (cells - 1) * cw);

    SetBounds(Left(), Top(), strip_.Width(), ch);
    UpdateScreenCursor();
}

void TBMPCounter::UpdateScreenCursor() {
    Application* app = Application::CurrentOrNull();
    if (!app) return;
    if (changerState_ >= 2) {
        app->SetScreenCursor(crHandPoint);
        handCursor_ = true;
    } else if (handCursor_) {
        // Back to every control's own cursor, this counter's included; another holder of
        // the application cursor is left alone.
        app->SetScreenCursor(crDefault);
        handCursor_ = false;
    }
}

void TBMPCounter::Paint() {
    // A paint the toolkit asks for shows the value; only the counter's own repaints step.
    if (!freshStrip_) Render(false);
    freshStrip_ = false;
    if (digits_) GetCanvas().Draw(0, 0, strip_);
}

void TBMPCounter::RepaintNow() {
    Render(true);
    if (Showing()) {
        // The paint that follows at once copies this render rather than making another.
        freshStrip_ = true;
        Repaint();
        freshStrip_ = false;
    }
}

void TBMPCounter::RepeatTimerTick() {
    RepaintNow();
}

void TBMPCounter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const bool left = (shift & ssLeft) != 0;
    if (useChanger_) {
        if (x >= Width() - CellWidth() && left) {
            // The middle row belongs to the upper arrow.
            changerState_ = y <= Height() / 2 ? 4 : 3;
        } else {
            changerState_ = 1;
        }
        repeatTimer_->SetEnabled(left);
    } else {
        changerState_ = 1;
    }
    stepping_ = changerState_ >= 3;
    RepaintNow();  // the first step comes with the press
    if (OnChange) OnChange(this);
    TCustomControl::MouseDown(button, shift, x, y);
}

void TBMPCounter::MouseMove(TShiftState shift, int x, int y) {
    changerState_ = useChanger_ && x > Width() - CellWidth() ? 2 : 1;
    stepping_ = false;
    RepaintNow();
    TCustomControl::MouseMove(shift, x, y);
}

void TBMPCounter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    repeatTimer_->SetEnabled(false);
    stepping_ = false;
    TCustomControl::MouseUp(button, shift, x, y);
}

void TBMPCounter::MouseLeave() {
    changerState_ = 1;
    stepping_ = false;
    RepaintNow();
}

std::string TBMPCounter::MaxValueText() const {
    return NumberText(maxValue_);
}
void TBMPCounter::SetMaxValueText(const std::string& text) {
    SetMaxValue(ParseNumber(text));
}
std::string TBMPCounter::MinValueText() const {
    return NumberText(minValue_);
}
void TBMPCounter::SetMinValueText(const std::string& text) {
    SetMinValue(ParseNumber(text));
}
std::string TBMPCounter::StepText() const {
    return NumberText(step_);
}
void TBMPCounter::SetStepText(const std::string& text) {
    SetStep(ParseNumber(text));
}

const PropertyTable& TBMPCounter::ClassProperties() {
    static const PropertyTable table = [] {
        PropertyTable t(&TCustomControl::ClassProperties());
        t.Add("Value", &TBMPCounter::Value, &TBMPCounter::SetValue);
        t.Add("MaxValue", &TBMPCounter::MaxValueText, &TBMPCounter::SetMaxValueText);
        t.Add("MinValue", &TBMPCounter::MinValueText, &TBMPCounter::SetMinValueText);
        t.Add("Step", &TBMPCounter::StepText, &TBMPCounter::SetStepText);
        t.Add("UseSign", &TBMPCounter::UseSign, &TBMPCounter::SetUseSign);
        t.Add("UseChanger", &TBMPCounter::UseChanger, &TBMPCounter::SetUseChanger);
        t.Add("AltDrawing", &TBMPCounter::AltDrawing, &TBMPCounter::SetAltDrawing);
        t.Add("DigitCount", &TBMPCounter::DigitCount);
        t.Add("ChangerState", &TBMPCounter::ChangerState);
        return t;
    }();
    return table;
}

}  // namespace tt
