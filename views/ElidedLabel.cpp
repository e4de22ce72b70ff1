#include "views/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace stillora {

QRect TElidedLabel::textRect() const {
    const int m = qMax(0, margin());
    return contentsRect().marginsRemoved(QMargins(m, m, m, m));
}

QString TElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent* event) {
    const QString shown = shownText();
    if (shown == text()) return QLabel::paintEvent(event);
    QFrame::paintEvent(event);
    QPainter painter(this);
    style()->drawItemText(&painter, textRect(),
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}

} // namespace stillora
