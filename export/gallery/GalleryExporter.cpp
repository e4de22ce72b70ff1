#include "export/gallery/GalleryExporter.h"

#include "export/gallery/GalleryPages.h"
#include "render/Naming.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"

#include <QFileInfo>
#include <QImage>

namespace stillora {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

class GalleryExporter : public RenderExporter {
public:
    GalleryExporter(ExportShell& shell, std::function<void(const QString&)> titleShown)
        : shell_(shell), titleShown_(std::move(titleShown)) {}

    void begin(const RenderSettings& settings, const QString&) override {
        settings_ = settings.gallery;
        jpegQuality_ = settings.jpegQuality;
        prefix_ = ExportFolderPrefix(settings.exportFolder);
        cellIndex_ = 0;
        columns_ = qBound(1, settings_.columns, 25);
        tableWidth_ = gallery::TableWidth(settings_.tableWidth);
        failed_ = false;
        footer_ = gallery::Footer();
        header_ = gallery::Header(settings_);
        page_ = header_ + gallery::TableOpening(settings_, tableWidth_) + kCrLf +
                QStringLiteral("<tr>") + kCrLf;
    }

    bool wantsStills(const RenderSettings&) const override { return true; }

    bool addFrame(const ExportFrame& frame) override {
        const bool written = addCell(frame);
        // The row closes after its last cell even when this cell's page failed.
        if (cellIndex_ % columns_ == columns_ - 1) page_ += QStringLiteral("</tr><tr>") + kCrLf;
        ++cellIndex_;
        return written;
    }

    void finish(const ExportSummary&) override {
        // A page that could not be written ended the run with its message;
        // an index over missing pages would pass for a finished gallery.
        if (failed_) return;
        page_ +=
            QStringLiteral("</tr>") + kCrLf + QStringLiteral("</table></center></div>") + footer_;
        if (settings_.title.isEmpty() && titleShown_) titleShown_(QStringLiteral("index"));
        const QString path = prefix_ + gallery::IndexFileName(settings_.title);
        if (!writePage(path, page_)) return;
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!shell_.interactive()) {
            shell_.outputWritten(absolute);
            return;
        }
        const QString question = QStringLiteral("The web gallery created in:\r\n\r\n") + absolute +
                                 QStringLiteral("\r\n\r\nis ready to be viewed.\r\nDo you want to "
                                                "view the results with the default browser?");
        if (shell_.ask(RenderPrompter::Confirmation, question,
                       RenderPrompter::Yes | RenderPrompter::No) == RenderPrompter::Yes)
            shell_.openDocument(absolute);
    }

private:
    // Thumbnail, image page and index cell of one frame. False when the
    // image page could not be written (the error has been reported).
    bool addCell(const ExportFrame& frame) {
        const QString base = gallery::StillBase(frame.stillPath);
        const int tw = gallery::ThumbnailExtent(settings_.thumbSize, frame.picture.width());
        const int th = gallery::ThumbnailExtent(settings_.thumbSize, frame.picture.height());
        const QString folder = QFileInfo(frame.stillPath).path() + QLatin1Char('/');
        writeThumbnail(frame.stillPath,
                       folder + QStringLiteral("tmb_") + base + QStringLiteral("jpg"), tw, th);

        const TSelection& selection = frame.selection;
        const bool single =
            static_cast<int32_t>(selection.StartFrame) == static_cast<int32_t>(selection.EndFrame);
        const QString title = gallery::FrameTitle(selection.Caption, single, frame.sourceFrame);

        const QString body = gallery::ImagePageBody(base + QStringLiteral("jpg"), title,
                                                    gallery::IndexFileName(settings_.title));
        const QFileInfo still(frame.stillPath);
        page_ += gallery::Cell(base, title, settings_.edge, tw, th,
                               still.exists() ? still.size() : 0, tableWidth_ / columns_) +
                 kCrLf;
        return writePage(prefix_ + base + QStringLiteral("html"), header_ + body + footer_);
    }

    // The still as written, shrunk by averaging. A still that cannot be read
    // back (its save failed) or a thumbnail that cannot be written is left
    // out; the cell still refers to it.
    void writeThumbnail(const QString& stillPath, const QString& path, int width, int height) {
        if (width <= 0 || height <= 0) return;
        QImage still(stillPath);
        if (still.isNull()) return;
        // Smooth scaling of 32-bit pictures averages every source pixel
        // under a thumbnail pixel, so fine detail does not alias.
        const QImage thumb =
            still.convertToFormat(QImage::Format_RGB32)
                .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QByteArray bytes;
        QString error;
        if (EncodeJpeg(thumb, jpegQuality_, bytes, &error))
            WriteFileAtomically(path, bytes, &error);
    }

    bool writePage(const QString& path, const QString& text) {
        QString error;
        if (WriteFileAtomically(path, gallery::EncodeWindows1252(text + kCrLf), &error))
            return true;
        failed_ = true;
        shell_.reportError(QStringLiteral("Cannot write the gallery page:\r\n\r\n") + path +
                           QStringLiteral("\r\n\r\n") + error);
        return false;
    }

    ExportShell& shell_;
    std::function<void(const QString&)> titleShown_;

    GallerySettings settings_;
    int jpegQuality_ = 65;
    QString prefix_;
    QString header_, footer_, page_;
    int cellIndex_ = 0;
    int columns_ = 5;
    int tableWidth_ = 800;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<RenderExporter>
CreateGalleryExporter(ExportShell& shell, std::function<void(const QString&)> titleShown) {
    return std::make_unique<GalleryExporter>(shell, std::move(titleShown));
}

} // namespace stillora
