// Writes the seed corpora of the fuzzers: small valid list files and JPEGs, and the edge cases the tests
// know (line breaks of every kind, NUL bytes, Windows-1252 and UTF-16 text, long lines; truncated and
// odd-sized JPEGs).
//   fuzz_make_seeds FOLDER   ->   FOLDER/list/*, FOLDER/jpeg/*.jpg, FOLDER/jpeg-source.ppm (for cjpeg)
#include "bitmap24.h"
#include "jpeg_image.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <exception>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Smooth in one direction, noisy in the other, so the coder meets both kinds of block.
TBitmap24 Sample(int width, int height) {
    TBitmap24 bitmap(width, height);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            p[0] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
            p[1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
            p[2] = static_cast<uint8_t>(seed >> 24);
        }
    }
    return bitmap;
}

QByteArray Jpeg(const TBitmap24& bitmap, int quality, bool progressive, bool grey) {
    TJpegImage jpeg;
    jpeg.CompressionQuality = quality;
    jpeg.ProgressiveEncoding = progressive;
    jpeg.Grayscale = grey;
    jpeg.Assign(bitmap);
    return jpeg.SaveToData();
}

QByteArray Ppm(const TBitmap24& bitmap) {
    QByteArray out = QStringLiteral("P6\n%1 %2\n255\n").arg(bitmap.Width()).arg(bitmap.Height()).toLatin1();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3)
            out.append(char(p[2])).append(char(p[1])).append(char(p[0]));
    }
    return out;
}

void WriteListSeeds(const QString& dir) {
    const QByteArray longLine = "http://lang.example/" + QByteArray(5000, 'x') + ";lang";
    // 4095 ASCII characters and then a character outside the basic plane: the limit falls inside the pair.
    const QByteArray splitPair = QByteArray(4095, 'a') + "\xF0\x9F\x98\x80" + "b;name";
    const struct {
        const char* name;
        QByteArray bytes;
    } seeds[] = {
        {"crlf", "http://www.example.com/;example\r\nhttp://news.example/;news.home\r\n"},
        {"lf", "http://a.example/;a\nhttp://b.example/;b\n"},
        {"cr", "http://a.example/;a\rhttp://b.example/;b\r"},
        {"mixed-breaks", "a;1\r\nb;2\nc;3\rd;4\n\r\ne;5"},
        {"no-final-break", "http://a.example/;a\r\nhttp://b.example/;b"},
        {"empty", ""},
        {"only-breaks", "\r\n\r\n\n\r\r\n"},
        {"nul-inside",
         QByteArray("http://a.example/;a\r\nhttp://b.", 31) + QByteArray(1, '\0') + "example/;b\r\n"},
        {"windows-1252",
         "http://m\xFC"
         "nchen.example/;M\xFC"
         "nchen \x80 \x81\x8D\x8F\x90\x9D\r\n"},
        {"utf8-bom", "\xEF\xBB\xBFhttp://k\xC3\xB6ln.example/;K\xC3\xB6ln\r\n"},
        {"double-bom",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "a;b\r\n"},
        {"cut-utf8", "http://a.example/;\xC3"},
        {"no-semicolon", "http://only-url.example/\r\n"},
        {"many-fields", "a;b;c;;d;\r\n;;;\r\n"},
        {"long-line", longLine + "\r\n"},
        {"split-pair", splitPair + "\r\n"},
        // UTF-16 with its mark, "a;1" CR LF, then: a lone high surrogate and a last odd byte (little endian);
        // a surrogate pair (big endian).
        {"utf16le", QByteArray("\xFF\xFE"
                               "a\0;\0"
                               "1\0\r\0\n\0"
                               "\x00\xD8"
                               "b",
                               15)},
        {"utf16be", QByteArray("\xFE\xFF"
                               "\0a\0;\0"
                               "1\0\r\0\n"
                               "\xD8\x3D\xDE\x00",
                               16)},
    };
    for (const auto& seed : seeds) Write(dir + u'/' + QLatin1String(seed.name), seed.bytes);
}

void WriteJpegSeeds(const QString& dir) {
    const QByteArray baseline = Jpeg(Sample(40, 24), 90, false, false);
    const QByteArray progressive = Jpeg(Sample(33, 17), 90, true, false);
    const struct {
        const char* name;
        QByteArray bytes;
    } seeds[] = {
        {"baseline-40x24", baseline},
        {"progressive-33x17", progressive},
        {"grey-16x16", Jpeg(Sample(16, 16), 90, false, true)},
        {"grey-progressive-9x7", Jpeg(Sample(9, 7), 75, true, true)},
        {"one-pixel", Jpeg(Sample(1, 1), 90, false, false)},
        {"one-row-64x1", Jpeg(Sample(64, 1), 75, false, false)},
        {"one-column-1x64", Jpeg(Sample(1, 64), 75, false, false)},
        {"wide-100x12", Jpeg(Sample(100, 12), 50, false, false)},
        {"quality-1", Jpeg(Sample(24, 24), 1, false, false)},
        {"quality-100", Jpeg(Sample(12, 12), 100, false, false)},
        {"truncated-half", baseline.left(baseline.size() / 2)},
        {"no-end-marker", baseline.left(baseline.size() - 2)},
        {"progressive-truncated", progressive.left(progressive.size() * 2 / 3)},
        {"soi-only", QByteArray("\xFF\xD8", 2)},
    };
    for (const auto& seed : seeds) Write(dir + u'/' + QLatin1String(seed.name) + ".jpg", seed.bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const QString root = QString::fromLocal8Bit(argv[1]);
        for (const char* sub : {"list", "jpeg"})
            if (!QDir().mkpath(root + u'/' + QLatin1String(sub)))
                throw std::runtime_error("cannot make the folder " +
                                         (root + u'/' + QLatin1String(sub)).toStdString());
        WriteListSeeds(root + QStringLiteral("/list"));
        WriteJpegSeeds(root + QStringLiteral("/jpeg"));
        Write(root + QStringLiteral("/jpeg-source.ppm"), Ppm(Sample(48, 32)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
}
