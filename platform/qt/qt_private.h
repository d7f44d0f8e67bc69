#pragma once
// What the Qt backend's own files share; nothing outside platform/qt includes it.
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QRasterWindow>
#include <QString>

#include <cstdint>
#include <string>

#include "platform/qt/qt_backend.h"

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QTimerEvent;
class QWheelEvent;

namespace tt::qt {

// Posted to the loop's helper: a wake-up from any thread, and a turn of the program's loop
// asked for from inside a native modal loop.
inline const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 1);
inline const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::User + 2);

inline QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One toolkit window: shows the last presented buffer and reports input.
class Surface : public QRasterWindow {
  public:
    Surface(QtBackend& backend, int id, const ui::WindowStyle& style);

    const ui::WindowStyle& Style() const { return style_; }
    // Copies what changed of the frame and has it painted, every pixel a block of the
    // window's whole factor.
    void Show(const uint32_t* pixels, int width, int height, ui::Rect dirty);
    // The whole factor the window is shown at on its screen now.
    int Factor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void Mouse(const QMouseEvent& e);
    void Wheel(const QWheelEvent& e);
    void Key(const QKeyEvent& e);

    QtBackend& backend_;
    int id_;
    ui::WindowStyle style_;
    QImage frame_;  // the last frame as presented
    QImage image_;  // the frame at the factor, with that device pixel ratio
};

// Receives the timers, the wake-ups and the hand-over requests of the loop.
class LoopHelper : public QObject {
  public:
    explicit LoopHelper(QtBackend& backend) : backend_(backend) {}

  protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QtBackend& backend_;
};

}  // namespace tt::qt
