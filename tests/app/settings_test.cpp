#include "app/settings/SettingsBinder.h"
#include "support/TestDirs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QWidget>

#include <gtest/gtest.h>

using namespace stillora;

namespace {

// A colour control as the window makes one: a widget with a "color" property.
class ColourBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
public:
    using QWidget::QWidget;
    QColor color() const { return color_; }
    void setColor(const QColor& c) { color_ = c; }

private:
    QColor color_;
};

// The controls of the settings table, named as the window names them.
struct Form {
    QWidget root;
    QFont font;
    int sourceKind = -1;
    SettingsBinder binder{&root};

    template <class W> W* Add(const char* name) {
        auto* w = new W(&root);
        w->setObjectName(name);
        return w;
    }
    template <class W> W* Find(const char* name) { return root.findChild<W*>(name); }

    Form() {
        for (const char* name : {"btnCapture", "btnFiles", "btnURL", "btnDVD"})
            Add<QPushButton>(name)->setCheckable(true);
        auto* exportAs = new QButtonGroup(&root);
        exportAs->setObjectName("rgExportAs");
        for (int i = 0; i < 3; ++i)
            exportAs->addButton(new QRadioButton(&root));
        auto* devices = Add<QComboBox>("edtCapture");
        devices->addItems({"cam0", "cam1"});
        auto* positions = Add<QComboBox>("siPosition");
        for (int i = 0; i < 10; ++i)
            positions->addItem(QString::number(i));
        auto* movie = Add<QTabWidget>("pagesMovie");
        for (int i = 0; i < 3; ++i)
            movie->addTab(new QWidget, QString::number(i));
        Add<QSlider>("tbJPEGComp");
        for (const SettingRow& row : SettingsTable()) {
            if (row.control.isEmpty() || root.findChild<QObject*>(row.control)) continue;
            const QByteArray name = row.control.toLatin1();
            switch (row.property) {
            case ControlProperty::Checked:
                Add<QCheckBox>(name);
                break;
            case ControlProperty::Value:
                Add<QSpinBox>(name);
                break;
            case ControlProperty::Text:
                Add<QLineEdit>(name);
                break;
            case ControlProperty::Color:
                Add<ColourBox>(name);
                break;
            default:
                break;
            }
        }
        binder.SetFont(&font);
        binder.SetHook("SelectedSource",
                       {[this] { return SettingValue(sourceKind); },
                        [this](const SettingValue& v) { sourceKind = std::get<int32_t>(v); }});
        binder.SetupControls();
    }

    int Spin(const char* name) { return Find<QSpinBox>(name)->value(); }
    QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }
    bool Checked(const char* name) { return Find<QAbstractButton>(name)->isChecked(); }
    QColor Colour(const char* name) { return Find<ColourBox>(name)->color(); }
};

class SettingsTest : public ::testing::Test {
protected:
    test::ScratchDir dir;
    QString path = dir.file("config/Stillora/settings.json");
};

} // namespace

TEST_F(SettingsTest, EmptyStoreGivesTheDefaults) {
    SettingsStore store(path);
    Form form;
    const SettingsLoadResult result = form.binder.LoadAll(store);
    EXPECT_TRUE(result.stoppedAt.isEmpty());
    EXPECT_TRUE(result.sourceFile.isEmpty());
    EXPECT_TRUE(form.Checked("btnFiles"));
    EXPECT_FALSE(form.Checked("btnCapture"));
    EXPECT_EQ(form.sourceKind, 1);
    EXPECT_EQ(form.Spin("spinDigits"), 3);
    EXPECT_EQ(form.Spin("spinFramesPerSlide"), 60);
    EXPECT_EQ(form.Spin("spinPreviewDelay"), 25);
    EXPECT_EQ(form.Find<QSlider>("tbJPEGComp")->value(), 65);
    EXPECT_EQ(form.Text("edtPageTitle"), "My Photo Gallery");
    EXPECT_EQ(form.Text("edtExportFileName"), "untitled.swf");
    EXPECT_EQ(form.Text("meTableWidth"), "0800");
    EXPECT_EQ(form.Text("edtSeparator"), "_");
    EXPECT_EQ(form.font.family(), "Verdana");
    EXPECT_EQ(form.font.pointSize(), 12);
    EXPECT_TRUE(form.Checked("cbSelName"));
    EXPECT_TRUE(form.Checked("cbCrossfade"));
    EXPECT_FALSE(form.Checked("chkGIFLoop"));
    EXPECT_EQ(form.Colour("cbLinkColor"), QColor(148, 158, 254));
    EXPECT_EQ(form.Colour("siColor"), QColor(Qt::white));
    EXPECT_EQ(form.Find<QComboBox>("siPosition")->currentIndex(), 0);
    EXPECT_EQ(form.Find<QButtonGroup>("rgExportAs")->checkedButton(),
              form.Find<QButtonGroup>("rgExportAs")->buttons()[0]);
}

TEST_F(SettingsTest, StoredValuesAreClampedAndCleaned) {
    QFile source(dir.file("clip one.mpg"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.close();
    SettingsStore store(path);
    store.WriteSetting("spinPreviewDelay.Value", 10);
    store.WriteSetting("spinCols.Value", 400);
    store.WriteSetting("edtCapture.ItemIndex", 7);
    store.WriteSetting("pagesMovie.ActivePageIndex", 2);
    store.WriteSetting("rgExportType.ItemIndex", QStringLiteral(" 1 ")); // a number as text
    store.WriteSetting("edtFiles.Text", '"' + dir.file("clip one.mpg") + '"');
    store.WriteSetting("jvExportFolder.text", QStringLiteral("/home/me/stills"));
    store.WriteSetting("siShadow.Color", int32_t(0xFF0000FF)); // top byte dropped
    Form form;
    const SettingsLoadResult result = form.binder.LoadAll(store);
    EXPECT_TRUE(result.stoppedAt.isEmpty());
    EXPECT_EQ(form.Spin("spinPreviewDelay"), 25);
    EXPECT_EQ(form.Spin("spinCols"), 25);
    EXPECT_EQ(form.Find<QComboBox>("edtCapture")->currentIndex(), 1);
    EXPECT_EQ(form.Find<QTabWidget>("pagesMovie")->currentIndex(), 2);
    EXPECT_EQ(form.Text("edtFiles"), dir.file("clip one.mpg"));
    EXPECT_EQ(result.sourceFile, dir.file("clip one.mpg"));
    EXPECT_EQ(form.Text("jvExportFolder"), "/home/me/stills/");
    EXPECT_EQ(form.Colour("siShadow"), QColor(255, 0, 0));

    // The same values reach a reader without widgets.
    const ResolvedSettings plain = ResolveSettings(store);
    EXPECT_EQ(plain.integer("spinPreviewDelay.Value"), 25);
    EXPECT_EQ(plain.integer("rgExportType.ItemIndex"), 1);
    EXPECT_EQ(plain.text("jvExportFolder.text"), "/home/me/stills/");
}

TEST_F(SettingsTest, AValueThatCannotBeAppliedStopsLoadingThere) {
    SettingsStore store(path);
    store.WriteSetting("cbSelname.Checked", 0);
    store.WriteSetting("spinDigits.Value", QStringLiteral("many"));
    store.WriteSetting("spinSkipFrames.Value", 77);
    store.WriteSetting("edtPageTitle.text", QStringLiteral("Later"));
    Form form;
    const SettingsLoadResult result = form.binder.LoadAll(store);
    EXPECT_EQ(result.stoppedAt, "spinDigits.Value");
    EXPECT_FALSE(form.Checked("cbSelName")); // before the bad value: applied
    EXPECT_EQ(form.Spin("spinDigits"), 5);   // form values from there on
    EXPECT_EQ(form.Spin("spinSkipFrames"), 1);
    EXPECT_EQ(form.Spin("spinPreviewDelay"), 100);
    EXPECT_EQ(form.Text("edtPageTitle"), "");
    EXPECT_EQ(form.font.family(), "MS Sans Serif");
    EXPECT_EQ(ResolveSettings(store).integer("spinSkipFrames.Value"), 1);
}

TEST_F(SettingsTest, ChoicesSurviveARestart) {
    {
        SettingsStore store(path);
        Form form;
        form.binder.LoadAll(store);
        form.Find<QCheckBox>("chkGIFLoop")->setChecked(true);
        form.Find<QCheckBox>("cbsiBold")->setChecked(true);
        form.Find<QCheckBox>("cbCrossfade")->setChecked(false);
        form.Find<QSpinBox>("spinRows")->setValue(9);
        form.Find<QLineEdit>("jvExportFolder")->setText("/tmp/out");
        form.Find<QLineEdit>("siText")->setText(QString::fromUtf8("© Ünïcode ✓"));
        form.Find<ColourBox>("cbBackColor")->setColor(QColor(1, 2, 3));
        form.Find<QButtonGroup>("rgExportAs")->buttons()[2]->setChecked(true);
        form.Find<QComboBox>("siPosition")->setCurrentIndex(9);
        form.font = QFont("DejaVu Sans", 17);
        form.sourceKind = 2;
        form.binder.StoreAll(store);
        ASSERT_TRUE(store.Save());
    }
    SettingsStore store(path);
    EXPECT_EQ(std::get<QString>(*store.ReadSetting("jvExportFolder.text")), "/tmp/out/");
    EXPECT_EQ(std::get<int32_t>(*store.ReadSetting("cbBackColor.Color")), 0x030201);
    Form form;
    form.binder.LoadAll(store);
    EXPECT_TRUE(form.Checked("chkGIFLoop"));
    EXPECT_TRUE(form.Checked("cbsiBold"));
    EXPECT_FALSE(form.Checked("cbCrossfade"));
    EXPECT_EQ(form.Spin("spinRows"), 9);
    EXPECT_EQ(form.Text("siText"), QString::fromUtf8("© Ünïcode ✓"));
    EXPECT_EQ(form.Colour("cbBackColor"), QColor(1, 2, 3));
    EXPECT_TRUE(form.Find<QButtonGroup>("rgExportAs")->buttons()[2]->isChecked());
    EXPECT_EQ(form.Find<QComboBox>("siPosition")->currentIndex(), 9);
    EXPECT_EQ(form.font.family(), "DejaVu Sans");
    EXPECT_EQ(form.font.pointSize(), 17);
    EXPECT_EQ(form.sourceKind, 2);
    EXPECT_TRUE(form.Checked("btnURL"));
    EXPECT_FALSE(form.Checked("btnFiles"));
}

TEST_F(SettingsTest, RowsWithoutTheirControlKeepTheirStoredValue) {
    SettingsStore store(path);
    store.WriteSetting("spinGIFFrameDuration.Value", 250);
    QWidget bare;
    SettingsBinder binder(&bare);
    EXPECT_TRUE(binder.LoadAll(store).stoppedAt.isEmpty());
    binder.StoreAll(store);
    EXPECT_EQ(std::get<int32_t>(*store.ReadSetting("spinGIFFrameDuration.Value")), 250);
    EXPECT_FALSE(store.Contains("spinRows.Value"));
}

TEST_F(SettingsTest, NamesIgnoreCaseAndValuesKeepTheirType) {
    {
        SettingsStore store(path);
        EXPECT_FALSE(store.ReadSetting("spinThumbSize.Value").has_value());
        store.WriteSetting("spinThumbSize.value", 42);
        store.WriteSetting("Name", QStringLiteral("12"));
        EXPECT_EQ(std::get<int32_t>(*store.ReadSetting("SPINTHUMBSIZE.VALUE")), 42);
        store.WriteSetting("spinThumbSize.Value", QStringLiteral("text now"));
        ASSERT_TRUE(store.Save());
    }
    SettingsStore store(path);
    EXPECT_EQ(std::get<QString>(*store.ReadSetting("spinthumbsize.value")), "text now");
    EXPECT_EQ(std::get<QString>(*store.ReadSetting("name")), "12"); // still a text
    EXPECT_EQ(std::get<int32_t>(store.ReadSettingOrDefault("missing", 7)), 7);
}

TEST_F(SettingsTest, DamagedOrUnwritableFilesLoseNothing) {
    {
        QFile file(dir.file("bad.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"spinRows.Value\": 3, \"half\": 2.5, \"big\": 1e12, \"list\": [1]");
    }
    SettingsStore damaged(dir.file("bad.json"));
    EXPECT_TRUE(damaged.readFailed());
    EXPECT_FALSE(damaged.Contains("spinRows.Value"));
    damaged.WriteSetting("spinRows.Value", 4);
    ASSERT_TRUE(damaged.Save());
    EXPECT_TRUE(QFile::exists(dir.file("bad.json.damaged")));
    EXPECT_EQ(std::get<int32_t>(*SettingsStore(dir.file("bad.json")).ReadSetting("spinrows.value")),
              4);

    // Only whole 32-bit numbers and texts are values.
    {
        QFile file(path);
        ASSERT_TRUE(QDir().mkpath(dir.file("config/Stillora")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"a\": 3, \"half\": 2.5, \"big\": 1e12, \"list\": [1], \"t\": \"x\"}");
    }
    SettingsStore mixed(path);
    EXPECT_FALSE(mixed.readFailed());
    EXPECT_EQ(std::get<int32_t>(*mixed.ReadSetting("a")), 3);
    EXPECT_FALSE(mixed.Contains("half"));
    EXPECT_FALSE(mixed.Contains("big"));
    EXPECT_FALSE(mixed.Contains("list"));

    // A file that cannot be written keeps the values in memory.
    SettingsStore blocked(dir.file("config/Stillora/settings.json/inside.json"));
    blocked.WriteSetting("x", 1);
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(std::get<int32_t>(*blocked.ReadSetting("x")), 1);
}

TEST_F(SettingsTest, PlacementRoundTrips) {
    QWidget main, viewer, timeline, picker;
    main.move(30, 40);
    main.resize(500, 300);
    viewer.move(50, 60);
    viewer.resize(320, 240);
    timeline.move(70, 80);
    timeline.resize(200, 100);
    picker.move(90, 100);
    picker.resize(150, 120);
    SettingsStore store(path);
    SaveWindowPlacements(store, {&main, &viewer, &timeline, &picker});
    EXPECT_FALSE(store.Contains("AppForm.Width"));
    ASSERT_TRUE(store.Save());

    SettingsStore again(path);
    QWidget main2, viewer2, timeline2, picker2;
    main2.resize(111, 111);
    RestoreWindowPlacements(again, {&main2, &viewer2, &timeline2, &picker2});
    EXPECT_EQ(main2.pos(), QPoint(30, 40));
    EXPECT_EQ(main2.size(), QSize(111, 111)); // the main window's size is not stored
    EXPECT_EQ(viewer2.geometry(), QRect(50, 60, 320, 240));
    EXPECT_EQ(timeline2.geometry(), QRect(70, 80, 200, 100));
    EXPECT_EQ(picker2.geometry(), QRect(90, 100, 150, 120));
}

TEST_F(SettingsTest, PlacementIgnoresUnusableValues) {
    SettingsStore store(path);
    store.WriteSetting("frmTimeline.Left", 20);
    store.WriteSetting("frmTimeline.Top", QStringLiteral("oops"));
    store.WriteSetting("frmTimeline.Width", 0);
    store.WriteSetting("frmTimeline.Height", -5);
    store.WriteSetting("frmRender.Left", 100000);
    store.WriteSetting("frmRender.Top", 100000);
    QWidget timeline, viewer;
    timeline.move(5, 6);
    timeline.resize(210, 110);
    RestorePlacement(store, kTimelinePlacement, &timeline);
    EXPECT_EQ(timeline.geometry(), QRect(20, 6, 210, 110));
    RestorePlacement(store, kImageViewerPlacement, &viewer);
    EXPECT_LT(viewer.x(), 10000); // brought back onto a screen
}

#include "settings_test.moc"
