#include "gui/kit/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace velsend::gui::kit {
namespace {

QRect Available(const QWidget* parent) {
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 720);
}

}  // namespace

QSize ScreenRoom(const QWidget* parent) {
    // Room for the frame and title bar the window manager adds.
    return Available(parent).size() - QSize(16, 48);
}

void PlaceBeside(QWidget* window, QWidget* owner, const QWidget* keepClear) {
    // A window never shown has no size yet: take the one showing gives it.
    if (!window->testAttribute(Qt::WA_Resized)) window->adjustSize();
    const QRect area = Available(owner);
    const QRect beside = owner->frameGeometry();
    // Positions are the frame's; a window not yet shown has no frame, so
    // the owner's stands in for it.
    const bool framed = window->frameGeometry() != window->geometry();
    const QPoint margin = framed ? QPoint() : owner->geometry().topLeft() - beside.topLeft();
    const QSize extra = framed ? QSize() : beside.size() - owner->geometry().size();
    const QSize size = (window->frameGeometry().size() + extra).boundedTo(area.size());
    constexpr int kGap = 4;
    // The gap also leaves room for a layout that grows a little on showing.
    const auto fits = [&](int x) {
        return x >= area.left() + kGap && x + size.width() + kGap <= area.right() + 1;
    };
    int x = beside.right() + 1 + kGap;
    if (!fits(x)) x = beside.left() - kGap - size.width();
    if (!fits(x) && keepClear) {
        x = keepClear->mapToGlobal(QPoint(keepClear->width(), 0)).x() + kGap;
        const int over = x + size.width() + kGap - (area.right() + 1);
        const int shift = std::min(over, beside.left() - area.left());
        if (shift > 0) {
            owner->move(owner->pos() - QPoint(shift, 0));
            x -= shift;
        }
    }
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - kGap - size.width()));
    const int y = std::clamp(beside.top(), area.top(), area.bottom() + 1 - size.height());
    window->move(QPoint(x, y) + margin);
}

void FitToScreen(QWidget* window, QSize wanted, const QWidget* parent) {
    const QSize size = wanted.boundedTo(ScreenRoom(parent));
    window->resize(size);
    window->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, Available(parent)));
}

}  // namespace velsend::gui::kit
