// tremolux-render-icon: draws an SVG image into a square PNG file of a given
// size, for the icon theme's fixed-size folders (16x16, 32x32, ...), which
// desktops without an SVG loader read. Runs at build time; not installed.
//
//   tremolux-render-icon IN.svg SIZE OUT.png
//
// SIZE is the edge in pixels, 1 to 1024. The image is scaled to fill the
// square (the icon's view box is square) on a transparent background. The
// file is written whole or not at all. Exit status: 0 written, 1 the SVG
// could not be read or the PNG not written, 2 bad usage.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

#include "gui/render/SaveWhole.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tremolux-render-icon IN.svg SIZE OUT.png\n");
    return 2;
  }
  bool ok = false;
  const int size = QString::fromLatin1(argv[2]).toInt(&ok);
  if (!ok || size < 1 || size > 1024) {
    std::fprintf(stderr, "tremolux-render-icon: SIZE must be a whole number from 1 to 1024\n");
    return 2;
  }

  // No application object: the icon has no text, so neither fonts nor a
  // display are needed, and the build machine may have neither.
  QSvgRenderer svg(QFile::decodeName(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "tremolux-render-icon: %s: not a readable SVG image\n", argv[1]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, size, size));
  }

  // Encoded in memory first, then written whole or not at all: Qt's image
  // writers can miss a write the disk cut short.
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") ||
      !SaveWhole(QFile::decodeName(argv[3]), png)) {
    std::fprintf(stderr, "tremolux-render-icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
