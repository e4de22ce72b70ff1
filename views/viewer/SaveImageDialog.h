#pragma once
// The save-image dialog: writes one picture as a Windows bitmap, a JPEG or a
// GIF file, chosen by the active page. The dialog is meant to be kept and
// reused: the page, quality and file name stay as the user left them.
//
// Every question and error goes through the dialog service. Files are
// written under a temporary name and renamed into place, so a failed save
// never leaves a broken file under the chosen name.

#include <QDialog>
#include <QImage>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace stillora {

// A picture scaled to fit, its proportions kept, on a black panel.
class TFitPicture : public QWidget {
    Q_OBJECT
public:
    explicit TFitPicture(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    QSize sizeHint() const override { return QSize(160, 120); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

class TfrmImageProperties : public QDialog {
    Q_OBJECT
public:
    // Page indices of PageModes.
    enum Page { PageBitmap = 0, PageJpeg = 1, PageGif = 2 };

    explicit TfrmImageProperties(QWidget* parent = nullptr);

    // Runs the dialog modally on `bitmap`, which the caller keeps alive until
    // this returns. `page` 0, 1 or 2 selects that page; any other value keeps
    // the page active last time (at first the GIF page). Returns
    // QDialog::Rejected at once when `bitmap` is null; otherwise Accepted
    // after Save (whatever came of the save) and Rejected after Cancel.
    int execute(const QImage* bitmap, int page = -1);

    // Controls, named as their objectName.
    QLineEdit* edtFileName;
    QToolButton* btnBrowse;
    QTabWidget* PageModes;
    QSpinBox* spinQuality;
    TFitPicture* GIFImage;
    QCheckBox* cbX;
    QComboBox* xColor;
    QGroupBox* gbMultipleProps;
    QPushButton* Button1;
    QPushButton* Button2;

    // The transparent colour chosen in xColor.
    QRgb transparentColor() const;

public slots:
    void Button1Click();
    void Button2Click();
    void btnBrowseClick();

private:
    // Writes the picture by the active page; shows the error box on failure.
    void savePicture(const QString& path);
    bool encode(QByteArray& data, QString* error);

    const QImage* bitmap_ = nullptr;
};

} // namespace stillora
