#pragma once
// Small controls the wizard pages share: a radio group with an item index,
// a colour button, and a picture view with stretched and scaled modes.

#include <QColor>
#include <QGroupBox>
#include <QImage>
#include <QToolButton>
#include <QWidget>

class QButtonGroup;
class QBoxLayout;

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

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool stretched_ = true;
    double scale_ = 1.0;
};

} // namespace stillora
