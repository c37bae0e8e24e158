#include "device/ScreenShotSaver.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "ui/MainFrm.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

} // namespace

QString CScreenShotSaver::FileNameFor(const QString& folder, const QDateTime& time) {
    const QDate date = time.date();
    const QTime clock = time.time();
    return folder + QString::asprintf("SCREEN %04d.%02d.%02d  %02d-%02d-%02d.png", date.year(), date.month(),
                                      date.day(), clock.hour(), clock.minute(), clock.second());
}

const char* CScreenShotSaver::MimeTypeOf(Format format) {
    switch (format) {
    case Format::Png:
        return "image/png";
    case Format::Jpeg:
        return "image/jpeg";
    case Format::Gif:
        return "image/gif";
    }
    return "";
}

void CScreenShotSaver::SaveScreenshot(const QString& folder) {
    const QImage screen = CaptureScreen(QRect(0, 0, kScreenWidth, kScreenHeight));
    if (screen.isNull())
        return;
    SaveImage(screen, FileNameFor(folder, platform::LocalNow()), Format::Png, kScreenWidth, kScreenHeight);
}

QImage CScreenShotSaver::CaptureScreen(const QRect& rect) const {
    CMainFrame* frame = MainFrame();
    if (rect.isEmpty() || frame == nullptr)
        return QImage();
    const QRect screen = rect.intersected(QRect(0, 0, kScreenWidth, kScreenHeight));
    // The copy starts at the screen's top-left corner; only its size comes from the rectangle.
    QImage image(screen.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    frame->render(&painter, QPoint(0, 0), QRegion(QRect(QPoint(0, 0), screen.size())));
    return image;
}

bool CScreenShotSaver::SaveImage(const QImage& image, const QString& fileName, Format format, int width, int height,
                                 int paletteCount, const std::uint32_t* palette) const {
    const QByteArray mime = MimeTypeOf(format);
    QByteArray writerFormat;
    for (const QByteArray& supported : QImageWriter::supportedMimeTypes()) {
        if (supported == mime) {
            writerFormat = QImageWriter::imageFormatsForMimeType(mime).value(0);
            break;
        }
    }
    if (writerFormat.isEmpty())
        return false; // no writer for the format

    // The screen's pixels are opaque whatever their fourth byte holds.
    QImage picture = image.copy(0, 0, width, height).convertToFormat(QImage::Format_RGB32);
    if (paletteCount > 0 && palette != nullptr) {
        QList<QRgb> colours;
        for (int i = 0; i < paletteCount; ++i) {
            const std::uint32_t word = palette[i];
            colours.append(qRgb(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF));
        }
        picture = picture.convertToFormat(QImage::Format_Indexed8, colours);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, writerFormat);
    if (!writer.write(picture))
        return false;
    if (!platform::CreateFolderPath(platform::FolderPart(fileName)))
        return false;
    return platform::WriteFileAtomically(fileName, bytes);
}
