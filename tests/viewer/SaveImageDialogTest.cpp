#include "support/ScriptedDialogsScope.h"
#include "views/viewer/SaveImageDialog.h"
#include "ViewerTestSupport.h"
#include "support/TestDirs.h"
#include "views/DialogService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace stillora;
using stillora::test::DecodeGif;
using stillora::test::ReadAll;
using stillora::test::RunDialog;

namespace {

const QString kOverwrite = "File already exists.\r\nDo you want to overwrite the existing file?";

QImage testPicture() {
    QImage picture(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 5, 128));
    return picture;
}

class SaveImageDialogTest : public ::testing::Test {
protected:

    // Saves `picture` to `name` from `page`; `setup` adjusts the dialog first.
    int save(
        const QImage& picture, int page, const QString& path,
        const std::function<void()>& setup = [] {}) {
        return RunDialog(dialog, &picture, page, [&] {
            setup();
            dialog.edtFileName->setText(path);
            dialog.Button1->click();
        });
    }

    TfrmImageProperties dialog;
    stillora::test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* dialogs = scripted_.get();
    stillora::test::ScratchDir dir;
};

} // namespace

TEST_F(SaveImageDialogTest, SaveIsEnabledOnlyWhileThereIsAFileName) {
    EXPECT_FALSE(dialog.Button1->isEnabled());
    QTest::keyClicks(dialog.edtFileName, "a");
    EXPECT_TRUE(dialog.Button1->isEnabled());
    QTest::keyClick(dialog.edtFileName, Qt::Key_Backspace);
    EXPECT_FALSE(dialog.Button1->isEnabled());
}

TEST_F(SaveImageDialogTest, JpegAndBitmapFollowThePageWhateverTheExtension) {
    const QImage picture = testPicture();

    const QString jpeg = dir.file("looks-like.bmp");
    EXPECT_EQ(save(picture, TfrmImageProperties::PageJpeg, jpeg,
                   [&] { dialog.spinQuality->setValue(100); }),
              QDialog::Accepted);
    const QByteArray jpegBytes = ReadAll(jpeg);
    ASSERT_TRUE(jpegBytes.startsWith("\xFF\xD8\xFF"));
    const QImage decodedJpeg = QImage::fromData(jpegBytes, "JPEG");
    ASSERT_EQ(decodedJpeg.size(), picture.size());
    EXPECT_LE(std::abs(qRed(decodedJpeg.pixel(40, 30)) - qRed(picture.pixel(40, 30))), 4);

    // The quality box decides the compression.
    const QString rough = dir.file("rough.jpg");
    save(picture, TfrmImageProperties::PageJpeg, rough, [&] { dialog.spinQuality->setValue(5); });
    EXPECT_LT(ReadAll(rough).size(), jpegBytes.size());

    const QString bitmap = dir.file("looks-like.jpg");
    save(picture, TfrmImageProperties::PageBitmap, bitmap);
    const QByteArray bmpBytes = ReadAll(bitmap);
    ASSERT_TRUE(bmpBytes.startsWith("BM"));
    EXPECT_EQ(qFromLittleEndian<quint16>(bmpBytes.constData() + 28), 32); // bits per pixel
    const QImage decodedBmp =
        QImage::fromData(bmpBytes, "BMP").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(decodedBmp, picture);
    EXPECT_TRUE(dialogs->asked.empty());
}

TEST_F(SaveImageDialogTest, GifKeepsTheColoursOfAFewColourPicture) {
    QImage picture(30, 20, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(0, 0, 0), qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(12, 34, 250),
                            qRgb(255, 255, 255)};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            picture.setPixel(x, y, colours[(x / 6 + y) % 5]);

    const QString path = dir.file("few.png");
    save(picture, TfrmImageProperties::PageGif, path);
    const auto gif = DecodeGif(path);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.signature, "GIF89a");
    ASSERT_EQ(gif.width, 30);
    ASSERT_EQ(gif.height, 20);
    EXPECT_EQ(gif.transparentIndex, NO_TRANSPARENT_COLOR);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(gif.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
    EXPECT_TRUE(dialog.gbMultipleProps->isEnabled());
}

TEST_F(SaveImageDialogTest, GifMarksTheChosenColourTransparent) {
    QImage picture = testPicture(); // thousands of colours, none of them white
    picture.setPixel(0, 0, qRgb(255, 255, 255));
    picture.setPixel(63, 47, qRgb(255, 255, 255));

    const QString path = dir.file("clear.gif");
    save(picture, TfrmImageProperties::PageGif, path, [&] {
        dialog.cbX->setChecked(true);
        dialog.xColor->setCurrentIndex(dialog.xColor->findText("White"));
    });
    const auto gif = DecodeGif(path);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.signature, "GIF89a");
    ASSERT_NE(gif.transparentIndex, NO_TRANSPARENT_COLOR);
    EXPECT_LE(gif.palette.size(), 256u);
    EXPECT_EQ(gif.index(0, 0), gif.transparentIndex);
    EXPECT_EQ(gif.index(63, 47), gif.transparentIndex);
    int transparentPixels = 0;
    for (uint8_t i : gif.indices)
        transparentPixels += i == gif.transparentIndex;
    EXPECT_EQ(transparentPixels, 2);
}

TEST_F(SaveImageDialogTest, OverwriteAsksFirstAndNoKeepsTheOldFile) {
    const QString path = dir.file("old.bmp");
    const QByteArray old("an older file, not a picture");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    dialogs->answers = {DialogService::No};
    EXPECT_EQ(save(testPicture(), TfrmImageProperties::PageBitmap, path), QDialog::Accepted);
    ASSERT_EQ(dialogs->asked.size(), 1u);
    EXPECT_EQ(dialogs->asked[0].kind, DialogService::Confirmation);
    EXPECT_EQ(dialogs->asked[0].text, kOverwrite);
    EXPECT_EQ(dialogs->asked[0].buttons, DialogService::Yes | DialogService::No);
    EXPECT_EQ(ReadAll(path), old);

    dialogs->answers = {DialogService::Yes};
    save(testPicture(), TfrmImageProperties::PageBitmap, path);
    EXPECT_TRUE(ReadAll(path).startsWith("BM"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(SaveImageDialogTest, AnUnwritableTargetReportsAndLeavesNothing) {
    const QString blocker = dir.file("plain-file");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    for (int page : {0, 1, 2}) {
        dialogs->asked.clear();
        EXPECT_EQ(save(testPicture(), page, blocker + "/picture.img"), QDialog::Accepted);
        ASSERT_EQ(dialogs->asked.size(), 1u) << page;
        EXPECT_EQ(dialogs->asked[0].kind, DialogService::Error);
        EXPECT_EQ(dialogs->asked[0].text, "Cannot save the image.");
        EXPECT_EQ(dialogs->asked[0].buttons, DialogService::Ok);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"plain-file"});
    EXPECT_EQ(ReadAll(blocker), "x");
}

TEST_F(SaveImageDialogTest, CancelWritesNothing) {
    const QImage picture = testPicture();
    const int result = RunDialog(dialog, &picture, 1, [&] {
        dialog.edtFileName->setText(dir.file("never.jpg"));
        dialog.Button2->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(SaveImageDialogTest, PageIndexSelectsOrKeepsThePage) {
    const QImage picture = testPicture();
    EXPECT_EQ(dialog.PageModes->currentIndex(), TfrmImageProperties::PageGif);
    EXPECT_EQ(dialog.PageModes->tabText(0), "Windows Bitmap");
    EXPECT_EQ(dialog.PageModes->tabText(1), "JPEG Image");
    EXPECT_EQ(dialog.PageModes->tabText(2), "GIFImage");

    int seen = -1;
    RunDialog(dialog, &picture, 7, [&] { seen = dialog.PageModes->currentIndex(); });
    EXPECT_EQ(seen, TfrmImageProperties::PageGif);
    RunDialog(dialog, &picture, 1, [&] { seen = dialog.PageModes->currentIndex(); });
    EXPECT_EQ(seen, TfrmImageProperties::PageJpeg);
    RunDialog(dialog, &picture, -1, [&] {
        seen = dialog.PageModes->currentIndex();
        dialog.PageModes->setCurrentIndex(0);
    });
    EXPECT_EQ(seen, TfrmImageProperties::PageJpeg);
    RunDialog(dialog, &picture, -1, [&] { seen = dialog.PageModes->currentIndex(); });
    EXPECT_EQ(seen, TfrmImageProperties::PageBitmap);

    // Without a picture the dialog does not open at all.
    bool shown = false;
    bool acted = false;
    EXPECT_EQ(RunDialog(
                  dialog, nullptr, 1, [&] { acted = true; }, &shown),
              QDialog::Rejected);
    EXPECT_FALSE(acted);
    EXPECT_EQ(dialog.PageModes->currentIndex(), TfrmImageProperties::PageBitmap);
}

TEST_F(SaveImageDialogTest, BrowseFillsTheNameThroughTheDialogService) {
    dialogs->paths = {"/tmp/chosen.gif"};
    dialog.btnBrowse->click();
    EXPECT_EQ(dialog.edtFileName->text(), "/tmp/chosen.gif");
    EXPECT_TRUE(dialog.Button1->isEnabled());
    dialog.btnBrowse->click(); // cancelled: the name stays
    EXPECT_EQ(dialog.edtFileName->text(), "/tmp/chosen.gif");
    EXPECT_EQ(dialogs->dialogTitles.size(), 2u);
}
