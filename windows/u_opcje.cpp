#include "windows/u_opcje.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "base/error.h"
#include "base/utf8.h"
#include "controls/skin/skin.h"
#include "toolkit/application.h"

namespace tt {

namespace {

constexpr const char* kBadPrice = "Nieprawidłowe wartości ceny!";
constexpr const char* kPriceOutOfRange = "Cena impulsu musi wynosić od 0 do 1000 zł!";
constexpr const char* kPulseHint = "czas trwania impulsu w sekundach";

// The start-time fields as the window was drawn for times of eight characters; the price
// column may move right until it meets the window's right margin.
constexpr int kStartFieldWidth = 62;
constexpr int kMostShift = 275 - 8 - (160 + 56);

// Every time of day the locale writes: each hour with the widest minutes and seconds, before
// and after noon.
std::array<std::string, 24> WidestTimes(const FormatSettings& fs) {
    std::array<std::string, 24> times;
    for (int hour = 0; hour < 24; ++hour) {
        times[static_cast<size_t>(hour)] = TimeToStr(EncodeTime(hour, 58, 58), fs);
    }
    return times;
}

int LongestTimeChars(const FormatSettings& fs) {
    int longest = 8;
    for (const std::string& text : WidestTimes(fs)) {
        int chars = 0;
        for (size_t at = 0; at < text.size(); ++chars) NextCodePoint(text, at);
        longest = std::max(longest, chars);
    }
    return longest;
}

// Wide enough for every time of day, with the field's text margin on both sides.
int StartFieldWidth(const TFont& font, const FormatSettings& fs) {
    int widest = 0;
    for (const std::string& text : WidestTimes(fs)) {
        widest = std::max(widest, MeasureText(font, text).Width);
    }
    return std::clamp(widest + 6, kStartFieldWidth, kStartFieldWidth + kMostShift);
}

}  // namespace

TfrmOpcje::TfrmOpcje(TComponent* owner, TWindowKit& kit, TSettings& settings,
                     const FormatSettings& fs, TTariffTable& tariffTable,
                     std::filesystem::path programFolder)
    : TCompanionForm(owner, kit, "frmOpcje", 140, true, TCompanionMove::SystemMove),
      settings_(settings),
      fs_(fs),
      tariffTable_(tariffTable),
      programFolder_(std::move(programFolder)) {
    SetCaption("Opcje Taktomata");
    SetShowHint(true);

    // Dark text on the light field, so that the caret shows while a price is typed.
    TFont fieldFont = Font();
    fieldFont.Color = clWindowText;

    const int timeChars = LongestTimeChars(fs_);

    lblStrefa = PlaceLabel(this, "lblStrefa", 8, 4, "Strefa opłat");
    lblImpuls = PlaceLabel(this, "lblImpuls", 98, 4, "Impuls");
    lblCena = PlaceLabel(this, "lblCena", 160, 4, "Cena zł");

    const std::array<const char*, 3> odNames{"lblOd1", "lblOd2", "lblOd3"};
    const std::array<const char*, 3> startNames{"edtStrefa1_Start", "edtStrefa2_Start",
                                                "edtStrefa3_Start"};
    const std::array<const char*, 3> startTexts{"08:00:00", "22:00:00", "00:00:00"};
    const std::array<const char*, 3> counterNames{"cntImpuls_1", "cntImpuls_2", "cntImpuls_3"};
    const std::array<const char*, 3> priceNames{"edtCena1", "edtCena2", "edtCena3"};
    std::array<TLabel*, 3> od{};
    std::array<TEdit*, 3> starts{};
    std::array<TBMPCounter*, 3> counters{};
    std::array<TEdit*, 3> prices{};
    for (size_t i = 0; i < 3; ++i) {
        const int top = 19 + 21 * static_cast<int>(i);
        od[i] = PlaceLabel(this, odNames[i], 8, top + 4, "od:");

        TEdit* start = Place<TEdit>(this, startNames[i], 26, top, kStartFieldWidth, 20);
        start->SetFont(fieldFont);
        start->SetReadOnly(true);
        start->SetMaxLength(timeChars);
        start->SetText(startTexts[i]);
        start->OnKeyDown = [this](TComponent* s, int& key, TShiftState shift) {
            ZmianaUstawienStref(s, key, shift);
        };
        starts[i] = start;

        TBMPCounter* counter = Place<TBMPCounter>(this, counterNames[i], 98, top, 50, 20);
        counter->SetDigits(&kit_.Skins.imgCyfry);
        counter->SetMaxValue(3600);
        counter->SetMinValue(30);
        counter->SetStep(30);
        counter->SetValue(30);
        counter->SetHint(kPulseHint);
        counters[i] = counter;

        TEdit* price = Place<TEdit>(this, priceNames[i], 160, top, 56, 20);
        price->SetFont(fieldFont);
        price->SetText("0,29");
        prices[i] = price;
    }
    lblOd1 = od[0];
    lblOd2 = od[1];
    lblOd3 = od[2];
    edtStrefa1_Start = starts[0];
    edtStrefa2_Start = starts[1];
    edtStrefa3_Start = starts[2];
    cntImpuls_1 = counters[0];
    cntImpuls_2 = counters[1];
    cntImpuls_3 = counters[2];
    edtCena1 = prices[0];
    edtCena2 = prices[1];
    edtCena3 = prices[2];

    auto box = [this](const char* name, const char* caption, int top, bool checked) {
        TBitCheckBox* b = Place<TBitCheckBox>(this, name, 8, top, 150, 17);
        b->SetCaption(caption);
        // The glyph's see-through corners and the box's own field blend with the skin.
        b->SetColor(kSkinFieldColor);
        b->SetChecked(checked);
        return b;
    };
    DoPulpitu = box("DoPulpitu", "przyciagaj do pulpitu", 84, true);
    DoEkranu = box("DoEkranu", "przyciagaj do ekranu", 100, false);
    chkShade = box("chkShade", "zawijaj do góry", 116, false);
    DoPulpitu->OnClick = [this](TComponent* s) { DoPulpituClick(s); };
    DoEkranu->OnClick = [this](TComponent* s) { DoEkranuClick(s); };

    Klawisze = Place<TBMPButton>(this, "Klawisze", 197, 113, 70, 20);
    Klawisze->SetButtons(&kit_.Skins.ImageList1);
    Klawisze->OnClick = [this](TComponent* s) { klawiszeClick(s); };

    OnCreate = [this](TComponent* s) { OdczytZINI(s); };
    OnShow = [this](TComponent* s) { OdczytZINI(s); };

    columnsWait_ = TextMeasuringWaits();
    if (!columnsWait_) FitColumnsToTimes();
}

void TfrmOpcje::FitColumnsToTimes() {
    // The start-time fields take the locale's longest time ("12:00:00 AM" under a 12-hour
    // clock); the columns to their right move over by what they grow.
    const int width = StartFieldWidth(edtStrefa1_Start->Font(), fs_);
    const int moved = width - kStartFieldWidth;
    for (TEdit* start : {edtStrefa1_Start, edtStrefa2_Start, edtStrefa3_Start}) {
        start->SetWidth(width);
    }
    for (TControl* c :
         std::initializer_list<TControl*>{lblImpuls, lblCena, cntImpuls_1, cntImpuls_2, cntImpuls_3,
                                          edtCena1, edtCena2, edtCena3}) {
        c->SetLeft(c->Left() + moved);
    }
}

void TfrmOpcje::MeasureWaitingText() {
    if (!columnsWait_) return;
    columnsWait_ = false;
    FitColumnsToTimes();
}

void TfrmOpcje::OdczytZINI(TComponent*) {
    const bool alt = AltDrawingMarkerPresent(programFolder_);
    Klawisze->SetAltDrawing(alt);
    const std::array<TBMPCounter*, 3> counters{cntImpuls_1, cntImpuls_2, cntImpuls_3};
    for (TBMPCounter* c : counters) c->SetAltDrawing(alt);

    // A time or price the user's locale cannot read (a decimal point typed into the file by
    // hand) falls back to its default rather than leaving the table half loaded.
    const std::array<const TimeKey*, 3> startKeys{&keys::S1_Start, &keys::S2_Start,
                                                  &keys::S3_Start};
    const std::array<const PriceKey*, 3> priceKeys{&keys::CENA1, &keys::CENA2, &keys::CENA3};
    for (int zone = 1; zone <= 3; ++zone) {
        tariffTable_.ZoneStart[zone] = Read(settings_, *startKeys[zone - 1], fs_);
    }
    for (int zone = 1; zone <= 3; ++zone) {
        tariffTable_.PulsePrice[zone] = Read(settings_, *priceKeys[zone - 1], fs_);
    }

    const std::array<TEdit*, 3> starts{edtStrefa1_Start, edtStrefa2_Start, edtStrefa3_Start};
    const std::array<TEdit*, 3> prices{edtCena1, edtCena2, edtCena3};
    for (int zone = 1; zone <= 3; ++zone) {
        starts[zone - 1]->SetText(TimeToStr(tariffTable_.ZoneStart[zone], fs_));
        prices[zone - 1]->SetText(FloatToStr(tariffTable_.PulsePrice[zone], fs_));
    }

    // The counters clamp what the file holds; the table takes the clamped value.
    const std::array<const IntegerKey*, 3> lengthKeys{&keys::IMPULS1, &keys::IMPULS2,
                                                      &keys::IMPULS3};
    for (int zone = 1; zone <= 3; ++zone) {
        const IntegerKey& key = *lengthKeys[zone - 1];
        counters[zone - 1]->SetValue(settings_.ReadInteger(key.Section, key.Key, key.Default));
    }
    for (int zone = 1; zone <= 3; ++zone) {
        tariffTable_.PulseLength[zone] = counters[zone - 1]->Value();
    }

    DoPulpitu->SetChecked(Read(settings_, keys::PULPIT));
    DoEkranu->SetChecked(!DoPulpitu->Checked());
    chkShade->SetChecked(Read(settings_, keys::SHADEDOWN));
}

void TfrmOpcje::klawiszeClick(TComponent*) {
    switch (Klawisze->CommandIndex()) {
        case 0:
            Confirm();
            break;
        case 1:
            Close();
            break;
        default:
            break;
    }
}

void TfrmOpcje::Confirm() {
    Application& app = Application::Current();
    kit_.SnapToWorkArea = DoPulpitu->Checked();

    // The start times reach the meter at once. The fields only ever hold what this window
    // wrote into them, but should one not read as a time, it is put back to the time the
    // meter uses, so that the file never receives a start it could not read again.
    const std::array<TEdit*, 3> starts{edtStrefa1_Start, edtStrefa2_Start, edtStrefa3_Start};
    for (int zone = 1; zone <= 3; ++zone) {
        TEdit* field = starts[zone - 1];
        TDateTime start = 0;
        if (TryStrToTime(field->Text(), fs_, start)) {
            tariffTable_.ZoneStart[zone] = start;
        } else {
            field->SetText(TimeToStr(tariffTable_.ZoneStart[zone], fs_));
        }
    }

    const unsigned boxFlags = ui::kMbOk | ui::kMbIconExclamation;
    const std::array<TEdit*, 3> prices{edtCena1, edtCena2, edtCena3};
    for (TEdit* field : prices) {
        long double price = 0;
        if (!TryStrToFloat(field->Text(), fs_, price)) {
            app.ShowMessageBox(kBadPrice, app.Title(), boxFlags);
            return;
        }
        if (!IsPulsePrice(price)) {
            app.ShowMessageBox(kPriceOutOfRange, app.Title(), boxFlags);
            return;
        }
    }

    try {
        settings_.WriteInteger(keys::IMPULS1.Section, keys::IMPULS1.Key, cntImpuls_1->Value());
        settings_.WriteInteger(keys::IMPULS2.Section, keys::IMPULS2.Key, cntImpuls_2->Value());
        settings_.WriteInteger(keys::IMPULS3.Section, keys::IMPULS3.Key, cntImpuls_3->Value());
        settings_.WriteBool(keys::PULPIT.Section, keys::PULPIT.Key, DoPulpitu->Checked());
        settings_.WriteBool(keys::SHADEDOWN.Section, keys::SHADEDOWN.Key, chkShade->Checked());
        settings_.WriteString(keys::S1_Start.Section, keys::S1_Start.Key, edtStrefa1_Start->Text());
        settings_.WriteString(keys::S2_Start.Section, keys::S2_Start.Key, edtStrefa2_Start->Text());
        settings_.WriteString(keys::S3_Start.Section, keys::S3_Start.Key, edtStrefa3_Start->Text());
        // As typed: "0,290" stays "0,290" in the file.
        settings_.WriteString(keys::CENA1.Section, keys::CENA1.Key, edtCena1->Text());
        settings_.WriteString(keys::CENA2.Section, keys::CENA2.Key, edtCena2->Text());
        settings_.WriteString(keys::CENA3.Section, keys::CENA3.Key, edtCena3->Text());
    } catch (const Error&) {
        // The window stays open with the user's values, so nothing typed is lost.
        app.ShowMessageBox(kBadPrice, app.Title(), boxFlags);
        return;
    }
    Close();
}

void TfrmOpcje::ZmianaUstawienStref(TComponent* Sender, int& Key, TShiftState) {
    // Tab moves the focus on to the next field; it is not meant for the field itself.
    if (Key == ui::kKeyTab) return;
    auto* field = dynamic_cast<TEdit*>(Sender);
    if (!field) return;
    TDateTime time = 0;
    if (!TryStrToTime(field->Text(), fs_, time)) return;
    const TimeParts parts = DecodeTime(time);
    int hour = parts.Hour;
    const int minute = parts.Minute != 0 ? 0 : 30;
    if (Key == ui::kKeyUp) {
        if (minute == 0) hour = hour == 23 ? 0 : hour + 1;
    } else {
        if (minute == 30) hour = hour == 0 ? 23 : hour - 1;
    }
    field->SetText(TimeToStr(EncodeTime(hour, minute, 0), fs_));
}

void TfrmOpcje::DoPulpituClick(TComponent*) {
    // One of the two is always ticked: a box is switched off only by ticking the other.
    if (DoPulpitu->Checked()) {
        DoEkranu->SetChecked(false);
    } else {
        DoPulpitu->SetChecked(true);
    }
}

void TfrmOpcje::DoEkranuClick(TComponent*) {
    if (DoEkranu->Checked()) {
        DoPulpitu->SetChecked(false);
    } else {
        DoEkranu->SetChecked(true);
    }
}

}  // namespace tt
