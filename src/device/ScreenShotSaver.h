#pragma once

// Copies of the screen as PNG pictures named after the instrument's clock.

#include <QDateTime>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>

class CScreenShotSaver {
public:
    enum class Format { Png, Jpeg, Gif };

    // The 640 x 480 screen into "<folder>SCREEN yyyy.MM.dd  hh-mm-ss.png"; reports nothing.
    void SaveScreenshot(const QString& folder);
    // The main frame's picture (rows top-down), clamped to the screen; null when empty.
    QImage CaptureScreen(const QRect& rect) const;
    // Writes the picture with the writer for the format's MIME type; false when that
    // writer is missing or the file cannot be written.
    bool SaveImage(const QImage& image, const QString& fileName, Format format, int width, int height,
                   int paletteCount = 0, const std::uint32_t* palette = nullptr) const;

    static QString FileNameFor(const QString& folder, const QDateTime& time);
    static const char* MimeTypeOf(Format format);
};
