#include "selection/Selection.h"
#include "support/TestDirs.h"
#include "video/ScriptedMediaSource.h"
#include "views/DialogService.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"
#include "views/pages/PageWidgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace stillora;

namespace {

class FakeHost : public RenderHost {
public:
    ScriptedMediaSource media{500, QSize(64, 48)};
    std::vector<std::unique_ptr<TSelection>> owned;
    QStringList events;
    std::function<void(int64_t)> onFetch;
    EffectApplier applier;

    FakeHost() { media.open(SourceKind::File, "clip", nullptr); }
    std::vector<TSelection*> selections() override {
        std::vector<TSelection*> out;
        for (auto& s : owned)
            out.push_back(s.get());
        return out;
    }
    int sourceKind() override { return 1; }
    bool fetchFrame(int64_t frame, QImage& picture, QString*) override {
        if (onFetch) onFetch(frame);
        return media.seek(frame, nullptr) && media.grab(picture);
    }
    QString sourceName() override { return "clip"; }
    void runStarted(bool preview) override {
        events << (preview ? "started preview" : "started render");
    }
    void runEnded(bool preview) override { events << (preview ? "ended preview" : "ended render"); }
    void showImageBrowser(const QString& folder, const QString& mask) override {
        events << "browser " + folder + mask;
    }
    EffectApplier effectApplier() override { return applier; }
    void add(const QString& caption, int64_t first, int64_t last) {
        owned.push_back(std::make_unique<TSelection>(caption));
        owned.back()->StartFrame = first;
        owned.back()->EndFrame = last;
    }
};

class PagesTest : public ::testing::Test {
protected:
    PagesTest() : finalize(host, config) {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        SetDialogs(std::move(scripted));
        window.resize(560, 380);
    }
    ~PagesTest() override { SetDialogs(nullptr); }
    template <class T> T* find(QWidget& root, const char* name) {
        T* w = root.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QWidget window;
    FakeHost host;
    TConfigPage config;
    TFinalizePage finalize;
    ScriptedDialogs* dialogs = nullptr;
    test::ScratchDir dir;
};

} // namespace

TEST_F(PagesTest, ControlsCarryTheirNamesRangesAndStartValues) {
    struct SpinRow {
        const char* name;
        int low, high, value;
    };
    const SpinRow spins[] = {{"spinDigits", 1, 12, 3},
                             {"spinSkipFrames", 1, 9999, 5},
                             {"spinThumbSize", 1, 100, 10},
                             {"spinFramesPerSlide", 1, 9999, 60},
                             {"spinFramesPerFade", 1, 9999, 30},
                             {"spinFrameRate", 1, 30, 30},
                             {"spinAVIFrameRate", 1, 30, 1},
                             {"spinGIFFrameDuration", 0, 99999, 1000},
                             {"spinCols", 1, 25, 5},
                             {"spinRows", 1, 25, 5},
                             {"spinCellSpacing", 0, 9, 1},
                             {"spinCellPadding", 0, 9, 4}};
    for (const SpinRow& row : spins) {
        auto* spin = find<QSpinBox>(config, row.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), row.low) << row.name;
        EXPECT_EQ(spin->maximum(), row.high) << row.name;
        EXPECT_EQ(spin->value(), row.value) << row.name;
    }
    auto* delay = find<QSpinBox>(finalize, "spinPreviewDelay");
    EXPECT_EQ(delay->minimum(), 25);
    EXPECT_EQ(delay->maximum(), 5000);
    EXPECT_EQ(find<QSlider>(config, "tbJPEGComp")->value(), 65);
    EXPECT_EQ(find<QLineEdit>(config, "meTableWidth")->text(), "0800");
    EXPECT_EQ(find<QLineEdit>(config, "edtExportFileName")->text(), "untitled.swf");
    EXPECT_EQ(find<QComboBox>(finalize, "siPosition")->count(), 10);
    EXPECT_EQ(finalize.findChild<QObject*>("siColor")->property("color").value<QColor>(),
              QColor(Qt::white));
    EXPECT_EQ(config.findChild<QObject*>("cbLinkColor")->property("color").value<QColor>(),
              QColor(148, 158, 254));
    for (const char* name : {"cbSeparator", "cbSelName", "cbCrossfade"})
        EXPECT_TRUE(find<QCheckBox>(config, name)->isChecked()) << name;
    for (const char* name :
         {"imgSrc", "imgDest", "lblSourceInfo", "lblDestInfo", "btnRender", "btnPreview",
          "sbScaleSrc", "sbScaleDest", "cbPreviewDelay", "jvExportFolder", "cbSuperimpose",
          "siText", "SpeedButton1", "cbsiBold", "siShadow", "cbTime", "cbDate", "pnlQuickTitle",
          "imgResult"})
        EXPECT_NE(finalize.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_TRUE(finalize.imgResult->isHidden());
    EXPECT_EQ(config.findChild<QObject*>("rgExportAs")->property("itemIndex").toInt(), 0);
}

TEST_F(PagesTest, ExportKindDrivesTabsAndFileType) {
    // The gallery and movie exports can be chosen.
    EXPECT_TRUE(config.rgExportAs->item(WebGallery)->isEnabled());
    EXPECT_TRUE(config.tabHTML->isEnabled());
    EXPECT_TRUE(config.rgExportAs->item(MovieExport)->isEnabled());
    EXPECT_TRUE(config.tabFrames->isEnabled());

    config.rgExportType->setItemIndex(StillBmp);
    EXPECT_EQ(config.ngImageSettings->currentIndex(), 1);
    EXPECT_EQ(config.edtSample->text(), "Untitled_selcaption_000.bmp");
    // As the settings store sets it: through the item index property.
    config.rgExportAs->setProperty("itemIndex", 2);
    EXPECT_EQ(config.pageSettings->currentIndex(), 2);
    EXPECT_EQ(config.StillType(), StillJpeg);
    EXPECT_FALSE(config.rgExportType->isEnabled());
    EXPECT_EQ(config.edtSample->text(), "Untitled_selcaption_000.jpg");
    config.rgExportAs->setItemIndex(0);
    EXPECT_TRUE(config.rgExportType->isEnabled());
    EXPECT_EQ(config.StillType(), StillJpeg);
}

TEST_F(PagesTest, SampleNameFollowsEveryNamingControl) {
    config.edtRootName->setText("Trip");
    EXPECT_EQ(config.edtSample->text(), "Trip_selcaption_000.jpg");
    config.cbSeparator->setChecked(false);
    EXPECT_EQ(config.edtSample->text(), "Tripselcaption000.jpg");
    config.cbSeparator->setChecked(true);
    config.edtSeparator->setText("-");
    config.cbSelName->setChecked(false);
    config.spinDigits->setValue(5);
    EXPECT_EQ(config.edtSample->text(), "Trip-00000.jpg");

    config.pagesMovie->setCurrentIndex(MovieAvi);
    EXPECT_EQ(config.edtExportFileName->text(), "untitled.avi");
    config.edtExportFileName->clear();
    config.pagesMovie->setCurrentIndex(MovieSwf);
    EXPECT_EQ(config.edtExportFileName->text(), ".swf");

    config.tbJPEGComp->setValue(80);
    EXPECT_EQ(config.lblJpegComp->text(), "80%");
}

TEST_F(PagesTest, MoviePagesGiveTheirExtensionsAndOptions) {
    ASSERT_EQ(config.pagesMovie->count(), 4);
    EXPECT_EQ(config.pagesMovie->tabText(2), "Animated GIF");
    EXPECT_EQ(config.pagesMovie->tabText(3), "MP4 / WebM Video");
    config.pagesMovie->setCurrentIndex(MovieGif);
    EXPECT_EQ(config.edtExportFileName->text(), "untitled.gif");
    config.pagesMovie->setCurrentIndex(MovieVideo);
    EXPECT_EQ(config.edtExportFileName->text(), "untitled.mp4");
    find<QWidget>(config, "rgVideoFormat")->setProperty("itemIndex", int(VideoWebm));
    EXPECT_EQ(config.edtExportFileName->text(), "untitled.webm");
    // The file dialog adds the chosen format's extension.
    dialogs->paths = {"/tmp/holiday"};
    config.edtExportFileName->actions().first()->trigger();
    EXPECT_EQ(config.edtExportFileName->text(), "/tmp/holiday.webm");

    find<QSpinBox>(config, "spinGIFFrameDuration")->setValue(250);
    find<QCheckBox>(config, "chkGIFLoop")->setChecked(true);
    find<QSpinBox>(config, "spinVideoFrameRate")->setValue(60);
    find<QSpinBox>(config, "spinVideoHold")->setValue(75);
    find<QSpinBox>(config, "spinVideoQuality")->setValue(30);
    RenderSettings s;
    config.CollectSettings(s);
    EXPECT_EQ(s.movieKind, MovieVideo);
    EXPECT_EQ(s.gif.frameDurationMs, 250);
    EXPECT_TRUE(s.gif.loop);
    EXPECT_EQ(s.video.format, VideoWebm);
    EXPECT_EQ(s.video.frameRate, 60);
    EXPECT_EQ(s.video.hold, 75);
    EXPECT_EQ(s.video.quality, 30);
    EXPECT_EQ(find<QSpinBox>(config, "spinVideoFrameRate")->maximum(), 60);
    EXPECT_EQ(find<QSpinBox>(config, "spinVideoHold")->maximum(), 9999);
    EXPECT_EQ(find<QSpinBox>(config, "spinVideoQuality")->maximum(), 51);
}

TEST_F(PagesTest, LeavingConfigGivesTheFolderItsSeparator) {
    finalize.jvExportFolder->setText("/tmp/x");
    config.ExitPage();
    EXPECT_EQ(finalize.jvExportFolder->text(), "/tmp/x/");
    finalize.jvExportFolder->clear();
    config.ExitPage();
    EXPECT_EQ(finalize.jvExportFolder->text(), "");

    dialogs->paths = {"/tmp/picked"};
    finalize.jvExportFolder->actions().first()->trigger();
    EXPECT_EQ(finalize.jvExportFolder->text(), "/tmp/picked");
    ASSERT_EQ(dialogs->dialogTitles.size(), 1u);
    EXPECT_EQ(dialogs->dialogTitles[0], "Select Export Folder");
}

TEST_F(PagesTest, RenderButtonRunsAndUndoesTheBusyState) {
    host.add("Intro", 10, 12);
    finalize.jvExportFolder->setText(dir.path() + "/");
    finalize.btnRender->click();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(finalize.lblSourceInfo->text(), "Intro.12");
    EXPECT_EQ(finalize.lblDestInfo->text(), "Saving frame: Untitled_Intro_002.jpg");
    EXPECT_EQ(ScriptedMediaSource::readNumber(finalize.imgDest->picture()), 12);
    EXPECT_EQ(host.events,
              (QStringList{"started render", "browser " + dir.path() + "/*.jpg", "ended render"}));
    EXPECT_TRUE(finalize.btnRender->isEnabled());
    EXPECT_FALSE(finalize.running());
    // The sample shows the last run's counter on the next visit.
    config.EnterPage();
    EXPECT_EQ(config.edtSample->text(), "Untitled_selcaption_003.jpg");
}

TEST_F(PagesTest, FailingEffectIsShownAndTheBusyStateStillEnds) {
    host.add("FX", 1, 5);
    host.owned.back()->Effects.resize(1);
    host.applier = [](const TPluginRecord&, const QImage&, QImage&) {
        throw std::runtime_error("Access violation in plug-in");
    };
    finalize.btnPreview->click();
    EXPECT_EQ(dialogs->texts(), QStringList{"Access violation in plug-in"});
    EXPECT_EQ(host.events, (QStringList{"started preview", "ended preview"}));
    EXPECT_TRUE(finalize.btnPreview->isEnabled());
}

TEST_F(PagesTest, CancelStopsBeforeTheNextFrame) {
    host.add("Long", 0, 99);
    host.onFetch = [this](int64_t frame) {
        if (frame == 1) finalize.RequestStop();
        // A click while running must not start a second run.
        finalize.btnPreview->click();
    };
    finalize.btnPreview->click();
    EXPECT_EQ(finalize.run().FrameCounter(), 2);
    EXPECT_EQ(host.events.count("started preview"), 1);
}

TEST_F(PagesTest, OverlayControlsReachTheRun) {
    finalize.cbSuperimpose->setChecked(true);
    finalize.siText->setText("Hi");
    finalize.siPosition->setCurrentIndex(6);
    finalize.cbsiBold->setChecked(true);
    finalize.siShadow->setColor(QColor(10, 20, 30));
    dialogs->fonts = {QFont("DejaVu Sans", 20)};
    finalize.SpeedButton1->click();
    RenderSettings s;
    finalize.CollectSettings(s);
    EXPECT_TRUE(s.overlay.drawText);
    EXPECT_EQ(s.overlay.text, "Hi");
    EXPECT_EQ(s.overlay.position, 6);
    EXPECT_TRUE(s.overlay.bold);
    EXPECT_EQ(s.overlay.shadow, QColor(10, 20, 30));
    EXPECT_EQ(s.overlay.fontName, "DejaVu Sans");
    EXPECT_EQ(s.overlay.fontSize, 20);
    EXPECT_EQ(finalize.overlayFont()->pointSize(), 20);
}

namespace {

// Counts the events of one type a widget receives.
class EventCounter : public QObject {
public:
    EventCounter(QObject* target, QEvent::Type type) : type_(type) {
        target->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) ++count;
        return false;
    }

private:
    QEvent::Type type_;
};

void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST_F(PagesTest, ALongStillNameIsShortenedInTheMiddleSoItsCounterShows) {
    host.add("A selection with a rather long caption", 10, 12);
    finalize.jvExportFolder->setText(dir.path() + "/");
    finalize.resize(420, 380);
    finalize.show();
    settle();
    finalize.btnRender->click();
    settle();
    const QString whole = "Saving frame: Untitled_A selection with a rather long caption_002.jpg";
    ASSERT_EQ(finalize.lblDestInfo->text(), whole);
    const QString shown = finalize.lblDestInfo->shownText();
    EXPECT_NE(shown, whole);
    EXPECT_TRUE(shown.startsWith("Saving fr")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("_002.jpg")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(finalize.lblDestInfo->fontMetrics().horizontalAdvance(shown),
              finalize.lblDestInfo->width());
    EXPECT_TRUE(finalize.lblSourceInfo->shownText().endsWith(".12"));
    // A text that fits is shown as it is.
    finalize.lblSourceInfo->setText("Intro.12");
    EXPECT_EQ(finalize.lblSourceInfo->shownText(), "Intro.12");
}

TEST(PageWidgets, ATextSlotRepaintsItsLabelWithoutLayingTheWindowOutAgain) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel("short");
    auto* slot = new TTextSlot(label);
    auto* below = new QLabel("below");
    layout->addWidget(slot);
    layout->addWidget(below);
    window.resize(300, 120);
    window.show();
    settle();
    const QRect slotBox = slot->geometry(), belowBox = below->geometry();
    EXPECT_EQ(label->size(), slot->size());
    EXPECT_GE(slot->height(), label->fontMetrics().height());

    EventCounter relayouts(&window, QEvent::LayoutRequest);
    for (int i = 0; i < 20; ++i) {
        label->setText(QString(i * 10, QLatin1Char('W')) + QString::number(i));
        settle();
    }
    EXPECT_EQ(relayouts.count, 0);
    EXPECT_EQ(slot->geometry(), slotBox);
    EXPECT_EQ(below->geometry(), belowBox);
    EXPECT_EQ(label->size(), slot->size());
    EXPECT_TRUE(label->isVisible());

    // The slot follows the window; the label follows the slot.
    window.resize(400, 160);
    settle();
    EXPECT_EQ(slot->width(), 400 - layout->contentsMargins().left() - layout->contentsMargins().right());
    EXPECT_EQ(label->size(), slot->size());

    // A slot asked to fit a text is at least that wide.
    auto* progress = new QLabel;
    TTextSlot wide(progress, "Frame 000000 of 000000");
    EXPECT_GE(wide.minimumSizeHint().width(),
              progress->fontMetrics().horizontalAdvance("Frame 000000 of 000000"));
}

TEST(PageWidgets, APacerPaintsAtMostOncePerRefreshAndPaintsTheLastChange) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel("0");
    layout->addWidget(new TTextSlot(label));
    window.resize(200, 60);
    window.show();
    settle();

    EventCounter paints(label, QEvent::Paint);
    QElapsedTimer clock;
    int painted = 0, deferred = 0;
    {
        RepaintPacer pacer(&window);
        clock.start();
        for (int i = 1; i <= 200; ++i) {
            label->setText(QString::number(i));
            QCoreApplication::processEvents();
        }
        painted = pacer.painted();
        deferred = pacer.deferred();
    }
    const qint64 elapsed = clock.elapsed();
    // The refresh of the offscreen screen is 60 Hz: one paint per 16 ms at most.
    EXPECT_LE(paints.count, elapsed / 16 + 2) << elapsed << " ms";
    EXPECT_LE(painted, elapsed / 16 + 2);
    EXPECT_GT(deferred, 0);
    // The change put off last is painted once the pacer has gone.
    const int before = paints.count;
    settle();
    EXPECT_GT(paints.count, before);
    EXPECT_EQ(label->grab().isNull(), false);

    // Without a pacer every change is painted at the next event round.
    const int unpaced = paints.count;
    for (int i = 0; i < 10; ++i) {
        label->setText("x" + QString::number(i));
        QCoreApplication::processEvents();
    }
    EXPECT_GE(paints.count - unpaced, 10);
}

TEST(PageWidgets, APictureViewDrawsStreamingAndSettledPicturesAndFillsTheRest) {
    TPictureView view;
    view.resize(200, 200);
    // Left half red, right half blue, twice as wide as high: bands above and
    // below the picture are background.
    QImage picture(400, 200, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, x < 200 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    const QRgb background = view.palette().dark().color().rgb();

    auto check = [&](const char* what) {
        const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown.pixel(50, 100), qRgb(255, 0, 0)) << what;
        EXPECT_EQ(shown.pixel(150, 100), qRgb(0, 0, 255)) << what;
        EXPECT_EQ(shown.pixel(100, 10), background) << what;
        EXPECT_EQ(shown.pixel(100, 190), background) << what;
    };
    view.setPicture(picture);
    EXPECT_FALSE(view.streaming());
    check("single picture");
    view.setPicture(picture.copy());
    EXPECT_TRUE(view.streaming());
    check("streaming");
    QElapsedTimer wait;
    wait.start();
    while (view.streaming() && wait.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(view.streaming());
    check("settled");
    view.clear();
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(100, 100),
              background);
}
