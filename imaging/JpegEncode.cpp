#include "imaging/EncodeContext.h"
#include "imaging/StreamDestination.h"
#include "imaging/jpeg.h"

#include <QRect>
#include <algorithm>
#include <vector>

namespace imaging {

using framework::TBitmap;

void TJPEGImage::EncodeBitmap() {
    EncodeContext context;
    try {
        context.AttachProgress(this);
        EncodeInto(context);
    } catch (const framework::EAbort&) {
        // A silent cancel from a progress handler: throw the partial stream away.
        ResetJpegData();
    } catch (...) {
        // A stream cut off by a failure is no picture; without it a later
        // save compresses again instead of writing a broken file.
        data_->Bytes.reset();
        throw;
    }
}

void TJPEGImage::EncodeInto(EncodeContext& Context) {
    j_compress_ptr info = Context.Compress();

    auto bytes = std::make_unique<QBuffer>();
    bytes->open(QIODevice::ReadWrite);
    QBuffer* target = bytes.get();
    data_->Bytes = std::move(bytes);
    target->seek(0);
    Context.Call([info, target] { AttachStreamDestination(info, target); });

    if (!bitmap_ || bitmap_->Width() == 0 || bitmap_->Height() == 0)
        return; // an empty stream, and no progress to report

    info->image_width = JDIMENSION(bitmap_->Width());
    data_->Width = bitmap_->Width();
    info->image_height = JDIMENSION(bitmap_->Height());
    data_->Height = bitmap_->Height();
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR; // the rows are blue-green-red

    TBitmap working;
    working.AssignFrom(*bitmap_);
    working.SetPixelFormat24();

    const int quality = JpegQuality;
    Context.Call([info, quality] {
        jpeg_set_defaults(info);
        jpeg_set_quality(info, quality, TRUE);
    });
    info->dct_method = JDCT_FLOAT;
    if (GrayEncode) {
        data_->Gray = 1;
        Context.Call([info] { jpeg_set_colorspace(info, JCS_GRAYSCALE); });
    }
    if (ProgressiveSave)
        Context.Call([info] { jpeg_simple_progression(info); });

    // Rows lie top-down in the bitmap, so all of them go to the library in
    // one call. A picture one row high has no second row to measure the
    // step by, and needs none.
    const int height = working.Height();
    const uchar* row = working.ConstScanLine(0);
    const qsizetype step = height > 1 ? working.ConstScanLine(1) - row : 0;
    const int batch = step > 0 && step % 4 == 0 ? height : 1;
    std::vector<JSAMPROW> rows(size_t(batch), nullptr);

    Progress(framework::psStarting, 0, false, QRect(), QString());
    try {
        Context.Call([info] { jpeg_start_compress(info, TRUE); });
        while (info->next_scanline < info->image_height) {
            const int offered = std::min(batch, int(info->image_height - info->next_scanline));
            for (int i = 0; i < offered; ++i)
                rows[size_t(i)] = const_cast<JSAMPROW>(row + step * i);
            JDIMENSION taken = 0;
            JSAMPARRAY offer = rows.data();
            Context.Call([info, offer, offered, &taken] {
                taken = jpeg_write_scanlines(info, offer, JDIMENSION(offered));
            });
            if (taken == 0)
                break; // cannot happen with a destination that never suspends
            row += step * qsizetype(taken);
        }
        Context.Call([info] { jpeg_finish_compress(info); });
    } catch (...) {
        Progress(framework::psEnding, 0, false, QRect(), QString());
        throw;
    }
    Progress(framework::psEnding, 100, false, QRect(), QString());
}

} // namespace imaging
