#include "support/ScriptedDialogsScope.h"
#include "views/viewer/ImageViewer.h"
#include "ViewerTestSupport.h"
#include "support/TestDirs.h"
#include "views/DialogService.h"
#include "views/viewer/SaveImageDialog.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <limits>

using namespace stillora;
using stillora::test::ReadAll;

namespace {

QImage filled(int width, int height, QRgb colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QAction* zoomItem(TfrmRender& viewer, const QString& text) {
    for (QAction* item : viewer.zoomItems)
        if (item->text() == text) return item;
    return nullptr;
}

QString checkedZoom(TfrmRender& viewer) {
    QString checked;
    for (QAction* item : viewer.zoomItems)
        if (item->isChecked()) checked += item->text();
    return checked;
}

class ImageViewerTest : public ::testing::Test {
protected:

    // Runs Files > Save as... with `whileOpen` acting inside the save dialog.
    void saveAs(TfrmRender& viewer, const std::function<void(TfrmImageProperties&)>& whileOpen) {
        TfrmImageProperties& dialog = *viewer.saveDialog();
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            whileOpen(dialog);
            if (dialog.isVisible()) dialog.reject();
        });
        timer.start(0);
        viewer.Saveas1->trigger();
    }

    stillora::test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* dialogs = scripted_.get();
    stillora::test::ScratchDir dir;
};

} // namespace

TEST_F(ImageViewerTest, ZoomItemsSetTheScaleAndTheCheck) {
    TfrmRender viewer;
    EXPECT_EQ(viewer.scale(), 1.0);
    EXPECT_EQ(checkedZoom(viewer), "100%");
    viewer.setPicture(filled(200, 100, qRgb(1, 2, 3)));
    const QWidget* canvas = viewer.Image32->widget();
    EXPECT_EQ(canvas->size(), QSize(200, 100));

    zoomItem(viewer, "50%")->trigger();
    EXPECT_DOUBLE_EQ(viewer.scale(), 0.5);
    EXPECT_EQ(checkedZoom(viewer), "50%");
    EXPECT_EQ(canvas->size(), QSize(100, 50));

    zoomItem(viewer, "200%")->trigger();
    EXPECT_DOUBLE_EQ(viewer.scale(), 2.0);
    EXPECT_EQ(canvas->size(), QSize(400, 200));

    viewer.setScale(0.25);
    EXPECT_EQ(checkedZoom(viewer), "25%");
    viewer.setScale(0.3); // no item of that scale
    EXPECT_DOUBLE_EQ(viewer.scale(), 0.3);
    EXPECT_EQ(checkedZoom(viewer), "");
    EXPECT_EQ(canvas->size(), QSize(60, 30));

    // Nonsense scales are ignored rather than making an empty or huge view.
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e9})
        viewer.setScale(bad);
    EXPECT_DOUBLE_EQ(viewer.scale(), 0.3);
}

TEST_F(ImageViewerTest, PaintsThePictureCentredOnBlack) {
    TfrmRender viewer;
    viewer.resize(400, 400);
    viewer.setPicture(filled(60, 40, qRgb(250, 0, 0)));
    viewer.setScale(2.0);
    viewer.show();
    QCoreApplication::processEvents();
    const QImage shown = viewer.Image32->viewport()->grab().toImage();
    const QPoint centre = shown.rect().center();
    EXPECT_EQ(QColor(shown.pixel(centre)).rgb(), qRgb(250, 0, 0));
    // 120 pixels wide at this scale: 70 pixels left of the centre is background.
    EXPECT_EQ(QColor(shown.pixel(centre - QPoint(70, 0))).rgb(), qRgb(0, 0, 0));
    EXPECT_EQ(QColor(shown.pixel(centre - QPoint(50, 0))).rgb(), qRgb(250, 0, 0));
}

TEST_F(ImageViewerTest, CloseHidesTheWindowAndTellsTheMainWindow) {
    TfrmRender viewer;
    viewer.setPicture(filled(8, 8, qRgb(9, 9, 9)));
    viewer.show();
    QSignalSpy closed(&viewer, &TfrmRender::closed);
    viewer.Close1->trigger();
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(viewer.picture().pixel(0, 0), qRgb(9, 9, 9));
}

TEST_F(ImageViewerTest, SaveAsWorksOnACopyAndTheDialogKeepsItsPage) {
    TfrmRender viewer;
    viewer.setPicture(filled(16, 8, qRgb(200, 0, 0)));
    const QString path = dir.file("frame.bmp");
    saveAs(viewer, [&](TfrmImageProperties& dialog) {
        EXPECT_EQ(dialog.PageModes->currentIndex(), TfrmImageProperties::PageGif);
        EXPECT_EQ(dialog.GIFImage->picture().pixel(0, 0), qRgb(200, 0, 0));
        dialog.PageModes->setCurrentIndex(TfrmImageProperties::PageBitmap);
        // A new frame arriving while the dialog is open does not change what is saved.
        viewer.setPicture(filled(16, 8, qRgb(0, 0, 200)));
        dialog.edtFileName->setText(path);
        dialog.Button1->click();
    });
    const QImage saved = QImage::fromData(ReadAll(path), "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.pixel(3, 3), qRgb(200, 0, 0));

    int page = -1;
    saveAs(viewer, [&](TfrmImageProperties& dialog) { page = dialog.PageModes->currentIndex(); });
    EXPECT_EQ(page, TfrmImageProperties::PageBitmap);
}

TEST_F(ImageViewerTest, SaveAsWithoutAPictureOpensNothing) {
    TfrmRender viewer;
    bool opened = false;
    saveAs(viewer, [&](TfrmImageProperties&) { opened = true; });
    EXPECT_FALSE(opened);
}
