// The Web Gallery Settings tab: its controls, what it hands to a run, and
// its values surviving a restart through the settings store.
#include "app/settings/SettingsBinder.h"
#include "app/settings/SettingsStore.h"
#include "support/TestDirs.h"
#include "views/pages/ConfigPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

QStringList labelsOf(QWidget* tab) {
    QStringList texts;
    for (const QLabel* label : tab->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

} // namespace

TEST(GalleryTab, HoldsEveryControlWithItsCaptionRangeAndDefault) {
    TConfigPage page;
    EXPECT_TRUE(page.rgExportAs->item(WebGallery)->isEnabled());
    EXPECT_TRUE(page.rgExportAs->item(WebGallery)->toolTip().isEmpty());
    ASSERT_EQ(page.pageSettings->indexOf(page.tabHTML), 1);
    EXPECT_EQ(page.pageSettings->tabText(1), "Web Gallery Settings");
    EXPECT_TRUE(page.tabHTML->isEnabled());

    const QStringList labels = labelsOf(page.tabHTML);
    for (const char* caption :
         {"Gallery Title:", "Table Width:", "Cells per Row:", "Rows:", "Thumbnail Size:", "%",
          "Bkg. Color:", "Text Color:", "Link Color: ", "Visited Color: ", "Cell Spacing: ",
          "Cell Padding:"})
        EXPECT_TRUE(labels.contains(caption)) << caption;
    EXPECT_EQ(page.cbEdge->text(), "Thumbnail Edge:");
    EXPECT_EQ(page.cbEdge->toolTip(), "Thumbnail edge.");
    EXPECT_EQ(page.edtPageTitle->toolTip(), "HTML Page Title.");
    EXPECT_EQ(page.meTableWidth->toolTip(), "Table Width.");
    EXPECT_EQ(page.spinCols->toolTip(), "Number of columns.");

    struct Range {
        QSpinBox* box;
        int low, high, value;
    };
    for (const Range& r :
         {Range{page.spinCols, 1, 25, 5}, Range{page.spinRows, 1, 25, 5},
          Range{page.spinThumbSize, 1, 100, 10}, Range{page.spinCellSpacing, 0, 9, 1},
          Range{page.spinCellPadding, 0, 9, 4}}) {
        EXPECT_EQ(r.box->minimum(), r.low) << r.box->objectName().toStdString();
        EXPECT_EQ(r.box->maximum(), r.high) << r.box->objectName().toStdString();
        EXPECT_EQ(r.box->value(), r.value) << r.box->objectName().toStdString();
    }
    // Four digits, nothing else.
    page.meTableWidth->setText("12345");
    EXPECT_EQ(page.meTableWidth->text(), "1234");
    page.meTableWidth->setText("ab");
    EXPECT_EQ(page.meTableWidth->text(), "");
}

TEST(GalleryTab, ChoicesReachTheRunAndSurviveARestart) {
    test::ScratchDir dir;
    const QString path = dir.file("settings.json");
    {
        TConfigPage page;
        SettingsBinder binder(&page);
        binder.SetupControls();
        binder.LoadAll(SettingsStore(path));
        // The defaults of an empty store.
        EXPECT_EQ(page.edtPageTitle->text(), "My Photo Gallery");
        EXPECT_EQ(page.meTableWidth->text(), "0800");
        EXPECT_EQ(page.cbLinkColor->color(), QColor(148, 158, 254));
        EXPECT_EQ(page.cbVisitedColor->color(), QColor(45, 80, 172));

        page.rgExportAs->setItemIndex(WebGallery);
        page.edtPageTitle->setText("Trip");
        page.meTableWidth->setText("0640");
        page.spinCols->setValue(4);
        page.spinRows->setValue(7);
        page.spinThumbSize->setValue(25);
        page.cbBackColor->setColor(QColor(1, 2, 3));
        page.cbTextColor->setColor(QColor(4, 5, 6));
        page.cbLinkColor->setColor(QColor(7, 8, 9));
        page.cbVisitedColor->setColor(QColor(10, 11, 12));
        page.cbEdge->setChecked(true);
        page.spinCellSpacing->setValue(0);
        page.spinCellPadding->setValue(9);
        SettingsStore store(path);
        binder.StoreAll(store);
        ASSERT_TRUE(store.Save());
    }
    TConfigPage page;
    SettingsBinder binder(&page);
    binder.SetupControls();
    binder.LoadAll(SettingsStore(path));
    RenderSettings s;
    page.CollectSettings(s);
    EXPECT_EQ(s.exportKind, WebGallery);
    const GallerySettings& g = s.gallery;
    EXPECT_EQ(g.title, "Trip");
    EXPECT_EQ(g.tableWidth, "0640");
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(g.rows, 7);
    EXPECT_EQ(g.thumbSize, 25);
    EXPECT_EQ(g.backColor, QColor(1, 2, 3));
    EXPECT_EQ(g.textColor, QColor(4, 5, 6));
    EXPECT_EQ(g.linkColor, QColor(7, 8, 9));
    EXPECT_EQ(g.visitedColor, QColor(10, 11, 12));
    EXPECT_TRUE(g.edge);
    EXPECT_EQ(g.cellSpacing, 0);
    EXPECT_EQ(g.cellPadding, 9);
}
