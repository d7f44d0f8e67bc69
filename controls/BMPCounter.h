#pragma once
#include <cstdint>
#include <string>

#include "settings/counter_range.h"
#include "toolkit/application.h"
#include "toolkit/control.h"
#include "toolkit/gfx/bitmap.h"
#include "toolkit/gfx/image_list.h"

namespace tt {

// A number drawn from image-list cells: zero-padded digits, an optional sign cell in front
// and an optional two-arrow changer behind, which steps the value while it is held.
//
// Cells of Digits: 0-9 the digits, 10 changer idle, 11 changer highlighted, 12 stepping
// down, 13 stepping up, 14 "+", 15 "-".
class TBMPCounter : public TCustomControl {
  public:
    explicit TBMPCounter(TComponent* owner);
    ~TBMPCounter() override;

    // Not owned; null is ignored. Setting it does not repaint.
    ImageList* Digits() const { return digits_; }
    void SetDigits(ImageList* list) {
        if (list) digits_ = list;
    }
    bool UseSign() const { return useSign_; }
    void SetUseSign(bool value);
    bool UseChanger() const { return useChanger_; }
    void SetUseChanger(bool value);

    std::int32_t Value() const { return value_; }
    void SetValue(std::int32_t value);
    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double value);
    double MinValue() const { return minValue_; }
    void SetMinValue(double value);
    double Step() const { return step_; }
    void SetStep(double value);

    // Digit cells of the last render, from the number of digits of round(|MaxValue|).
    int DigitCount() const { return digitCount_; }
    // 1 idle, 2 pointer over the changer, 3 stepping down, 4 stepping up.
    int ChangerState() const { return changerState_; }
    bool AltDrawing() const { return altDrawing_; }
    void SetAltDrawing(bool value) { altDrawing_ = value; }
    TTimer& RepeatTimer() const { return *repeatTimer_; }
    const Bitmap& StripBitmap() const { return strip_; }

    // Raised by every mouse press on the counter, after its first step.
    TNotifyEvent OnChange;

    void SetVisible(bool value) override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;

    static const PropertyTable& ClassProperties();
    const PropertyTable& Properties() const override { return ClassProperties(); }

  private:
    int CellWidth() const { return digits_ ? digits_->Width() : 0; }
    // Clamps the value, steps it while a press on the changer lasts (only when `step`),
    // composes the strip and sizes the control. Without Digits it does nothing.
    void Render(bool step);
    void RepaintNow();
    void DrawCell(int index, int x);
    void UpdateScreenCursor();
    void RepeatTimerTick();

    // Text forms of the bounds for the property table, which knows no floating point.
    std::string MaxValueText() const;
    void SetMaxValueText(const std::string& text);
    std::string MinValueText() const;
    void SetMinValueText(const std::string& text);
    std::string StepText() const;
    void SetStepText(const std::string& text);

    ImageList* digits_ = nullptr;
    bool useSign_ = false;
    bool useChanger_ = true;
    std::int32_t value_ = 0;
    double maxValue_ = 0;
    double minValue_ = 0;
    double step_ = 1.0;
    int digitCount_ = 1;
    int changerState_ = 1;
    // A left press on the changer that has not been released or followed by a movement:
    // only then does a repaint step the value.
    bool stepping_ = false;
    bool altDrawing_ = false;
    bool handCursor_ = false;
    bool freshStrip_ = false;  // rendered for the paint that is about to happen  // this counter
                               // made the application cursor a hand
    TTimer* repeatTimer_;      // owned through the component mechanism
    Bitmap strip_;
    Bitmap scratch_;
};

}  // namespace tt
