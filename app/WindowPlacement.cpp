#include "app/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace stillora {

namespace {

constexpr int kGap = 8;

QRect keepInside(QRect r, const QRect& screen) {
    r.setWidth(std::min(r.width(), screen.width()));
    r.setHeight(std::min(r.height(), screen.height()));
    r.moveLeft(std::clamp(r.left(), screen.left(), screen.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), screen.top(), screen.bottom() - r.height() + 1));
    return r;
}

} // namespace

QRect PlaceBesideRect(const QRect& anchor, const QSize& size, const QRect& screen,
                      const QSize& minimum) {
    // Room on each side of the anchor, in the order they are tried.
    struct Side {
        int room; // along the axis that leaves the anchor
        bool horizontal;
        bool after; // right of / below the anchor
    };
    const Side sides[] = {
        {screen.right() - anchor.right() - kGap, true, true},
        {anchor.left() - screen.left() - kGap, true, false},
        {screen.bottom() - anchor.bottom() - kGap, false, true},
        {anchor.top() - screen.top() - kGap, false, false},
    };
    auto place = [&](const Side& side, QSize s) {
        QRect r(QPoint(), s);
        if (side.horizontal) {
            r.moveLeft(side.after ? anchor.right() + 1 + kGap : anchor.left() - kGap - s.width());
            r.moveTop(anchor.top());
        } else {
            r.moveLeft(anchor.left());
            r.moveTop(side.after ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - s.height());
        }
        return r;
    };
    for (const Side& side : sides) {
        const int need = side.horizontal ? size.width() : size.height();
        const int across = side.horizontal ? size.height() : size.width();
        const int span = side.horizontal ? screen.height() : screen.width();
        if (side.room >= need && across <= span) return keepInside(place(side, size), screen);
    }
    // Nowhere whole: the roomiest side, the window shrunk to fit it.
    const Side* best = &sides[0];
    for (const Side& side : sides)
        if (side.room > best->room) best = &side;
    QSize shrunk = size;
    if (best->horizontal)
        shrunk.setWidth(std::max(std::min(size.width(), best->room), minimum.width()));
    else
        shrunk.setHeight(std::max(std::min(size.height(), best->room), minimum.height()));
    return keepInside(place(*best, shrunk), screen);
}

void PlaceBeside(QWidget* window, const QWidget* anchor) {
    if (!window || !anchor) return;
    const QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect anchorFrame = anchor->frameGeometry();
    const QRect anchorClient = anchor->geometry();
    const QSize frame(anchorFrame.width() - anchorClient.width(),
                      anchorFrame.height() - anchorClient.height());
    const QSize minimum = window->minimumSize().expandedTo(QSize(160, 120)) + frame;
    const QRect placed =
        PlaceBesideRect(anchorFrame, window->size() + frame, screen->availableGeometry(), minimum);
    window->resize(std::max(placed.width() - frame.width(), window->minimumWidth()),
                   std::max(placed.height() - frame.height(), window->minimumHeight()));
    window->move(placed.topLeft());
}

FirstShowPlacer::FirstShowPlacer(QWidget* anchor) : QObject(anchor), anchor_(anchor) {}

void FirstShowPlacer::watch(QWidget* window) {
    if (window) window->installEventFilter(this);
}

void FirstShowPlacer::markPlaced(QWidget* window) {
    placed_.insert(window);
}

bool FirstShowPlacer::isPlaced(QWidget* window) const {
    return placed_.contains(window);
}

bool FirstShowPlacer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && !placed_.contains(watched)) {
        placed_.insert(watched);
        PlaceBeside(static_cast<QWidget*>(watched), anchor_);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace stillora
