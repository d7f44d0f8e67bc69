#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <optional>

#include "platform/qt/qt_private.h"

namespace tt::qt {

namespace {

unsigned ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    unsigned shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ui::kShiftKey;
    if (modifiers & Qt::AltModifier) shift |= ui::kAltKey;
    if (modifiers & Qt::ControlModifier) shift |= ui::kCtrlKey;
    if (buttons & Qt::LeftButton) shift |= ui::kLeftButton;
    if (buttons & Qt::RightButton) shift |= ui::kRightButton;
    if (buttons & Qt::MiddleButton) shift |= ui::kMiddleButton;
    return shift;
}

std::optional<ui::MouseButton> ButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return ui::MouseButton::Left;
        case Qt::RightButton:
            return ui::MouseButton::Right;
        case Qt::MiddleButton:
            return ui::MouseButton::Middle;
        default:
            return std::nullopt;
    }
}

// The toolkit's code of a Qt key; kKeyNone for the keys it has no name for.
ui::Key KeyOf(int key, Qt::KeyboardModifiers modifiers) {
    // The toolkit's digits, letters and function keys run in Qt's order.
    const auto from = [key](int first, ui::Key to) {
        return static_cast<ui::Key>(to + key - first);
    };
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return from(Qt::Key_0, (modifiers & Qt::KeypadModifier) ? ui::kKeyNumpad0 : ui::kKey0);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return from(Qt::Key_A, ui::kKeyA);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return from(Qt::Key_F1, ui::kKeyF1);
    switch (key) {
        case Qt::Key_Backspace:
            return ui::kKeyBack;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return ui::kKeyTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return ui::kKeyReturn;
        case Qt::Key_Shift:
            return ui::kKeyShift;
        case Qt::Key_Control:
            return ui::kKeyControl;
        case Qt::Key_Alt:
            return ui::kKeyAlt;
        case Qt::Key_Pause:
            return ui::kKeyPause;
        case Qt::Key_CapsLock:
            return ui::kKeyCapsLock;
        case Qt::Key_Escape:
            return ui::kKeyEscape;
        case Qt::Key_Space:
            return ui::kKeySpace;
        case Qt::Key_PageUp:
            return ui::kKeyPageUp;
        case Qt::Key_PageDown:
            return ui::kKeyPageDown;
        case Qt::Key_End:
            return ui::kKeyEnd;
        case Qt::Key_Home:
            return ui::kKeyHome;
        case Qt::Key_Left:
            return ui::kKeyLeft;
        case Qt::Key_Up:
            return ui::kKeyUp;
        case Qt::Key_Right:
            return ui::kKeyRight;
        case Qt::Key_Down:
            return ui::kKeyDown;
        case Qt::Key_Insert:
            return ui::kKeyInsert;
        case Qt::Key_Delete:
            return ui::kKeyDelete;
        default:
            return ui::kKeyNone;
    }
}

}  // namespace

Surface::Surface(QtBackend& backend, int id, const ui::WindowStyle& style)
    : backend_(backend), id_(id), style_(style) {
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (style.popup) {
        // Override-redirect on X11: no frame, no focus, no activation, no taskbar button.
        flags |= Qt::ToolTip | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint;
    } else {
        flags |= style.toolWindow ? Qt::Tool : Qt::Window;
        if (style.topmost) flags |= Qt::WindowStaysOnTopHint;
    }
    setFlags(flags);
}

int Surface::Factor() const {
    return ui::WholeScale(0, devicePixelRatio());
}

void Surface::Show(const uint32_t* pixels, int width, int height, ui::Rect dirty) {
    if (frame_.width() != width || frame_.height() != height) {
        frame_ = QImage(width, height, QImage::Format_RGB32);
        dirty = {0, 0, width, height};
    }
    const int factor = Factor();
    if (image_.width() != width * factor || image_.height() != height * factor) {
        image_ = QImage(width * factor, height * factor, QImage::Format_RGB32);
        image_.setDevicePixelRatio(factor);
        dirty = {0, 0, width, height};
    }
    dirty = ui::ClipToFrame(dirty, width, height);
    if (dirty.Width() == 0) return;
    ui::CopyFramePart(pixels, width, dirty, frame_.bits(), frame_.bytesPerLine());
    ui::CopyFramePartScaled(pixels, width, dirty, image_.bits(), image_.bytesPerLine(), factor);
    update(QRect(dirty.left, dirty.top, dirty.Width(), dirty.Height()));
}

void Surface::paintEvent(QPaintEvent* event) {
    // Moved to a screen of another scale: the last frame is blown up anew.
    const int factor = Factor();
    if (!frame_.isNull() && image_.devicePixelRatio() != factor) {
        image_ = QImage(frame_.width() * factor, frame_.height() * factor, QImage::Format_RGB32);
        image_.setDevicePixelRatio(factor);
        ui::CopyFramePartScaled(reinterpret_cast<const uint32_t*>(frame_.constBits()),
                                frame_.width(), {0, 0, frame_.width(), frame_.height()},
                                image_.bits(), image_.bytesPerLine(), factor);
    }
    const QRect r = event->rect();
    const int f = static_cast<int>(image_.devicePixelRatio());
    QPainter painter(this);
    painter.drawImage(r, image_, QRect(r.x() * f, r.y() * f, r.width() * f, r.height() * f));
}

bool Surface::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            Mouse(*static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonDblClick:
            // The press before it came too; double clicks are told apart from presses.
            return true;
        case QEvent::Leave:
            backend_.OnInput(id_, {.kind = ui::EventKind::MouseLeave});
            break;
        case QEvent::Wheel:
            Wheel(*static_cast<QWheelEvent*>(event));
            return true;
        case QEvent::KeyPress:
            Key(*static_cast<QKeyEvent*>(event));
            return true;
        case QEvent::Close:
            // The program decides whether and how a window closes.
            event->ignore();
            backend_.OnInput(id_, {.kind = ui::EventKind::CloseRequest});
            return true;
        default:
            break;
    }
    return QRasterWindow::event(event);
}

void Surface::Mouse(const QMouseEvent& e) {
    QtBackend::Input in{.kind = ui::EventKind::MouseMove};
    const QPoint local = e.position().toPoint();
    const QPoint global = e.globalPosition().toPoint();
    in.x = local.x();
    in.y = local.y();
    in.globalX = global.x();
    in.globalY = global.y();
    in.shift = ShiftOf(e.modifiers(), e.buttons());
    in.time = static_cast<int64_t>(e.timestamp());
    if (e.type() != QEvent::MouseMove) {
        const auto button = ButtonOf(e.button());
        if (!button) return;
        in.kind = e.type() == QEvent::MouseButtonPress ? ui::EventKind::MouseDown
                                                       : ui::EventKind::MouseUp;
        in.button = *button;
    }
    backend_.OnInput(id_, in);
}

void Surface::Wheel(const QWheelEvent& e) {
    const int delta = e.angleDelta().y();
    if (delta == 0) return;  // a sideways turn: nothing of ours scrolls sideways
    const QPoint local = e.position().toPoint();
    const QPoint global = e.globalPosition().toPoint();
    backend_.OnInput(id_, {.kind = ui::EventKind::MouseWheel,
                           .x = local.x(),
                           .y = local.y(),
                           .globalX = global.x(),
                           .globalY = global.y(),
                           .shift = ShiftOf(e.modifiers(), e.buttons()),
                           .wheel = delta});
}

void Surface::Key(const QKeyEvent& e) {
    const unsigned shift = ShiftOf(e.modifiers(), Qt::NoButton);
    if (const ui::Key key = KeyOf(e.key(), e.modifiers()); key != ui::kKeyNone) {
        backend_.OnInput(id_, {.kind = ui::EventKind::KeyDown, .shift = shift, .key = key});
    }
    // Then the characters the key typed, control characters included, as the toolkit
    // expects them; Delete types nothing there.
    for (const char32_t ch : e.text().toUcs4()) {
        if (ch == 0x7F) continue;
        backend_.OnInput(id_, {.kind = ui::EventKind::Char, .shift = shift, .ch = ch});
    }
}

}  // namespace tt::qt
