#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStyle>
#include <QSystemTrayIcon>

#ifdef TT_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

#include <algorithm>
#include <cstring>

#include "platform/qt/qt_private.h"

namespace tt::qt {

void QtBackend::ShowTrayIcon(const ui::TrayIcon& icon) {
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(
            tray_.get(), &QSystemTrayIcon::activated, helper_.get(),
            [this](QSystemTrayIcon::ActivationReason reason) {
                ui::TrayMouse what;
                switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        what = ui::TrayMouse::LeftDown;
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        what = ui::TrayMouse::LeftDoubleClick;
                        break;
                    case QSystemTrayIcon::Context:
                        what = ui::TrayMouse::RightDown;
                        break;
                    default:
                        return;
                }
                const QPoint at = QCursor::pos();
                EnqueueEvent(
                    ui::Event{.kind = ui::EventKind::Tray, .x = at.x(), .y = at.y(), .tray = what});
            });
    }
    // The program refreshes its tip every second; only a change reaches the tray host.
    const bool pictureChanged = !trayShown_ || trayShown_->width != icon.width ||
                                trayShown_->height != icon.height ||
                                trayShown_->pixels != icon.pixels;
    if (pictureChanged) {
        const size_t count = static_cast<size_t>(std::max(icon.width, 0)) *
                             static_cast<size_t>(std::max(icon.height, 0));
        if (icon.pixels.size() >= count && count > 0) {
            // The top byte of a word is its opacity: 0 where the desktop shows through.
            QImage image(icon.width, icon.height, QImage::Format_ARGB32);
            for (int row = 0; row < icon.height; ++row) {
                std::memcpy(image.scanLine(row),
                            icon.pixels.data() + static_cast<ptrdiff_t>(row) * icon.width,
                            static_cast<size_t>(icon.width) * 4);
            }
            // Each whole factor's own blow-up, so that a tray on a larger scale picks a sharp
            // one rather than smoothing the small picture.
            QIcon scaled;
            for (int factor = 1; factor <= 3; ++factor) {
                scaled.addPixmap(QPixmap::fromImage(
                    image.scaled(icon.width * factor, icon.height * factor, Qt::IgnoreAspectRatio,
                                 Qt::FastTransformation)));
            }
            tray_->setIcon(scaled);
        } else {
            tray_->setIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
        }
    }
    if (!trayShown_ || trayShown_->tip != icon.tip) tray_->setToolTip(ToQString(icon.tip));
    trayShown_ = icon;
    tray_->show();
}

void QtBackend::SetTrayTip(const std::string& tip) {
    if (!tray_ || !trayShown_ || trayShown_->tip == tip) return;
    tray_->setToolTip(ToQString(tip));
    trayShown_->tip = tip;
}

void QtBackend::HideTrayIcon() {
    if (tray_) tray_->hide();
}

bool QtBackend::TrayAvailable() {
    // Qt keeps watching: an icon shown while this is false appears when a tray host comes.
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtBackend::ShowNotification(const ui::Notification& notification) {
#ifdef TT_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("taktomat"));
        // Each notice stands on its own (0: replaces none); -1: the server's own time.
        call << QStringLiteral("Taktomat 2000") << 0u << QStringLiteral("taktomat")
             << ToQString(notification.title) << ToQString(notification.text) << QStringList()
             << hints << -1;
        // Never waits for the answer: a server that hangs must not stop the meter. A bus with
        // nobody to show notices answers with an error, and the tray icon says it instead.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), helper_.get());
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, helper_.get(),
                         [this, notification](QDBusPendingCallWatcher* done) {
                             if (QDBusPendingReply<uint>(*done).isError()) {
                                 ShowTrayMessage(notification);
                             }
                             done->deleteLater();
                         });
        return true;
    }
#endif
    return ShowTrayMessage(notification);
}

bool QtBackend::ShowTrayMessage(const ui::Notification& notification) {
    if (!tray_ || !tray_->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    tray_->showMessage(ToQString(notification.title), ToQString(notification.text),
                       QSystemTrayIcon::Information, 10000);
    return true;
}

}  // namespace tt::qt
