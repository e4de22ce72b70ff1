#pragma once
// The image viewer: one processed frame at a chosen zoom, with a menu to
// save it by hand through the save-image dialog.
//
// The main window feeds it with setPicture() and shows or hides it with its
// tlbRender toggle; closed() tells it the user closed the window, so the
// toggle can be released.

#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QScrollArea>

class QAction;
class QActionGroup;
class QCloseEvent;
class QMenu;

namespace stillora {

class TfrmImageProperties;

// A scrollable view of one 32-bit picture drawn at a scale on black; a
// picture smaller than the view is centred.
class TImageView : public QScrollArea {
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    double scale() const { return scale_; }
    // Scales outside 1/100 to 32 (or not finite) are ignored.
    void setScale(double scale);

private:
    class Canvas;
    void updateCanvas();

    Canvas* canvas_;
    QImage picture_;
    double scale_ = 1.0;
};

class TfrmRender : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmRender(QWidget* parent = nullptr);

    // The picture shown; kept as a 32-bit (RGB32) copy.
    void setPicture(const QImage& picture);
    const QImage& picture() const { return Image32->picture(); }
    double scale() const { return Image32->scale(); }
    // Sets the view scale and checks the zoom item of that scale (none when
    // no item matches).
    void setScale(double scale);

    // The save dialog, made on first use and kept, so it remembers its page
    // and settings from one save to the next.
    TfrmImageProperties* saveDialog();

    // Controls and menu entries, named as their objectName.
    TImageView* Image32;
    QMenu* Files1;
    QAction* Saveas1;
    QAction* Close1;
    QMenu* Zoom1;
    QList<QAction*> zoomItems; // 10% .. 200%, with the scale as data
    QMenu* Plugins1;

signals:
    // The user closed the window (its frame or Files > Close).
    void closed();

public slots:
    void Saveas1Click();
    // Closes (hides) the window, as its frame's close button does.
    void Close1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QActionGroup* zoomGroup_;
    TfrmImageProperties* saveDialog_ = nullptr;
};

} // namespace stillora
