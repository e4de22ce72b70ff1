#pragma once
// TAVICompressor: the AVI movie writer object. It opens a movie with a
// codec (chosen in the compression dialog, when one is shown), takes one
// 32-bit frame bitmap at a time and completes the file when closed. The
// movie is written beside its final name and renamed into place by Close(),
// so an interrupted or failed movie never leaves a half-written file under
// that name, and an older movie there stays until the new one is complete.
//
// One object lives as long as the main window and is reused for every run.
// Every member is called on the thread that runs the render run.

#include "export/avi/AviCodecs.h"
#include "export/avi/RiffAviWriter.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QSaveFile;

namespace stillora {

class ExportShell;

// The options record handed to Open().
struct AVIOptions {
    int32_t Width = 0;
    int32_t Height = 0;
    QString Handler;      // FourCC of the codec (up to 4 characters)
    uint32_t Quality = 0; // 0 .. 10000
    uint32_t Rate = 0;    // frames per second
    QString Name;         // stream name, up to 63 characters
    uint32_t KeyFrameEvery = 0;
    uint32_t BytesPerSecond = 0;
    uint32_t Flags = 0; // kAviFlagKeyFrames | kAviFlagDataRate | kAviFlagValid
    bool Compress = false;
    bool ShowDialog = false;
};

constexpr uint32_t kAviFlagDataRate = 2;
constexpr uint32_t kAviFlagKeyFrames = 4;
constexpr uint32_t kAviFlagValid = 8;

// Result codes of Open(), AddFrame() and Close().
enum AviResult : int {
    AviOk = 0,
    AviCancelled = -1,   // the compression dialog was cancelled
    AviFileError = -2,   // the file cannot be created
    AviStreamError = -3, // no stream for these options (no size, no rate)
    AviCodecError = -4,  // the codec is unknown or refuses the format
    AviFormatError = -5, // the headers cannot be written
    AviWriteError = -6,  // a write to the file failed
    AviNotOpen = -7,     // a frame came while no movie is open
};

// The defaults: no size, handler "CVID", quality 5000, 18 fps, no name, a
// key frame every 18 frames, 153600 bytes per second, flags 6, compressed,
// with the dialog.
void SetDefaultAVIOptions(AVIOptions& options);

// The warning of a movie that cannot take its frames.
constexpr char kPixelFormatNotSupported[] = "Pixel Format not supported. Try another codec.";

class TAVICompressor {
public:
    // The compression dialog: shows the options, updates them with the
    // user's codec and settings; false when cancelled.
    using CompressionDialog = std::function<bool(AVIOptions&)>;

    TAVICompressor();
    ~TAVICompressor(); // closes
    TAVICompressor(const TAVICompressor&) = delete;
    TAVICompressor& operator=(const TAVICompressor&) = delete;

    // Live objects in the process.
    static int ObjectCount();

    void setCompressionDialog(CompressionDialog dialog) { dialog_ = std::move(dialog); }
    // Tests: RIFF parts are closed after this many bytes instead of 1 GB.
    void setRiffLimit(int64_t bytes) { riffLimit_ = bytes; }

    // Opens a movie at `path`. 0 on success, -1 when the dialog was
    // cancelled, another AviResult on an error; on anything but 0 the
    // object is closed again. `options` gets the dialog's choices.
    int Open(const QString& path, AVIOptions& options);
    // Writes one frame at the frame counter (a frame of another size is
    // scaled to the movie's). The counter advances whatever the result.
    int AddFrame(const QImage& bitmap);
    // Completes the movie and moves it to its name. 0, or AviWriteError when
    // the file could not be completed (nothing is left under the name then).
    // Nothing happens on a closed object.
    int Close();

    bool isOpen() const { return writer_ != nullptr; }
    // True once a write to the file failed (a full disk): the movie is lost.
    bool writeFailed() const { return writer_ && writer_->failed(); }
    int32_t FrameCounter() const { return frameCounter_; }
    const QString& path() const { return path_; }
    // The codec of the open movie (null: full frames).
    const AviCodecInfo* codec() const { return codec_; }

private:
    bool writePackets();

    CompressionDialog dialog_;
    int64_t riffLimit_ = RiffAviWriter::kDefaultRiffLimit;
    std::unique_ptr<QSaveFile> file_;
    std::unique_ptr<RiffAviWriter> writer_;
    std::unique_ptr<AviEncoder> encoder_;
    const AviCodecInfo* codec_ = nullptr;
    QString path_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t frameCounter_ = 0;
    int64_t samplesWritten_ = 0;
    int64_t bytesWritten_ = 0;
    std::vector<char> rows_;
    std::vector<AviPacket> packets_;
};

// The render run's entry point for one frame bitmap. False when there is no
// compressor; when the movie is not open (its open failed or was cancelled)
// or the frame cannot be written, after the warning "Pixel Format not
// supported. Try another codec." through `shell`. A frame the codec refuses
// while the file is fine is not reported.
bool AddFrameFromBitmap(TAVICompressor* compressor, const QImage& frameBitmap, ExportShell& shell);

} // namespace stillora
