#include "views/PluginSettingsDialog.h"

#include "pluginhost/EffectChain.h"
#include "views/DialogService.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

#include <cmath>

namespace stillora {

namespace {

QLabel* positionLabel(QWidget* parent, int width) {
    auto* label = new QLabel("0", parent);
    label->setObjectName("lblPos");
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(width);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    label->setPalette(palette);
    return label;
}

} // namespace

TfraTrackBar::TfraTrackBar(QWidget* parent) : QFrame(parent) {
    setFixedSize(189, 34);
    lblName = new QLabel(this);
    lblName->setObjectName("lblName");
    lblName->setGeometry(0, 0, 189, 14);
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setObjectName("TrackBar");
    TrackBar->setGeometry(0, 14, 150, 20);
    TrackBar->setPageStep(5);
    TrackBar->setTickInterval(10);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    lblPos = positionLabel(this, 34);
    lblPos->setGeometry(153, 15, 34, 17);
    connect(TrackBar, &QSlider::valueChanged, this, [this](int value) {
        lblPos->setText(QString::number(value));
        emit OnPositionChange(this);
    });
}

TKnob::TKnob(QWidget* parent) : QDial(parent) {
    setFixedSize(55, 55);
    setWrapping(false);
    setPageStep(8);
    setNotchesVisible(true);
}

void TKnob::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(6, 6, -6, -6);
    const QPointF centre = face.center();
    const double radius = face.width() / 2;
    // Ticks around the face, from the lowest position (bottom left) to the highest (bottom right).
    auto angleOf = [&](int value) {
        const double span = std::max(1, maximum() - minimum());
        return (225.0 - 270.0 * (value - minimum()) / span) * M_PI / 180.0;
    };
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    const int step = std::max(1, tickFrequency_);
    for (int v = minimum(); v <= maximum(); v += step) {
        const double a = angleOf(v);
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(centre + dir * (radius + 2), centre + dir * (radius + 5));
    }
    QRadialGradient shade(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    shade.setColorAt(0, palette().color(QPalette::Light));
    shade.setColorAt(1, palette().color(QPalette::Mid));
    p.setBrush(shade);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.drawEllipse(face);
    const double a = angleOf(value());
    const QPointF dir(std::cos(a), -std::sin(a));
    p.setPen(QPen(Qt::red, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + dir * (radius * 0.15), centre + dir * (radius * 0.85));
}

TfraRadioControl::TfraRadioControl(QWidget* parent) : QFrame(parent) {
    setFixedSize(72, 71);
    lblName = new QLabel(this);
    lblName->setObjectName("lblName");
    lblName->hide(); // the name is painted upwards at the left edge
    TrackBar = new TKnob(this);
    TrackBar->setObjectName("TrackBar");
    TrackBar->move(15, 0);
    lblPos = positionLabel(this, 56);
    lblPos->setGeometry(15, 55, 56, 15);
    connect(TrackBar, &QDial::valueChanged, this, [this](int value) {
        lblPos->setText(QString::number(value));
        emit OnPositionChange(this);
    });
}

void TfraRadioControl::setName(const QString& name) {
    name_ = name;
    lblName->setText(name);
    update();
}

void TfraRadioControl::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.translate(12, height() - 2);
    p.rotate(-90);
    p.drawText(QRect(0, -12, height() - 4, 14), Qt::AlignLeft | Qt::AlignVCenter, name_);
}

TfrmPluginSettings::TfrmPluginSettings(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPluginSettings");
    resize(174, 164);
    setMinimumWidth(174);
    pnlButtons = new QWidget(this);
    pnlButtons->setObjectName("pnlButtons");
    pnlButtons->setFixedHeight(41);
    auto* ok = new QPushButton("OK", pnlButtons);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", pnlButtons);
    cancel->setObjectName("Button1");
    auto* row = new QHBoxLayout(pnlButtons);
    row->setContentsMargins(8, 6, 8, 8);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPluginSettings::Bind(const TPluginRecord& record, QImage* source, QImage* destination) {
    record_ = record;
    source_ = source;
    destination_ = destination;
    backup_ = source ? source->copy() : QImage();
    runEffect();
}

void TfrmPluginSettings::runEffect() {
    if (!source_ || !destination_ || source_->isNull()) return;
    ApplyEffectEntry(record_, *source_, *destination_);
}

void TfrmPluginSettings::BuildEditors() {
    for (QWidget* editor : editors_) delete editor;
    editors_.clear();
    const int leftMargin = 10;
    int row = 10, width = 174, height = 40;
    setWindowTitle(QString::fromLocal8Bit(record_.name().c_str()));
    const int count = record_.GetParamCount ? record_.GetParamCount() : 0;
    for (int i = 0; i < count; ++i) {
        const TPluginParam* p = record_.GetParam ? record_.GetParam(i) : nullptr;
        if (!p) continue;
        const QString name = QString::fromLocal8Bit(p->Name ? p->Name : "");
        QWidget* editor = nullptr;
        switch (p->ControlKind) {
        case STILLORA_CONTROL_TRACKBAR: {
            auto* frame = new TfraTrackBar(this);
            frame->setObjectName("fraTrackBar_" + QString::number(i));
            frame->lblName->setText(name);
            frame->TrackBar->setRange(VariantInt(p->MinValue), VariantInt(p->MaxValue));
            frame->TrackBar->setValue(VariantInt(p->Value));
            frame->lblPos->setText(QString::number(frame->TrackBar->value()));
            connect(frame, &TfraTrackBar::OnPositionChange, this, [this](QWidget* w) { editorChanged(w); });
            editor = frame;
            break;
        }
        case STILLORA_CONTROL_CHECKBOX: {
            auto* box = new QCheckBox(name, this);
            box->setObjectName("CheckBox_" + QString::number(i));
            box->setToolTip(name);
            box->setChecked(VariantInt(p->Value) != 0);
            box->adjustSize();
            connect(box, &QCheckBox::toggled, this, [this, box] { editorChanged(box); });
            editor = box;
            break;
        }
        case STILLORA_CONTROL_KNOB: {
            auto* frame = new TfraRadioControl(this);
            frame->setObjectName("FraRadioControl_" + QString::number(i));
            frame->setName(name);
            const int lo = VariantInt(p->MinValue), hi = VariantInt(p->MaxValue);
            frame->TrackBar->setRange(lo, hi);
            frame->TrackBar->setTickFrequency(hi - lo < 16 ? 1 : (hi - lo) / 16);
            frame->TrackBar->setValue(VariantInt(p->Value));
            frame->lblPos->setText(QString::number(frame->TrackBar->value()));
            connect(frame, &TfraRadioControl::OnPositionChange, this, [this](QWidget* w) { editorChanged(w); });
            editor = frame;
            break;
        }
        default: continue;
        }
        editor->setProperty("tag", i);
        editor->setProperty("helpContext", p->ControlKind);
        editor->move(p->Left == -1 ? leftMargin : p->Left, p->Top == -1 ? row : p->Top);
        editor->show();
        editors_.push_back(editor);
        width = std::max(width, editor->x() + editor->width() + 10);
        if (height < editor->y() + editor->height() + 10) height = row + editor->height() + 5;
        if (p->Top == -1) row += editor->height() + 5;
    }
    setFixedSize(width, pnlButtons->height() + height + 10);
    pnlButtons->setGeometry(0, this->height() - pnlButtons->height(), width, pnlButtons->height());
}

void TfrmPluginSettings::editorChanged(QWidget* editor) {
    const int index = editor->property("tag").toInt();
    TPluginParam* p = record_.GetParam ? record_.GetParam(index) : nullptr;
    if (!p) return;
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        p->Value.vt = STILLORA_VT_BOOL;
        p->Value.u.llVal = 0;
        p->Value.u.boolVal = box->isChecked() ? -1 : 0;
    } else {
        int position = 0;
        if (auto* frame = qobject_cast<TfraTrackBar*>(editor)) position = frame->TrackBar->value();
        if (auto* frame = qobject_cast<TfraRadioControl*>(editor)) position = frame->TrackBar->value();
        p->Value.vt = STILLORA_VT_I4;
        p->Value.u.llVal = 0;
        p->Value.u.lVal = position;
    }
    try {
        if (!backup_.isNull() && source_) *source_ = backup_.copy();
        runEffect();
        if (PreviewCallback && destination_) PreviewCallback(*destination_);
    } catch (const std::exception& e) {
        // The effect failed on this value: say so and keep the dialog open.
        Dialogs().message(DialogService::Error, QString(), QString::fromLocal8Bit(e.what()), DialogService::Ok, this);
    }
}

QString TfrmPluginSettings::GetSettings() const {
    QStringList items;
    for (QWidget* editor : editors_) {
        QString value;
        if (auto* frame = qobject_cast<TfraTrackBar*>(editor)) value = QString::number(frame->TrackBar->value());
        else if (auto* frame = qobject_cast<TfraRadioControl*>(editor)) value = QString::number(frame->TrackBar->value());
        else if (auto* box = qobject_cast<QCheckBox*>(editor)) value = box->isChecked() ? "1" : "0";
        else continue;
        items << editor->objectName().toUpper() + "=" + value;
    }
    return items.join(',');
}

void TfrmPluginSettings::SetSettings(const QString& text) {
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const int eq = item.indexOf('=');
        if (eq < 0) continue;
        const QString name = item.left(eq);
        bool ok = false;
        const int value = item.mid(eq + 1).toInt(&ok);
        if (!ok) continue;
        for (QWidget* editor : editors_) {
            if (editor->objectName().compare(name, Qt::CaseInsensitive) != 0) continue;
            if (auto* frame = qobject_cast<TfraTrackBar*>(editor)) frame->TrackBar->setValue(value);
            else if (auto* frame = qobject_cast<TfraRadioControl*>(editor)) frame->TrackBar->setValue(value);
            else if (auto* box = qobject_cast<QCheckBox*>(editor)) box->setChecked(value != 0);
            break;
        }
    }
}

int TfrmPluginSettings::Show() {
    try {
        if (!backup_.isNull() && source_) *source_ = backup_.copy();
        runEffect();
        if (PreviewCallback && destination_) PreviewCallback(*destination_);
        return exec();
    } catch (const std::exception&) {
        return QDialog::Rejected;
    }
}

} // namespace stillora
