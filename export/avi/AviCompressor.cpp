#include "export/avi/AviCompressor.h"

#include "export/ExportShell.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cstring>

namespace stillora {

namespace {

std::atomic<int> g_objects{0};

void warn(ExportShell& shell) {
    const QString text = QString::fromLatin1(kPixelFormatNotSupported);
    // Without a person the warning is the run's error.
    if (shell.interactive())
        shell.ask(RenderPrompter::Warning, text, RenderPrompter::Ok);
    else
        shell.reportError(text);
}

// The frame as 32-bit rows of the movie's size.
QImage movieFrame(const QImage& bitmap, int width, int height) {
    QImage frame = bitmap;
    if (frame.width() != width || frame.height() != height)
        frame = frame.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (frame.format() != QImage::Format_RGB32 && frame.format() != QImage::Format_ARGB32)
        frame = frame.convertToFormat(QImage::Format_RGB32);
    return frame;
}

} // namespace

void SetDefaultAVIOptions(AVIOptions& o) {
    o.Width = 0;
    o.Height = 0;
    o.Handler = QStringLiteral("CVID");
    o.Quality = 5000;
    o.Rate = 18;
    o.Name.clear();
    o.KeyFrameEvery = 18;
    o.BytesPerSecond = 153600;
    o.Flags = kAviFlagKeyFrames | kAviFlagDataRate;
    o.Compress = true;
    o.ShowDialog = true;
}

TAVICompressor::TAVICompressor() {
    ++g_objects;
}

TAVICompressor::~TAVICompressor() {
    Close();
    --g_objects;
}

int TAVICompressor::ObjectCount() {
    return g_objects.load();
}

int TAVICompressor::Open(const QString& path, AVIOptions& options) {
    Close();
    path_ = path;

    file_ = std::make_unique<QSaveFile>(path);
    // Always beside the final name, never straight into it.
    file_->setDirectWriteFallback(false);
    if (!file_->open(QIODevice::WriteOnly)) {
        Close();
        return AviFileError;
    }

    if (options.Width <= 0 || options.Height <= 0 || options.Width > 32768 ||
        options.Height > 32768 || options.Rate == 0) {
        Close();
        return AviStreamError;
    }
    width_ = options.Width;
    height_ = options.Height;
    const uint32_t imageSize = uint32_t(width_) * 4u * uint32_t(height_);

    AviStreamFormat format;
    format.width = width_;
    format.height = height_;
    format.rate = options.Rate;
    format.quality = options.Quality;
    format.handler = FourCC(options.Handler);
    format.compression = 0;
    format.bitCount = 32;
    format.imageSize = imageSize;
    format.suggestedBuffer = imageSize;
    format.name = options.Name;

    codec_ = nullptr;
    if (options.Compress) {
        if (options.ShowDialog) {
            options.Flags |= kAviFlagValid;
            if (dialog_ && !dialog_(options)) {
                Close();
                return AviCancelled;
            }
        }
        codec_ = FindAviCodec(options.Handler);
        if (!codec_) {
            Close();
            return AviCodecError;
        }
        format.handler = FourCC(codec_->fourcc);
        format.quality = options.Quality;
        if (codec_->encoder != QLatin1String("uncompressed")) {
            AviEncoderOptions eo;
            eo.quality = options.Quality;
            eo.keyFrameEvery = (options.Flags & kAviFlagKeyFrames) ? options.KeyFrameEvery : 0;
            eo.bytesPerSecond = (options.Flags & kAviFlagDataRate) ? options.BytesPerSecond : 0;
            eo.rate = options.Rate;
            encoder_ = AviEncoder::Create(*codec_, width_, height_, eo, nullptr);
            if (!encoder_) {
                Close();
                return AviCodecError;
            }
            format.compression = FourCC(codec_->fourcc);
            format.bitCount = encoder_->bitCount();
            format.imageSize = uint32_t(width_) * uint32_t(height_) * format.bitCount / 8u;
            format.extradata = encoder_->extradata();
        } else {
            codec_ = nullptr; // full frames: the raw stream is written
        }
    }

    writer_ = std::make_unique<RiffAviWriter>(*file_, riffLimit_);
    if (!writer_->start(format)) {
        Close();
        return AviFormatError;
    }
    frameCounter_ = 0;
    samplesWritten_ = 0;
    bytesWritten_ = 0;
    return AviOk;
}

bool TAVICompressor::writePackets() {
    bool ok = true;
    for (const AviPacket& p : packets_) {
        ok = writer_->writeFrame(p.data.constData(), p.data.size(), p.key) && ok;
        if (ok) {
            ++samplesWritten_;
            bytesWritten_ += p.data.size();
        }
    }
    packets_.clear();
    return ok;
}

int TAVICompressor::AddFrame(const QImage& bitmap) {
    const int32_t position = frameCounter_++;
    Q_UNUSED(position);
    if (!writer_) return AviNotOpen;
    if (bitmap.isNull()) return AviWriteError;
    const QImage frame = movieFrame(bitmap, width_, height_);
    if (encoder_) {
        if (!encoder_->encode(frame, packets_)) {
            packets_.clear();
            return AviCodecError;
        }
        return writePackets() ? AviOk : AviWriteError;
    }
    // Full frames: a bottom-up device-independent bitmap, last row first.
    const size_t row = size_t(width_) * 4;
    rows_.resize(row * size_t(height_));
    for (int y = 0; y < height_; ++y)
        std::memcpy(rows_.data() + size_t(height_ - 1 - y) * row, frame.constScanLine(y), row);
    if (!writer_->writeFrame(rows_.data(), int64_t(rows_.size()), true)) return AviWriteError;
    samplesWritten_ = 1;
    bytesWritten_ = int64_t(rows_.size());
    return AviOk;
}

int TAVICompressor::Close() {
    int result = AviOk;
    if (encoder_ && writer_ && !writer_->failed()) {
        if (encoder_->flush(packets_)) writePackets();
        packets_.clear();
    }
    encoder_.reset();
    if (writer_) {
        if (!writer_->finish()) result = AviWriteError;
    }
    if (file_) {
        if (writer_ && result == AviOk) {
            if (!file_->commit()) result = AviWriteError;
        } else {
            file_->cancelWriting(); // the file beside goes with the object
        }
    }
    writer_.reset();
    file_.reset();
    codec_ = nullptr;
    return result;
}

bool AddFrameFromBitmap(TAVICompressor* compressor, const QImage& frameBitmap, ExportShell& shell) {
    if (!compressor) return false;
    if (!compressor->isOpen() || frameBitmap.isNull()) {
        compressor->AddFrame(frameBitmap); // the counter still advances
        warn(shell);
        return false;
    }
    const QImage copy = frameBitmap.convertToFormat(QImage::Format_RGB32);
    compressor->AddFrame(copy);
    if (compressor->writeFailed()) {
        warn(shell);
        return false;
    }
    return true;
}

} // namespace stillora
