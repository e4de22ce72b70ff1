#pragma once
// The settings dialog of one plug-in: one editor per parameter, built from
// the plug-in's table, each change written straight into the plug-in and
// shown at once on the preview picture.

#include "pluginhost/PluginRecord.h"

#include <QCheckBox>
#include <QDial>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QSlider>

#include <functional>

class QWidget;

namespace stillora {

// A labelled horizontal track bar with its position shown beside it.
class TfraTrackBar : public QFrame {
    Q_OBJECT
public:
    explicit TfraTrackBar(QWidget* parent = nullptr);
    QLabel* lblName;
    QSlider* TrackBar;
    QLabel* lblPos;
signals:
    void OnPositionChange(TfraTrackBar* sender);
};

// A round knob with a red pointer.
class TKnob : public QDial {
    Q_OBJECT
public:
    explicit TKnob(QWidget* parent = nullptr);
    int tickFrequency() const { return tickFrequency_; }
    void setTickFrequency(int frequency) { tickFrequency_ = frequency; update(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int tickFrequency_ = 1;
};

// A knob with its name written upwards at the left and its position below.
class TfraRadioControl : public QFrame {
    Q_OBJECT
public:
    explicit TfraRadioControl(QWidget* parent = nullptr);
    QLabel* lblName;
    TKnob* TrackBar;
    QLabel* lblPos;
    void setName(const QString& name);
signals:
    void OnPositionChange(TfraRadioControl* sender);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString name_;
};

class TfrmPluginSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPluginSettings(QWidget* parent = nullptr);

    // Repaints the opener's preview with the destination picture.
    std::function<void(const QImage&)> PreviewCallback;

    // Takes the plug-in and the two pictures (owned by the opener, which
    // keeps them alive while the dialog lives) and runs the effect once.
    void Bind(const TPluginRecord& record, QImage* source, QImage* destination);
    void BuildEditors();
    // Restores editor states from "NAME=value,..." text (malformed items are skipped).
    void SetSettings(const QString& text);
    QString GetSettings() const;
    // Runs the effect on the untouched source, shows the dialog modally and
    // returns Accepted or Rejected; any error counts as Rejected.
    int Show();

    const std::vector<QWidget*>& Editors() const { return editors_; }
    QWidget* pnlButtons = nullptr;

private:
    void editorChanged(QWidget* editor);
    void runEffect();

    TPluginRecord record_;
    QImage* source_ = nullptr;
    QImage* destination_ = nullptr;
    QImage backup_;
    std::vector<QWidget*> editors_;
};

} // namespace stillora
