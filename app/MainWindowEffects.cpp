// The ApplyFX page: the plug-in list, attaching effects to selections, the
// plug-in settings dialog and the preview through a selection's chain.

#include "app/MainWindow.h"

#include "app/WindowPlacement.h"
#include "pluginhost/EffectChain.h"
#include "pluginhost/PluginLoader.h"
#include "views/DialogService.h"
#include "views/PluginSettingsDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QToolButton>

namespace stillora {

void TfrmMain::LoadPluginList() {
    CheckList->clear();
    setStatus("Loading plugins...");
    try {
        LoadPlugins((ApplicationFolder + "plugins/").toStdString(), plugins_);
    } catch (const std::exception&) {
        Dialogs().message(DialogService::Warning, QString(), "Cannot read the plugins folder.", DialogService::Ok, this);
    }
    // Line i of the list names record i of the table.
    for (const TPluginRecord& record : plugins_) CheckList->addItem(QString::fromLocal8Bit(record.name().c_str()));
    setStatus(QString());
}

std::vector<TPluginRecord> TfrmMain::HighlightedEffects() const {
    std::vector<TPluginRecord> records;
    for (int row = 0; row < CheckList->count() && row < static_cast<int>(plugins_.size()); ++row)
        if (CheckList->item(row)->isSelected()) records.push_back(plugins_[static_cast<size_t>(row)]);
    return records;
}

void TfrmMain::AttachHighlighted(const QModelIndex& node, bool keep) {
    TSelection* selection = SelectionTree::SelectionOf(node);
    if (!selection) return;
    AttachEffects(*selection, HighlightedEffects(), keep);
    const QModelIndex root = SelectionTree::RootOf(node);
    treeModel_->RefreshSelectionNode(root);
    SelTree->expand(root);
}

void TfrmMain::btnConfigureIPClick() {
    const int line = CheckList->currentRow();
    if (line < 0 || line >= static_cast<int>(plugins_.size())) return;
    TPluginRecord& record = plugins_[static_cast<size_t>(line)];
    QImage frame;
    GrabFrame(frame);
    if (!frame.isNull()) preview_ = frame;
    previewCache_ = preview_.copy();

    int result = QDialog::Rejected;
    {
        TfrmPluginSettings dialog(this);
        dialog.PreviewCallback = [this](const QImage& picture) { showPreview(picture); };
        try {
            dialog.Bind(record, &previewCache_, &preview_);
            dialog.BuildEditors();
            dialog.SetSettings(QString::fromStdString(record.Settings));
            // Beside the window, off the preview the dialog works on.
            PlaceBeside(&dialog, this);
            result = dialog.Show();
        } catch (const std::exception&) {
            result = QDialog::Rejected;
        }
        record.Settings = dialog.GetSettings().toStdString();
    }
    CheckList->item(line)->setSelected(result != QDialog::Rejected);
    if (result != QDialog::Rejected) ActivateNode(SelTree->currentIndex());
}

void TfrmMain::ToolButton17Click() {
    QModelIndex node = SelTree->currentIndex();
    if (node.parent().isValid()) node = node.parent();
    ActivateNode(node);
    // The preview shows the frame through the selection's chain and the highlighted effects.
    if (TSelection* selection = SelectionTree::SelectionOf(node)) {
        QImage frame;
        GrabFrame(frame);
        if (frame.isNull()) return;
        try {
            PreviewChain(selection, HighlightedEffects(), frame);
            showPreview(frame);
        } catch (const std::exception& e) {
            setStatus(QString::fromLocal8Bit(e.what()));
        }
    }
}

} // namespace stillora
