// A sample form with the toolkit's standard controls and a tray icon on the Win32 backend, for
// a look at the backend on a real screen (the smoke under Wine takes a picture of it).
//
//   win32_demo [--builtin-font] [--hidden] [--seconds N] [--at X,Y]
//       shows the form at X,Y (default 40,40) and ends after N seconds (default: when closed);
//       --builtin-font draws text with the toolkit's own font instead of GDI's, so that the
//       screen can be compared with the headless picture pixel for pixel; --hidden starts with
//       the tray icon alone, and a click on it shows the form.
//   win32_demo --headless-png OUT.png
//       draws the same form on the headless backend and writes its picture.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/headless/headless_backend.h"
#include "platform/win32/win32_backend.h"
#include "testing/sample_form.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/gfx/font.h"
#include "toolkit/gfx/png.h"
#include "toolkit/stdctrls.h"
#ifdef TT_HAVE_SHELLAGE
#include "controls/Shellage.h"
#endif

namespace {

using namespace tt;

// The toolkit tests' sample form, placed where asked, with text in its edit field, a chosen
// list line, a paint box of three bars the smoke looks for, and a background that drags.
class TfrmDemo : public TSampleForm {
  public:
    TfrmDemo(TComponent* owner, int left, int top) : TSampleForm(owner) {
        SetName("frmDemo");
        SetLeft(left);
        SetTop(top);
        edtName->SetMaxLength(0);
        edtName->SetText("Zażółć");
        ListBox1->SetItemIndex(1);

        // A press on the form's own background drags it, as the program's windows are moved.
        OnMouseDown = [this](TComponent*, TMouseButton button, TShiftState, int, int) {
            if (button == TMouseButton::mbLeft) StartSystemMove([] {});
        };
        PaintBox1->OnPaint = [this](TComponent*) {
            Canvas& c = PaintBox1->GetCanvas();
            c.Brush().Color = clRed;
            c.FillRect({0, 0, 58, 20});
            c.Brush().Color = clLime;
            c.FillRect({0, 22, 58, 42});
            c.Brush().Color = clBlue;
            c.FillRect({0, 44, 58, 66});
        };
    }
};

// A 16 x 16 tray picture: a yellow disc on blue.
Bitmap TrayPicture() {
    Bitmap icon(16, 16);
    icon.GetCanvas().Brush().Color = clNavy;
    icon.GetCanvas().FillRect(icon.BoundsRect());
    icon.GetCanvas().Brush().Color = clYellow;
    icon.GetCanvas().Pen().Color = clYellow;
    icon.GetCanvas().Ellipse(3, 3, 13, 13);
    return icon;
}

int HeadlessPicture(const char* path) {
    headless::HeadlessBackend backend;
    Application app(backend);
    auto& form = app.CreateForm<TfrmDemo>(40, 40);
    form.Show();
    app.ProcessMessages();
    WritePng(form.Buffer(), path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool builtinFont = false;
    bool hidden = false;
    int seconds = 0;
    int left = 40;
    int top = 40;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--headless-png") && i + 1 < argc)
            return HeadlessPicture(argv[++i]);
        if (!std::strcmp(argv[i], "--builtin-font")) builtinFont = true;
        if (!std::strcmp(argv[i], "--hidden")) hidden = true;
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--at") && i + 1 < argc &&
            std::sscanf(argv[++i], "%d,%d", &left, &top) != 2) {
            return 2;
        }
    }

    win32::Win32Backend backend("Taktomat 2000");
    win32::GdiFontEngine gdi;
    if (!builtinFont) SetCurrentFontEngine(&gdi);
    {
        Application app(backend);
        app.SetTitle("Taktomat 2000");
        auto& form = app.CreateForm<TfrmDemo>(left, top);
#ifdef TT_HAVE_SHELLAGE
        // The program's own tray component, through the shell and the form's window procedure.
        auto* nIcon = new TNotifyIcon(&form);  // owned by the form
        nIcon->SetBringToFront(true);
        nIcon->SetEnableDblClick(false);
        nIcon->SetIcon(TrayPicture());
        nIcon->SetHint("Taktomat 2000");
        nIcon->OnClick = [&form](TComponent*) { form.Show(); };
        nIcon->SetIconVisible(true);
#else
        const Bitmap tray = TrayPicture();
        app.ShowTrayIcon("Taktomat 2000", &tray);
        app.OnTrayMouse = [&form](ui::TrayMouse what, TPoint) {
            if (what == ui::TrayMouse::LeftDown) form.Show();
        };
#endif
        auto* stop = new TTimer(&app);  // owned by the application
        stop->SetEnabled(seconds > 0);
        stop->SetInterval(seconds * 1000);
        stop->OnTimer = [&app](TComponent*) { app.Terminate(); };
        if (!hidden) form.Show();
        app.Run();
    }
    SetCurrentFontEngine(nullptr);
    return 0;
}
