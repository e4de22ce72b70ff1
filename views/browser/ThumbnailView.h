#pragma once
// A grid of picture thumbnails for the files of one folder that match a
// mask, sorted by name. The file list is read at once; the pictures are
// decoded in the background, so a folder of hundreds of full-size stills
// does not hold up the window. Rows are centred, 4 pixels apart, and the
// view scrolls vertically.

#include <QAbstractScrollArea>
#include <QImage>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QVector>

#include <atomic>
#include <memory>

namespace stillora {

class TThumbnailView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kSpacing = 4;
    static constexpr int kDefaultThumbWidth = 144;
    static constexpr int kDefaultThumbHeight = 96;
    static constexpr int kMinThumbSize = 16;
    static constexpr int kMaxThumbSize = 2048;

    explicit TThumbnailView(QWidget* parent = nullptr);
    ~TThumbnailView() override;

    // Lists the files of `folder` matching `mask` (wildcards, any case) and
    // starts decoding their thumbnails; the previous content is dropped. A
    // missing folder gives an empty view. Emits scanStarted now and
    // scanFinished when every thumbnail is done (at once for no files).
    void scan(const QString& folder, const QString& mask);
    // Drops every thumbnail and stops decoding.
    void clear();

    int count() const { return items_.size(); }
    bool isScanning() const { return scanning_; }
    int loadedCount() const { return loaded_; }
    QString folder() const { return folder_; }
    QString mask() const { return mask_; }
    QString fileName(int index) const;
    // The full path of a shown file (folder and name); empty for a bad index.
    QString filePath(int index) const;
    // The thumbnail picture; null while it is being decoded.
    QImage thumbnail(int index) const;
    bool isLoaded(int index) const;
    // True when the file could not be decoded (a grey box is shown).
    bool isBroken(int index) const;
    bool isDeleted(int index) const;

    int selectedIndex() const { return selected_; }
    // Selects a thumbnail (-1: none) and scrolls it into view; other values are ignored.
    void setSelectedIndex(int index);

    // The box a thumbnail is drawn in, in viewport coordinates.
    QRect thumbnailRect(int index) const;
    int indexAt(const QPoint& viewportPos) const;

    QSize maxThumbSize() const { return box_; }
    // Sets the largest thumbnail size (clamped to 16..2048) and decodes every
    // thumbnail again at that size, reporting it as a new scan.
    void setMaxThumbSize(int width, int height);

    // Marks a thumbnail as deleted: a pure red cross, 23 pixels wide, is drawn
    // over its picture (also over one decoded later).
    void markDeleted(int index);

signals:
    void scanStarted(int fileCount);
    void scanProgress(int loadedCount);
    void scanFinished();
    // A mouse click on the view, after the selection has followed it.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Item {
        QString name;
        QImage picture;
        bool loaded = false;
        bool broken = false;
        bool deleted = false;
    };

    void startDecoding();
    void stopDecoding();
    void thumbnailDecoded(quint64 generation, int index, QImage picture);
    void finishPicture(Item& item) const;
    void updateLayout();
    QSize cellSize() const;
    QRect cellRect(int index) const;
    int rowLeft(int row) const;
    void ensureVisible(int index);

    QString folder_;
    QString mask_;
    QVector<Item> items_;
    QSize box_{kDefaultThumbWidth, kDefaultThumbHeight};
    int selected_ = -1;
    int loaded_ = 0;
    bool scanning_ = false;
    int columns_ = 1;

    // Each scan gets a new generation; results of older scans are dropped.
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    QThreadPool pool_;
};

} // namespace stillora
