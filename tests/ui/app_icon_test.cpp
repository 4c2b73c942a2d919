// The program's icon files (tools/app_icon.h): the Windows executables' icon (src/app/kelvora.ico,
// written by tools/kelvora-make-icon) holds every size Windows asks for, each still the program's
// emblem as the artwork draws it today; the Linux desktop's PNG icons are the emblem itself.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cstdlib>
#include <map>

#include "tools/app_icon.h"
#include "ui/artwork.h"

namespace kelvora::ui {
namespace {

// Mean difference per channel (0 to 255) of two images of one size, premultiplied, so that the
// colour of fully transparent pixels does not count.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return sum / (4.0 * x.width() * x.height());
}

// Every image of an .ico file by its size.
std::map<int, QImage> imagesBySize(QIODevice& device) {
    std::map<int, QImage> images;
    QImageReader reader(&device, "ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (!image.isNull())
            images.emplace(image.width(), image);
    }
    return images;
}

TEST(AppIconTest, CheckedInIconHoldsTheEmblemAtEverySize) {
    QFile file(QStringLiteral(KELVORA_APP_ICON));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << KELVORA_APP_ICON;
    const auto images = imagesBySize(file);
    std::vector<int> sizes;
    for (const auto& [size, image] : images) {
        sizes.push_back(size);
        EXPECT_EQ(image.height(), size);
        // The letter's font may differ between machines; a changed emblem differs far more.
        const double difference = meanDifference(image, applicationEmblem(size).toImage());
        EXPECT_LT(difference, 6.0) << size << " pixels: run kelvora-make-icon src/app/kelvora.ico again";
    }
    EXPECT_EQ(sizes, tools::kAppIconSizes);
}

// The writer's images come back as they went in: transparent corners stay transparent, colours
// keep their alpha, and 256 pixels (stored as PNG) reads as well as the DIB sizes.
TEST(AppIconTest, WrittenIconReadsBack) {
    std::vector<QImage> in;
    for (int size : {16, 37, 256}) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int y = size / 4; y < size * 3 / 4; ++y) {
            for (int x = 0; x < size; ++x)
                image.setPixel(x, y, qRgba(x % 256, 200, 30, x % 2 ? 255 : 128));
        }
        in.push_back(image);
    }
    QByteArray data = tools::iconFile(in);
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    const auto out = imagesBySize(buffer);
    ASSERT_EQ(out.size(), in.size());
    for (const QImage& image : in) {
        SCOPED_TRACE(image.width());
        ASSERT_EQ(out.count(image.width()), 1u);
        EXPECT_EQ(meanDifference(out.at(image.width()), image), 0.0);
    }
    EXPECT_THROW(tools::iconFile({QImage(16, 8, QImage::Format_ARGB32)}), std::invalid_argument);
}

// The Linux desktop's icons: a PNG of the emblem, pixel for pixel, at each size asked for.
TEST(AppIconTest, PngIconIsTheEmblemAtItsSize) {
    for (int size : {48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage image = QImage::fromData(tools::applicationIconPng(size), "PNG");
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(meanDifference(image, applicationEmblem(size).toImage()), 0.0);
    }
    EXPECT_THROW(tools::applicationIconPng(0), std::invalid_argument);
}

}  // namespace
}  // namespace kelvora::ui
