#pragma once
// Where the program's other windows open on first use: beside the main
// window, so that they cover neither its buttons nor the picture they show.

#include <QObject>
#include <QRect>
#include <QSet>

class QWidget;

namespace stillora {

// The frame rectangle for a window of frame size `size` beside `anchor`
// (the main window's frame) within `screen`: to the right when it fits,
// else to the left, below, above. When no side has room for the whole
// window it goes to the roomiest side, shrunk to that room but not below
// `minimum`, and is kept inside the screen.
QRect PlaceBesideRect(const QRect& anchor, const QSize& size, const QRect& screen,
                      const QSize& minimum = QSize(160, 120));

// Moves (and where needed shrinks) the top-level `window` beside `anchor`
// on the anchor's screen. The window's frame is taken to be as thick as
// the anchor's.
void PlaceBeside(QWidget* window, const QWidget* anchor);

// Places each watched window beside the anchor the first time it is shown,
// unless it was marked as placed (its placement came from the settings).
// Lives on the user-interface thread.
class FirstShowPlacer : public QObject {
public:
    explicit FirstShowPlacer(QWidget* anchor);
    void watch(QWidget* window);
    void markPlaced(QWidget* window);
    bool isPlaced(QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* anchor_;
    QSet<QObject*> placed_;
};

} // namespace stillora
