// The Seek page's selection actions: marks, adding frames and intervals,
// activating, deleting and collapsing tree nodes.

#include "app/MainWindow.h"

#include "pluginhost/EffectChain.h"
#include "selection/SelectionFile.h"
#include "video/DvdTitle.h"
#include "views/DialogService.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/viewer/ImageViewer.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

namespace stillora {

void TfrmMain::actMarkInExecute() {
    TrackBar->SetSelStart(TrackBar->value());
    lblStart->setText(QString::number(TrackBar->SelStart()));
    setStatus("InPoint set to " + QString::number(TrackBar->SelStart()));
}

void TfrmMain::actMarkOutExecute() {
    TrackBar->SetSelEnd(TrackBar->value());
    lblStop->setText(QString::number(TrackBar->SelEnd()));
    setStatus("OutPoint set to " + QString::number(TrackBar->SelEnd()));
}

void TfrmMain::AddCurrentFrame() {
    const int position = TrackBar->value();
    setStatus("Frame " + QString::number(position) + " added.");
    try {
        if (!LiveSource()) {
            treeModel_->AddSelectionToTree(
                NewSelection(position, position, CurrentSourceKind, *CaptureStack_, CaptureBufferActive));
        } else {
            auto selection = NewSelection(0, 0, 0, *CaptureStack_, CaptureBufferActive);
            {
                std::lock_guard<std::mutex> lock(CaptureStack_->SlotLock);
                const int newest = NewestSlot(*CaptureStack_);
                if (newest >= 0 && !selection->CachedSlots.empty())
                    selection->CachedSlots[0]->store(CaptureStack_->MemSlots[static_cast<size_t>(newest)].Picture);
            }
            treeModel_->AddSelectionToTree(std::move(selection));
        }
    } catch (const std::exception&) {
        // Errors in the add actions end the action quietly.
    }
    UpdateNextButton();
}

void TfrmMain::AddCurrentSelection() {
    const int in = TrackBar->SelStart(), out = TrackBar->SelEnd();
    setStatus("Interval [" + QString::number(in) + "," + QString::number(out) + "] added.");
    try {
        if (!LiveSource())
            treeModel_->AddSelectionToTree(NewSelection(in, out, CurrentSourceKind, *CaptureStack_, CaptureBufferActive));
        else if (auto picked = PickFromCaptureStack(*frmGetFrame, *CaptureStack_, CaptureBufferActive))
            treeModel_->AddSelectionToTree(std::move(picked));
    } catch (const std::exception&) {
    }
    UpdateNextButton();
}

void TfrmMain::actNewExecute() {
    treeModel_->Clear();
    if (frmTimeline) frmTimeline->RefreshGrid();
    UpdateNextButton();
}

void TfrmMain::actCutExecute() {
    const QModelIndex node = SelTree->currentIndex();
    if (TSelection* selection = SelectionTree::SelectionOf(node)) {
        const int kind = SelectionTree::ImageIndexOf(node);
        if (kind == SelectionTree::ChainNode) {
            selection->Effects.clear();
            const QModelIndex root = SelectionTree::RootOf(node);
            treeModel_->RefreshSelectionNode(root);
            ActivateNode(root);
        } else if (kind == SelectionTree::IntervalRoot || kind == SelectionTree::FrameRoot) {
            const QModelIndex next = treeModel_->RemoveRoot(node);
            SelTree->setCurrentIndex(next);
            ActivateNode(next);
        }
    }
    if (frmTimeline) frmTimeline->RefreshGrid();
    UpdateNextButton();
}

void TfrmMain::SelTreeCurrentChanged(const QModelIndex& current) {
    if (SelectionTree::SelectionOf(current)) actCut->setEnabled(SelectionTree::CanDelete(current));
}

void TfrmMain::ActivateNode(const QModelIndex& node) {
    TSelection* selection = SelectionTree::SelectionOf(node);
    if (!selection) return;
    const int kind = SelectionTree::ImageIndexOf(node);
    if (!LiveSource()) {
        actPauseExecute();
        auto markInterval = [&] {
            TrackBar->SetSelStart(low32(selection->StartFrame));
            TrackBar->SetSelEnd(low32(selection->EndFrame));
        };
        switch (kind) {
        case SelectionTree::IntervalRoot:
            SeekToFrame(selection->StartFrame, false);
            markInterval();
            setStatus("Interval [" + QString::number(selection->StartFrame) + "," +
                      QString::number(selection->EndFrame) + "]");
            break;
        case SelectionTree::FrameRoot:
            SeekToFrame(selection->StartFrame, false);
            markInterval();
            setStatus("Frame " + QString::number(selection->StartFrame));
            break;
        case SelectionTree::InPointNode:
            markInterval();
            SeekToFrame(selection->StartFrame, false);
            setStatus("InPoint " + QString::number(selection->StartFrame));
            break;
        case SelectionTree::OutPointNode:
            markInterval();
            SeekToFrame(selection->EndFrame, false);
            setStatus("OutPoint " + QString::number(selection->EndFrame));
            break;
        default: break;
        }
        if (kind <= SelectionTree::OutPointNode && frmRender && tlbRender->isChecked()) {
            QImage frame;
            if (GrabToBitmap(frame)) UpdateViewer(selection, frame);
        }
    } else if (kind == SelectionTree::IntervalRoot) {
        if (frmTimeline) frmTimeline->ShowLiveSelection(selection);
    } else if (kind == SelectionTree::FrameRoot || kind == SelectionTree::InPointNode ||
               kind == SelectionTree::OutPointNode) {
        const int slot = kind == SelectionTree::OutPointNode ? selection->IconsCount() - 1 : 0;
        QImage picture;
        if (slot >= 0 && slot < static_cast<int>(selection->CachedSlots.size()) &&
            selection->CachedSlots[static_cast<size_t>(slot)]->load(picture)) {
            showPreview(picture);
            UpdateViewer(selection, picture);
        }
    }
    lblStart->setText(QString::number(TrackBar->SelStart()));
    lblStop->setText(QString::number(TrackBar->SelEnd()));
}

std::vector<TSelection*> TfrmMain::selectionList() {
    std::vector<TSelection*> result;
    for (const auto& selection : SelectionList_) result.push_back(selection.get());
    return result;
}

bool TfrmMain::seekAndGrab(int64_t frame, QImage& picture) {
    SeekToFrame(frame, false);
    return GrabToBitmap(picture);
}

void TfrmMain::addSelection(std::unique_ptr<TSelection> selection) {
    treeModel_->AddSelectionToTree(std::move(selection));
    UpdateNextButton();
}

void TfrmMain::showFrameInViewer(const TSelection& selection, const QImage* picture) {
    if (picture) UpdateViewer(&selection, *picture);
    if (frmRender && !frmRender->isVisible()) frmRender->show();
}

namespace {
// The name a source's selection list is named after: a DVD folder stands for
// its VIDEO_TS.IFO.
QString listedSource(int kind, const QString& name) {
    return kind == 1 || kind == 3 ? dvdIfoPath(name) : name;
}
} // namespace

void TfrmMain::actSaveExecute() {
    const QString error = SaveSelectionsForSource(listedSource(CurrentSourceKind, SourceName), *treeModel_);
    if (!error.isEmpty()) Dialogs().message(DialogService::Error, QString(), error, DialogService::Ok, this);
}

void TfrmMain::actLoadExecute() {
    const QString error = LoadSelectionsForSource(listedSource(CurrentSourceKind, SourceName), *treeModel_, plugins_);
    if (!error.isEmpty()) Dialogs().message(DialogService::Error, QString(), error, DialogService::Ok, this);
    if (frmTimeline) frmTimeline->RefreshGrid();
    UpdateNextButton();
}

void TfrmMain::UpdateViewer(const TSelection* selection, const QImage& frame) {
    if (!frmRender || !tlbRender->isChecked()) return;
    try {
        QImage picture = frame;
        PreviewChain(selection, HighlightedEffects(), picture);
        frmRender->setPicture(picture);
        if (!frmRender->isVisible()) frmRender->show();
    } catch (const std::exception&) {
        // A failing effect leaves the viewer as it was.
    }
}

void TfrmMain::tlbRenderClick(bool down) {
    if (!down) {
        if (frmRender) frmRender->hide();
        return;
    }
    ActivateNode(SelTree->currentIndex());
    if (frmRender && !frmRender->isVisible()) frmRender->show();
}

void TfrmMain::tlbCollapseClick(bool down) {
    if (down)
        SelTree->collapseAll();
    else
        SelTree->expandAll();
}

} // namespace stillora
