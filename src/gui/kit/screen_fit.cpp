#include "gui/kit/screen_fit.h"

#include <QApplication>
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

// The other windows shown beside `owner` (F1, F5 and F7 beside the device
// form): a new one goes next to them, not on top of them.
QList<QWidget*> Placed(const QWidget* window, const QWidget* owner) {
    QList<QWidget*> placed;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != window && w != owner && w->isVisible() && w->parentWidget() == owner) placed << w;
    }
    return placed;
}

}  // namespace

QSize ScreenRoom(const QWidget* parent) {
    // Room for the frame and title bar the window manager adds.
    return Available(parent).size() - QSize(16, 48);
}

bool PlaceBeside(QWidget* window, QWidget* owner, const QWidget* keepClear) {
    bool roomy = true;
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
    // Beside the windows already there, in one row: the owner and they move
    // left together (the form stays clear) as far as that needs and the
    // screen allows. Without the room it goes where it would have gone alone.
    const QList<QWidget*> placed = Placed(window, owner);
    if (!placed.isEmpty()) {
        int next = x;
        for (const QWidget* w : placed)
            next = std::max(next, w->frameGeometry().right() + 1 + kGap);
        const int over = next + size.width() + kGap - (area.right() + 1);
        const int shift = std::min(over, owner->frameGeometry().left() - area.left());
        if (shift > 0) {
            owner->move(owner->pos() - QPoint(shift, 0));
            for (QWidget* w : placed) w->move(w->pos() - QPoint(shift, 0));
            next -= shift;
        }
        if (next + size.width() + kGap <= area.right() + 1) {
            window->move(QPoint(next, std::clamp(beside.top(), area.top(),
                                                 area.bottom() + 1 - size.height())) +
                         margin);
            return true;
        }
        // No room in the row: the free room left by the form and the others,
        // below them where there is room, the highest and then leftmost place.
        QList<QRect> taken;
        if (keepClear) taken << QRect(keepClear->mapToGlobal(QPoint(0, 0)), keepClear->size());
        for (const QWidget* w : placed) taken << w->frameGeometry();
        QList<int> xs{area.left() + kGap, beside.right() + 1 + kGap};
        QList<int> ys{area.top(), beside.top()};
        for (const QRect& r : taken) {
            xs << r.right() + 1 + kGap << r.left() - kGap - size.width();
            ys << r.bottom() + 1 + kGap;
        }
        std::sort(xs.begin(), xs.end());
        std::sort(ys.begin(), ys.end());
        for (int top : ys) {
            if (top < area.top() || top + size.height() > area.bottom() + 1) continue;
            for (int left : xs) {
                if (!fits(left)) continue;
                const QRect spot(QPoint(left, top), size);
                const auto clear = [&](const QRect& r) {
                    return !spot.intersects(r.adjusted(-kGap, -kGap, kGap, kGap));
                };
                if (std::all_of(taken.begin(), taken.end(), clear)) {
                    window->move(spot.topLeft() + margin);
                    return true;
                }
            }
        }
        roomy = false;
    }
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - kGap - size.width()));
    const int y = std::clamp(beside.top(), area.top(), area.bottom() + 1 - size.height());
    window->move(QPoint(x, y) + margin);
    return roomy;
}

void FitToScreen(QWidget* window, QSize wanted, const QWidget* parent) {
    const QSize size = wanted.boundedTo(ScreenRoom(parent));
    window->resize(size);
    window->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, Available(parent)));
}

}  // namespace velsend::gui::kit
