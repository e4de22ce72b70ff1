#pragma once
// Small controls the wizard pages share: a radio group with an item index,
// a colour button, a picture view with stretched and scaled modes, a slot
// for a label whose text changes often, and a pacer for a window's paints.
//
// Threads: everything here is created and called on the user-interface thread.

#include "views/ElidedLabel.h"

#include <QColor>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

class QButtonGroup;
class QBoxLayout;
class QLabel;

namespace stillora {

// A titled group of radio items. "itemIndex" is what the settings store
// reads and writes; clicked() fires for the user's clicks only.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)
public:
    TRadioGroup(const QString& title, const QStringList& items, Qt::Orientation orientation,
                QWidget* parent = nullptr);
    // Names the group and its items ("<name>_item0", ...).
    void setName(const QString& name);
    int itemIndex() const;
    // Checks item `index` (clamped to the items; -1 clears the group).
    void setItemIndex(int index);
    int count() const;
    QAbstractButton* item(int index) const;
    void setItemEnabled(int index, bool enabled);

signals:
    void itemIndexChanged(int index);
    void clicked(int index);

private:
    QButtonGroup* group_;
};

// A button that shows a colour and picks a new one when clicked.
class TColorButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit TColorButton(const QColor& color, QWidget* parent = nullptr);
    QColor color() const { return color_; }
    void setColor(const QColor& color);

signals:
    void colorChanged(const QColor& color);

private:
    void pick();
    QColor color_;
};

// Shows a picture either stretched to the widget (keeping its proportions)
// or at a fixed scale from the top-left corner.
//
// While pictures come in a stream (a run shows one per frame), a stretched
// picture is drawn from a copy scaled by nearest pixel, which costs a fifth
// of a smooth scaling and is shared with any other view showing the same
// picture at the same size; once the stream pauses, the last picture is
// drawn smoothly again.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    void clear();
    bool stretched() const { return stretched_; }
    double scale() const { return scale_; }
    void setStretched();
    void setScale(double scale);
    QSize sizeHint() const override { return QSize(200, 150); }
    // True while the last two pictures came closer together than a pause
    // (the picture is then drawn by nearest pixel).
    bool streaming() const;

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool stretched_ = true;
    double scale_ = 1.0;
    QElapsedTimer sinceSet_;
    qint64 lastGapMs_ = -1; // between the last two pictures; -1: only one so far
    QTimer settle_;         // repaints smoothly once the stream pauses
};

// Holds a label whose text changes often (a run's per-frame texts, the
// status line). The label fills the slot at a fixed size, so a new text
// repaints the label alone and never sets the layouts around it working
// again: on a window the size of the main one, relaying it out for every
// frame of a run cost more than painting the frame's pictures. The slot is
// one line high; a text wider than the slot is cut (a TElidedLabel shortens
// it in the middle instead).
class TTextSlot : public QWidget {
public:
    // Takes `label` as its child. `widest` is the text the slot asks to be
    // wide enough for (empty: no particular width).
    explicit TTextSlot(QLabel* label, const QString& widest = QString(),
                       QWidget* parent = nullptr);
    QLabel* label() const { return label_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* label_;
    QString widest_;
};

// While it lives, the window paints its changes at most once per screen
// refresh: an update request that comes sooner after the last paint is put
// off until the refresh is due, and whatever changed meanwhile is painted
// together then. What is still unpainted when the pacer ends is painted
// right after. Meant for a run that changes pictures and texts on every
// frame, faster than any screen shows them.
class RepaintPacer : public QObject {
public:
    explicit RepaintPacer(QWidget* window);
    ~RepaintPacer() override;
    RepaintPacer(const RepaintPacer&) = delete;
    RepaintPacer& operator=(const RepaintPacer&) = delete;

    // Update requests let through (painted) and put off so far.
    int painted() const { return painted_; }
    int deferred() const { return deferred_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void requestPaint();

    QPointer<QWidget> window_;
    int intervalMs_;
    QElapsedTimer sincePaint_;
    QTimer due_;
    bool held_ = false; // a request was put off and not yet painted
    int painted_ = 0;
    int deferred_ = 0;
};

} // namespace stillora
