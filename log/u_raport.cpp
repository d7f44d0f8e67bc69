#include "log/u_raport.h"

#include <string_view>
#include <vector>

namespace tt {

TfrmRaport::TfrmRaport(TComponent* owner, TShell& shell)
    : TCompanionForm(owner, shell, "frmRaport", 209, false, TCompanionMove::SystemMove) {
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
    Klawisze->SetButtons(&shell_.Skins.ImageList1);
    Klawisze->SetOrientation(TLayOut::loHor);
    Klawisze->OnClick = [this](TComponent* s) { KlawiszeClick(s); };

    OnCreate = [this](TComponent* s) { FormCreate(s); };
}

void TfrmRaport::CopyLog(const TLogLines& LogLines) {
    std::vector<std::string> lines;
    lines.reserve(LogLines.size());
    for (size_t i = 0; i < LogLines.size(); ++i) lines.emplace_back(LogLines[i]);
    ListBox1->SetItems(lines);
}

void TfrmRaport::FormCreate(TComponent*) {
    Klawisze->SetAltDrawing(shell_.AltDrawing);
}

void TfrmRaport::PaintBox1Paint(TComponent*) {
    Canvas& canvas = PaintBox1->GetCanvas();
    canvas.Font() = PaintBox1->Font();
    canvas.Brush() = TBrush{Color(), TBrushStyle::bsSolid};
    // The columns follow the list, so the width is the list's as it is now.
    const int column = ListBox1->Width() / 4;
    canvas.DrawTextAt(2, 2, "Data");
    canvas.DrawTextAt(column, 2, "Czas");
    canvas.DrawTextAt(2 * column, 2, "Impulsy");
    canvas.DrawTextAt(3 * column, 2, "Koszt");
}

void TfrmRaport::ListBox1DrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    Canvas& canvas = ListBox1->GetCanvas();
    // The list darkens the text of a selected row; the light yellow stays on the selection.
    canvas.Font() = ListBox1->Font();
    canvas.FillRect(Rect);

    std::string_view line = ListBox1->Items()[static_cast<size_t>(Index)];
    const int column = ListBox1->Width() / 4;
    TRect cell = Rect;
    // Field after field up to each TAB; a line without its final TAB has one more field, and
    // a field beyond the fourth starts past the row's right edge, where nothing shows.
    while (!line.empty()) {
        const size_t tab = line.find('\t');
        const std::string_view field = line.substr(0, tab);
        canvas.DrawTextLine(cell, field, TextPrefix::None);
        if (tab == std::string_view::npos) break;
        cell.Left += column;
        line.remove_prefix(tab + 1);
    }
}

void TfrmRaport::KlawiszeClick(TComponent*) {
    const int index = Klawisze->CommandIndex();
    if (index == 0 || index == 1) Close();
}

}  // namespace tt
