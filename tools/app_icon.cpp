#include "tools/app_icon.h"

#include <QBuffer>
#include <QtEndian>
#include <stdexcept>

#include "ui/artwork.h"

namespace kelvora::tools {

namespace {

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

QByteArray pngData(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode a PNG");
    return data;
}

// A 32-bit bottom-up DIB of twice the image's height: the colour rows, then the 1-bit AND mask
// (set where the image is fully transparent), each mask row padded to 32 bits.
QByteArray dibData(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray out;
    put32(out, 40);  // BITMAPINFOHEADER
    put32(out, static_cast<quint32>(w));
    put32(out, static_cast<quint32>(2 * h));
    put16(out, 1);   // planes
    put16(out, 32);  // bits per pixel
    put32(out, 0);   // BI_RGB
    put32(out, static_cast<quint32>(w * h * 4 + maskStride * h));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = row[x];
            out.append(static_cast<char>(qBlue(p)));
            out.append(static_cast<char>(qGreen(p)));
            out.append(static_cast<char>(qRed(p)));
            out.append(static_cast<char>(qAlpha(p)));
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(mask);
    }
    return out;
}

}  // namespace

QByteArray iconFile(const std::vector<QImage>& images) {
    std::vector<QByteArray> blobs;
    for (const QImage& image : images) {
        if (image.width() != image.height() || image.width() < 1 || image.width() > 256)
            throw std::invalid_argument("icon images are square, 1 to 256 pixels");
        blobs.push_back(image.width() >= 256 ? pngData(image) : dibData(image));
    }
    QByteArray out;
    put16(out, 0);  // reserved
    put16(out, 1);  // icon
    put16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out.append(static_cast<char>(size >= 256 ? 0 : size));  // 0 stands for 256
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        out.append('\0');  // no palette
        out.append('\0');
        put16(out, 1);   // planes
        put16(out, 32);  // bits per pixel
        put32(out, static_cast<quint32>(blobs[i].size()));
        put32(out, offset);
        offset += static_cast<quint32>(blobs[i].size());
    }
    for (const QByteArray& blob : blobs)
        out.append(blob);
    return out;
}

QByteArray applicationIconFile() {
    std::vector<QImage> images;
    for (int size : kAppIconSizes)
        images.push_back(ui::applicationEmblem(size).toImage());
    return iconFile(images);
}

QByteArray applicationIconPng(int size) {
    if (size < 1 || size > 1024)
        throw std::invalid_argument("icon images are 1 to 1024 pixels");
    return pngData(ui::applicationEmblem(size).toImage());
}

}  // namespace kelvora::tools
