// TJpegImage over libjpeg's IJG interface. Everything that touches libjpeg lives in this file.
#include "jpeg_image.h"

#include "safe_files.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace {

bool g_lowColorDisplay = false;

// Pictures whose decoding would take more memory than this (the bitmap plus libjpeg's whole-picture buffers)
// are refused before libjpeg allocates anything for them, so a forged header cannot make the program try to
// allocate gigabytes.
constexpr int64_t kMaxDecodingBytes = int64_t(1) << 30;
// Progressive streams of more scans than this are refused: every scan walks the whole picture, so a small
// file of thousands of empty scans over a large picture would keep the decoder busy for minutes. Encoders
// write about ten.
constexpr int kMaxScans = 500;
// The biggest file LoadFromFile reads into memory.
constexpr qint64 kMaxFileBytes = qint64(512) << 20;

// libjpeg reports fatal errors through error_exit, which must not return. We jump back to the setjmp of the
// one Guarded() call that is active, copy the library's message, and throw from ordinary C++ code there.
// Between setjmp and longjmp only libjpeg's C frames and trivially destructible lambdas are on the stack.
struct ErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg sees only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnFatal(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings about damaged data (a truncated file above all) make libjpeg fill in grey and carry on; for us the
// picture is not readable, so they are fatal. Harmless notes about unusual but valid files are ignored, and
// nothing is ever printed.
bool IsHarmlessWarning(int code) {
    return code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC;
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && !IsHarmlessWarning(info->err->msg_code)) OnFatal(info);
}

void OnOutput(j_common_ptr) {}

// Called by libjpeg while it reads a multi-scan stream; stops it beyond kMaxScans.
void OnProgress(j_common_ptr info) {
    const auto* dec = reinterpret_cast<j_decompress_ptr>(info);
    if (dec->input_scan_number <= kMaxScans) return;
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(err->message, sizeof err->message, "the stream has more than %d scans", kMaxScans);
    std::longjmp(err->jump, 1);
}

void InitErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFatal;
    err.pub.emit_message = OnMessage;
    err.pub.output_message = OnOutput;
    err.message[0] = '\0';
}

// Runs one stretch of libjpeg calls; false when libjpeg reported a fatal error (message in err.message).
template <class Call>
bool Guarded(ErrorManager& err, Call call) {
    if (setjmp(err.jump) != 0) return false;
    call();
    return true;
}

[[noreturn]] void ThrowJpeg(const std::string& what, const char* message) {
    throw EJpegError(what + ": " + message);
}

std::string Describe(const QString& source) {
    return source.isEmpty() ? std::string("JPEG data") : "JPEG file \"" + source.toStdString() + "\"";
}

// A decompressor that is destroyed on every path.
class Decompressor {
  public:
    explicit Decompressor(std::string what) : m_what(std::move(what)) {
        std::memset(&info, 0, sizeof info);
        InitErrors(m_err);
        info.err = &m_err.pub;
        Run([this] { jpeg_create_decompress(&info); });
        m_created = true;
    }
    ~Decompressor() {
        if (m_created) jpeg_destroy_decompress(&info);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    template <class Call>
    void Run(Call call) {
        if (!Guarded(m_err, call)) {
            if (!m_created) jpeg_destroy_decompress(&info);  // frees what a failed create had allocated
            ThrowJpeg(m_what, m_err.message);
        }
    }
    [[noreturn]] void Fail(const std::string& message) { ThrowJpeg(m_what, message.c_str()); }

    jpeg_decompress_struct info;

  private:
    std::string m_what;
    ErrorManager m_err;
    bool m_created = false;
};

// Reads the header of `data` into `dec` (source set up, jpeg_read_header done).
void ReadHeader(Decompressor& dec, const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    dec.Run([&] {
        jpeg_mem_src(&dec.info, bytes, size);
        jpeg_read_header(&dec.info, TRUE);
    });
}

// Rows that libjpeg delivers in a form other than blue-green-red are turned into it here.
enum class RowForm { Bgr, Palette, Cmyk, InvertedCmyk };

void ConvertRow(RowForm form, const jpeg_decompress_struct& info, const uint8_t* in, uint8_t* out,
                int width) {
    switch (form) {
        case RowForm::Bgr:
            break;
        case RowForm::Palette: {
            const bool grey = info.out_color_components == 1;
            JSAMPARRAY map = info.colormap;
            for (int x = 0; x < width; ++x, out += 3) {
                const int i = in[x];
                if (grey) {
                    out[0] = out[1] = out[2] = map[0][i];
                } else {  // the quantiser works in red, green, blue order
                    out[0] = map[2][i], out[1] = map[1][i], out[2] = map[0][i];
                }
            }
            break;
        }
        case RowForm::Cmyk:
        case RowForm::InvertedCmyk:
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                int c = in[0], m = in[1], y = in[2], k = in[3];
                if (form == RowForm::Cmyk) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
                out[0] = static_cast<uint8_t>((y * k + 127) / 255);
                out[1] = static_cast<uint8_t>((m * k + 127) / 255);
                out[2] = static_cast<uint8_t>((c * k + 127) / 255);
            }
            break;
    }
}

// The memory decoding the picture of `info` (header read) takes: the 24-bit bitmap, the coefficients of the
// whole picture when the stream has more than one scan, and the whole picture once more when it is
// quantised in two passes. libjpeg's small working buffers are left out.
int64_t DecodingBytes(const jpeg_decompress_struct& info, bool quantize) {
    const int64_t width = info.image_width, height = info.image_height;
    int64_t bytes = ((width * 3 + 3) & ~int64_t(3)) * height;
    if (info.progressive_mode || info.comps_in_scan < info.num_components) {
        for (int c = 0; c < info.num_components; ++c) {
            const jpeg_component_info& comp = info.comp_info[c];
            const auto roundUp = [](int64_t n, int64_t m) { return (n + m - 1) / m * m; };
            bytes += roundUp(comp.width_in_blocks, comp.h_samp_factor) *
                     roundUp(comp.height_in_blocks, comp.v_samp_factor) * DCTSIZE2 * int64_t(sizeof(JCOEF));
        }
    }
    if (quantize && info.out_color_space == JCS_RGB) bytes += width * height * 3;
    return bytes;
}

// Decodes into `bitmap`, or, when `rgb32` is given, into 32-bit pixels for Qt's image routines (0xffRRGGBB);
// a picture that needs converting on the way (CMYK, quantised) always goes into `bitmap`.
void Decode(const QByteArray& data, bool quantize, int scaleDenominator, const std::string& what,
            TBitmap24& bitmap, QImage* rgb32) {
    Decompressor dec(what);
    ReadHeader(dec, data);
    jpeg_decompress_struct& info = dec.info;

    RowForm form = RowForm::Bgr;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (cmyk) {
        info.out_color_space = JCS_CMYK;  // libjpeg has no CMYK to RGB conversion
        form = info.saw_Adobe_marker ? RowForm::InvertedCmyk : RowForm::Cmyk;
    } else if (quantize) {
        info.out_color_space = info.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
        form = RowForm::Palette;
    } else {
        info.out_color_space = rgb32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    }
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(scaleDenominator);
    info.dct_method = JDCT_ISLOW;
    info.do_block_smoothing = TRUE;
    info.do_fancy_upsampling = TRUE;
    info.buffered_image = FALSE;

    const int64_t width = info.image_width, height = info.image_height;
    if (DecodingBytes(info, form == RowForm::Palette) > kMaxDecodingBytes)
        dec.Fail("picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large to decode");
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    info.progress = &progress;
    dec.Run([&] { jpeg_start_decompress(&info); });

    // Every row is written by the decoder (or the decode fails and the picture is dropped).
    const int outWidth = static_cast<int>(info.output_width),
              outHeight = static_cast<int>(info.output_height);
    uint8_t* base = nullptr;
    std::ptrdiff_t stride = 0;
    if (info.out_color_space == JCS_EXT_BGRX) {
        *rgb32 = QImage(outWidth, outHeight, QImage::Format_RGB32);
        if (rgb32->isNull()) throw std::bad_alloc();
        base = rgb32->bits();
        stride = rgb32->bytesPerLine();
    } else {
        bitmap = TBitmap24::ForOverwrite(outWidth, outHeight);
        if (bitmap.IsEmpty()) return;
        base = bitmap.ScanLine(0);
        stride = bitmap.BytesPerLine();
    }
    constexpr int kBatch = 16;
    const size_t scratchStride = static_cast<size_t>(outWidth) * info.output_components;
    std::vector<uint8_t> scratch(form == RowForm::Bgr ? 0 : scratchStride * kBatch);
    uint8_t* const scratchBase = scratch.data();

    dec.Run([&] {
        while (info.output_scanline < info.output_height) {
            const int y0 = static_cast<int>(info.output_scanline);
            const int count = std::min<int>(kBatch, static_cast<int>(info.output_height) - y0);
            JSAMPROW rows[kBatch];
            for (int i = 0; i < count; ++i)
                rows[i] = form == RowForm::Bgr ? base + (y0 + i) * stride : scratchBase + i * scratchStride;
            const int got =
                static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)));
            if (form != RowForm::Bgr)
                for (int i = 0; i < got; ++i)
                    ConvertRow(form, info, rows[i], base + (y0 + i) * stride, outWidth);
        }
        jpeg_finish_decompress(&info);
    });
}

// Compressed output appended to a QByteArray in 64 KiB steps.
struct Destination {
    jpeg_destination_mgr pub;  // first member: libjpeg sees only this part
    QByteArray* out;
    unsigned char buffer[65536];

    bool Append(size_t count) noexcept {
        try {
            out->append(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(count));
            return true;
        } catch (...) {
            return false;
        }
    }
};

void InitDestination(j_compress_ptr info) {
    auto* dest = reinterpret_cast<Destination*>(info->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
}

boolean EmptyDestination(j_compress_ptr info) {
    auto* dest = reinterpret_cast<Destination*>(info->dest);
    if (!dest->Append(sizeof dest->buffer)) ERREXIT(info, JERR_OUT_OF_MEMORY);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* dest = reinterpret_cast<Destination*>(info->dest);
    if (!dest->Append(sizeof dest->buffer - dest->pub.free_in_buffer)) ERREXIT(info, JERR_OUT_OF_MEMORY);
}

struct EncodeSettings {
    int quality;
    bool progressive;
    bool grayscale;
};

QByteArray Encode(const TBitmap24& bitmap, const EncodeSettings& settings) {
    QByteArray out;
    if (bitmap.IsEmpty()) return out;

    jpeg_compress_struct info;
    std::memset(&info, 0, sizeof info);
    ErrorManager err;
    InitErrors(err);
    info.err = &err.pub;
    auto dest = std::make_unique<Destination>();
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyDestination;
    dest->pub.term_destination = TermDestination;
    dest->out = &out;

    const uint8_t* const base = bitmap.ScanLine(0);
    const std::ptrdiff_t stride = bitmap.BytesPerLine();
    const int width = bitmap.Width(), height = bitmap.Height();
    const bool ok = Guarded(err, [&] {
        jpeg_create_compress(&info);
        info.dest = &dest->pub;
        info.image_width = static_cast<JDIMENSION>(width);
        info.image_height = static_cast<JDIMENSION>(height);
        info.input_components = 3;
        info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, settings.quality, TRUE);
        if (settings.grayscale) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
        if (settings.progressive) jpeg_simple_progression(&info);
        info.dct_method = JDCT_ISLOW;
        jpeg_start_compress(&info, TRUE);
        constexpr int kBatch = 16;
        JSAMPROW rows[kBatch];
        while (info.next_scanline < info.image_height) {
            const int y0 = static_cast<int>(info.next_scanline);
            const int count = std::min(kBatch, height - y0);
            for (int i = 0; i < count; ++i) rows[i] = const_cast<uint8_t*>(base + (y0 + i) * stride);
            jpeg_write_scanlines(&info, rows, static_cast<JDIMENSION>(count));
        }
        jpeg_finish_compress(&info);
    });
    jpeg_destroy_compress(&info);
    if (!ok) ThrowJpeg("JPEG encoder", err.message);
    return out;
}

}  // namespace

TJpegImage::TJpegImage() : Quantize236(g_lowColorDisplay) {}

void TJpegImage::SetLowColorDisplay(bool lowColor) {
    g_lowColorDisplay = lowColor;
}

bool TJpegImage::LowColorDisplay() {
    return g_lowColorDisplay;
}

void TJpegImage::Assign(const TBitmap24& bitmap) {
    m_bitmap = bitmap;
    m_data.clear();
    m_source.clear();
    m_hasData = false;
    m_width = bitmap.Width();
    m_height = bitmap.Height();
}

void TJpegImage::LoadFromFile(const QString& fileName) {
    Load(ReadRegularFile(fileName, kMaxFileBytes), fileName);
}

void TJpegImage::LoadFromData(const QByteArray& data) {
    Load(data, QString());
}

void TJpegImage::Load(const QByteArray& data, const QString& source) {
    int width = 0, height = 0;
    bool progressive = false;
    if (!data.isEmpty()) {
        Decompressor dec(Describe(source));
        ReadHeader(dec, data);
        width = static_cast<int>(dec.info.image_width);
        height = static_cast<int>(dec.info.image_height);
        progressive = dec.info.progressive_mode != FALSE;
    }
    m_data = data;
    m_source = source;
    m_hasData = true;
    m_bitmap = TBitmap24();
    m_width = width;
    m_height = height;
    ProgressiveEncoding = progressive;
}

int TJpegImage::Width() const {
    return m_width;
}

int TJpegImage::Height() const {
    return m_height;
}

TBitmap24 TJpegImage::ToBitmap() const {
    if (!m_hasData) return m_bitmap;
    if (m_data.isEmpty()) return TBitmap24();
    TBitmap24 bitmap;
    Decode(m_data, Quantize236, static_cast<int>(Scale), Describe(m_source), bitmap, nullptr);
    return bitmap;
}

QImage TJpegImage::ToRgb32Image() const {
    if (!m_hasData) return m_bitmap.ToQImage().convertToFormat(QImage::Format_RGB32);
    if (m_data.isEmpty()) return QImage();
    TBitmap24 bitmap;
    QImage image;
    Decode(m_data, Quantize236, static_cast<int>(Scale), Describe(m_source), bitmap, &image);
    if (image.isNull() && !bitmap.IsEmpty()) image = bitmap.ToQImage().convertToFormat(QImage::Format_RGB32);
    return image;
}

QByteArray TJpegImage::SaveToData() const {
    if (m_hasData) return m_data;
    return Encode(m_bitmap, {CompressionQuality, ProgressiveEncoding, Grayscale});
}

void TJpegImage::SaveToFile(const QString& fileName) const {
    // Compressed first, then written to a fresh file renamed into place: what is planted at the name (a
    // link, a FIFO) is replaced, never written through, and a failed write leaves no partial picture.
    WriteFileReplacing(fileName, SaveToData());
}
