#include "windows/u_raport.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

namespace tt {

TfrmRaport::TfrmRaport(TComponent* owner, TWindowKit& kit)
    : TCompanionForm(owner, kit, "frmRaport", 209, false, TCompanionMove::SystemMove) {
    ListBox1 = Place<TListBox>(this, "ListBox1", 8, 24, 260, 145);
    ListBox1->SetBorderStyle(TBorderStyle::bsNone);
    ListBox1->SetColor(kCompanionColor);
    ListBox1->SetItemHeight(16);
    ListBox1->SetTabOrder(0);
    ListBox1->OnDrawItem = [this](TWinControl* c, int i, TRect r, TOwnerDrawState s) {
        ListBox1DrawItem(c, i, r, s);
    };

    PaintBox1 = Place<TPaintBox>(this, "PaintBox1", 8, 8, 260, 17);
    PaintBox1->OnPaint = [this](TComponent* s) { PaintBox1Paint(s); };

    Klawisze = Place<TBMPButton>(this, "Klawisze", 197, 176, 1, 1);
    Klawisze->SetButtons(&kit_.Skins.ImageList1);
    Klawisze->SetOrientation(TLayOut::loHor);
    Klawisze->OnClick = [this](TComponent* s) { KlawiszeClick(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
}

namespace {

// The log's lines as the window was filled: one copy of the text with the start of every 64th
// line, so that a log of millions of short lines costs little more than its own size (a string
// per line would cost many times that). The list asks only for the rows it draws.
class TLogCopy : public TListItems {
  public:
    explicit TLogCopy(const TLogLines& lines) : text_(lines.FileImage()), count_(lines.size()) {
        marks_.reserve(count_ / kStep + 1);
        for (size_t i = 0; i < count_; i += kStep) marks_.push_back(Start(lines, i));
    }
    size_t size() const override { return count_; }
    std::string_view operator[](size_t index) const override {
        // Every line ends in CR LF and holds no other line end (the log keeps them so).
        size_t at = marks_[index / kStep];
        for (size_t k = index % kStep; k > 0; --k) at = text_.find('\n', at) + 1;
        return std::string_view(text_).substr(at, text_.find('\n', at) - 1 - at);
    }

  private:
    static constexpr size_t kStep = 64;
    size_t Start(const TLogLines& lines, size_t i) const {
        return static_cast<size_t>(lines[i].data() - lines.FileImage().data());
    }
    std::string text_;
    size_t count_;
    std::vector<size_t> marks_;
};

}  // namespace

namespace {

// The longest text of each of the first three fields among the lines, counting a field only
// when another follows it: a field with nothing after it may run on past its column.
std::array<std::string_view, 3> LongestFields(const TLogLines& lines) {
    std::array<std::string_view, 3> longest{};
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        for (size_t k = 0; k < longest.size(); ++k) {
            const size_t tab = line.find('\t');
            if (tab == std::string_view::npos) break;
            if (tab > longest[k].size()) longest[k] = line.substr(0, tab);
            line.remove_prefix(tab + 1);
        }
    }
    return longest;
}

}  // namespace

void TfrmRaport::CopyLog(const TLogLines& LogLines) {
    // The old copy goes first, so that two copies of a long log are never held at once.
    ListBox1->Clear();
    const std::array<std::string_view, 3> longest = LongestFields(LogLines);
    for (size_t k = 0; k < longest.size(); ++k) {
        fieldWidths_[k] = MeasureText(ListBox1->Font(), longest[k]).Width;
    }
    ListBox1->SetItemSource(std::make_unique<TLogCopy>(LogLines));
    // The newest records are the ones looked for: the table opens at its end.
    ListBox1->SetTopIndex(ListBox1->Count());
}

std::array<int, 4> TfrmRaport::ColumnStarts() const {
    // A quarter of the list each, or more for a field that needs it (a 12-hour locale's time,
    // a long date), up to a third, so that the columns after it still show.
    const int quarter = ListBox1->Width() / 4;
    const int most = ListBox1->Width() / 3;
    std::array<int, 4> starts{};
    for (size_t k = 0; k < fieldWidths_.size(); ++k) {
        starts[k + 1] = starts[k] + std::clamp(fieldWidths_[k] + kColumnGap, quarter, most);
    }
    return starts;
}

void TfrmRaport::FormCreate(TComponent*) {
    Klawisze->SetAltDrawing(kit_.AltDrawing);
}

void TfrmRaport::PaintBox1Paint(TComponent*) {
    Canvas& canvas = PaintBox1->GetCanvas();
    canvas.Font() = PaintBox1->Font();
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    // The columns follow the list, so the width is the list's as it is now.
    const std::array<int, 4> column = ColumnStarts();
    canvas.DrawTextAt(2, 2, "Data");
    canvas.DrawTextAt(column[1], 2, "Czas");
    canvas.DrawTextAt(column[2], 2, "Impulsy");
    canvas.DrawTextAt(column[3], 2, "Koszt");
}

void TfrmRaport::ListBox1DrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    Canvas& canvas = ListBox1->GetCanvas();
    // The list darkens the text of a selected row; the light yellow stays on the selection.
    canvas.Font() = ListBox1->Font();
    canvas.FillRect(Rect);

    std::string_view line = ListBox1->Items()[static_cast<size_t>(Index)];
    const std::array<int, 4> column = ColumnStarts();
    TRect cell = Rect;
    // Field after field up to each TAB; a line without its final TAB has one more field, and
    // a field beyond the fourth starts at the row's right edge, where nothing shows.
    for (size_t k = 0; !line.empty(); ++k) {
        const size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        canvas.DrawTextLine(cell, field, TextPrefix::None);
        if (tab == std::string_view::npos) break;
        cell.Left = Rect.Left + (k + 1 < column.size() ? column[k + 1] : Rect.Width());
        line.remove_prefix(tab + 1);
    }
}

void TfrmRaport::KlawiszeClick(TComponent*) {
    const int index = Klawisze->CommandIndex();
    if (index == 0 || index == 1) Close();
}

}  // namespace tt
