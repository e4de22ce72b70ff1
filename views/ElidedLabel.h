#pragma once
// A one-line label that, when its text is wider than the label, shows the
// text's beginning and end with an ellipsis between them, so that the
// counter or size at the end of a long file name stays in sight. text()
// stays whole.

#include <QLabel>

namespace stillora {

class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    // The text as painted at the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textRect() const;
};

} // namespace stillora
