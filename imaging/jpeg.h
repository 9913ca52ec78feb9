#pragma once
// The JPEG image object: holds a bitmap to be compressed and/or the JPEG byte
// stream made from it, compresses on first need, and writes the bytes to a
// stream or a named file.
//
// Typical use (a screenshot):
//     TJPEGImage jpeg;
//     jpeg.AssignFrom(bitmap);     // shares the pixels, compresses nothing yet
//     jpeg.JpegQuality = 50;       // settings count as they stand at the save
//     jpeg.SaveJpegFile(fileName); // compresses, then writes the file
//
// The compressed stream lives in a TJPEGData that image objects assigned from
// one another share; the last holder frees it. Once made, the stream is
// reused by every later save until a new bitmap is assigned.

#include "framework/Bitmap.h"
#include "framework/Exceptions.h"
#include "framework/Graphic.h"

#include <QBuffer>
#include <QExplicitlySharedDataPointer>
#include <QIODevice>
#include <QSharedData>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace imaging {

class EncodeContext;

// Every error the JPEG library reports. Code() is the library's message code.
class EJPEG : public framework::EInvalidGraphic {
public:
    explicit EJPEG(int MessageCode);
    int Code() const noexcept { return code_; }

private:
    int code_;
};

enum TJpegDecodeSpeed : std::uint8_t { dsAccurate = 0, dsFast = 1 };
enum TJpegDecodeDepth : std::uint8_t { dd24Bit = 0, dd8Bit = 1 };
enum TJpegDecodeScale : std::uint8_t { jsFullSize = 0, jsHalf = 1, jsQuarter = 2, jsEighth = 3 };

// The settings a new image object starts with. Only JpegQuality, GrayEncode
// and ProgressiveSave affect compression; the others concern reading.
struct TJpegSettings {
    std::uint8_t JpegQuality = 90; // 1..100; 0 counts as 1, above 100 as 100
    bool GrayEncode = false;
    TJpegDecodeSpeed DecodeSpeed = dsAccurate;
    TJpegDecodeDepth DecodeDepth = dd24Bit;
    bool ProgressiveShow = false;
    bool ProgressiveSave = false;
    TJpegDecodeScale DecodeScale = jsFullSize;
    bool DecodeSmooth = true;
};

extern TJpegSettings NewImageDefaults;

// The shared part of one or more image objects.
class TJPEGData : public QSharedData {
public:
    TJPEGData() = default;
    TJPEGData(const TJPEGData&) = delete;
    TJPEGData& operator=(const TJPEGData&) = delete;

    // The complete JPEG stream; none while nothing has been compressed.
    std::unique_ptr<QBuffer> Bytes;
    int Height = 0; // recorded from the bitmap when compression starts
    int Width = 0;
    std::uint8_t Gray = 0; // 1 when compressed with GrayEncode
};

class TJPEGImage : public framework::TGraphic {
public:
    // A millisecond tick count; wraps around like any 32-bit tick counter.
    using TTickSource = std::function<std::uint32_t()>;

    TJPEGImage();
    ~TJPEGImage() override;

    QString ClassName() const override { return QStringLiteral("TJPEGImage"); }

    // A TBitmap: drops any compressed stream and keeps a shared reference to
    // the bitmap's pixels; the caller may free its bitmap at once.
    // A TJPEGImage: shares its compressed data (and its bitmap, when it holds
    // one); settings are not copied. Anything else raises EConvertError.
    void AssignFrom(const framework::TGraphic& Source) override;

    int Width() const override;
    int Height() const override;
    // Both raise EInvalidGraphicOperation: a JPEG image cannot be resized.
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override;

    // Creates or empties the file, then writes the compressed stream to it.
    // A file that cannot be created raises EFCreateError before anything is
    // compressed; a write the file does not take in full raises EWriteError.
    void SaveJpegFile(const QString& FileName);
    // Compresses when needed, then writes the whole stream in one write.
    void SaveJpegStream(QIODevice& Stream);
    void EnsureJpeg();
    void EncodeBitmap();
    void ResetJpegData();
    void ReplaceBitmap();

    // For inspection: the shared data and the held bitmap (or none).
    const TJPEGData& JpegData() const { return *data_; }
    const framework::TBitmap* HeldBitmap() const { return bitmap_.get(); }
    int JpegDataHolders() const { return data_->ref.loadRelaxed(); }

    // The clock that paces the running progress reports; an empty source
    // restores the system's.
    void SetTickSource(TTickSource Source) { tickSource_ = std::move(Source); }
    std::uint32_t TickCount() const;

    // Settings, plain fields, in their storage order.
    bool DecodeSmooth;
    bool GrayEncode;
    TJpegDecodeDepth DecodeDepth;
    std::uint8_t JpegQuality;
    bool ProgressiveShow;
    bool ProgressiveSave;
    TJpegDecodeSpeed DecodeSpeed;
    TJpegDecodeScale DecodeScale;

private:
    void EncodeInto(EncodeContext& Context);

    QExplicitlySharedDataPointer<TJPEGData> data_;
    std::unique_ptr<framework::TBitmap> bitmap_;
    TTickSource tickSource_;
};

// Start-up: takes the DecodeDepth default from the primary screen (when a
// QGuiApplication exists) and registers TJPEGImage for "jpeg" and "jpg" in the
// picture-format registry. Shut-down removes it again.
void RegisterJpegFormats();
void UnregisterJpegFormats();
TJpegDecodeDepth DecodeDepthForScreenDepth(int BitsPerPixel);

// Registers on construction and unregisters on destruction; the program
// keeps one for its whole run, after its QApplication is made.
class TJpegFormatsRegistration {
public:
    TJpegFormatsRegistration() { RegisterJpegFormats(); }
    ~TJpegFormatsRegistration() { UnregisterJpegFormats(); }
    TJpegFormatsRegistration(const TJpegFormatsRegistration&) = delete;
    TJpegFormatsRegistration& operator=(const TJpegFormatsRegistration&) = delete;
};

} // namespace imaging
