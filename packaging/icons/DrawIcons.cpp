// Draws the program's PNG icons, one design per band of sizes, on whole pixels:
// the receiver's front (body, display, volume knob) stays readable at 16 px,
// and the smaller the icon the fewer and larger its parts. No text at any size:
// the display shows a level meter where the SVG shows "-20dB".
//   ampdesk-draw-icons <folder>    writes <folder>/ampdesk-<size>.png
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include <cmath>
#include <cstdio>

namespace {

// The SVG's colours.
const QColor kBody(0x2b, 0x2f, 0x36);
const QColor kTopStrip(0x3a, 0x40, 0x4a);
const QColor kDisplay(0x0f, 0x2a, 0x1c);
const QColor kLit(0x5f, 0xe0, 0x8a);
const QColor kKnobRing(0x59, 0x62, 0x70);
const QColor kKnob(0x8a, 0x94, 0xa3);
const QColor kFoot(0x1c, 0x1f, 0x24);

const int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Coordinates are given on a 128-unit square and land on whole pixels.
class Canvas {
public:
    Canvas(QPainter& painter, int size) : m_painter(painter), m_scale(size / 128.0) {}

    QRectF Snap(double x, double y, double w, double h) const {
        const double left = std::round(x * m_scale);
        const double top = std::round(y * m_scale);
        const double right = std::max(left + 1, std::round((x + w) * m_scale));
        const double bottom = std::max(top + 1, std::round((y + h) * m_scale));
        return {left, top, right - left, bottom - top};
    }
    void Box(double x, double y, double w, double h, double radius, const QColor& colour) {
        const QRectF r = Snap(x, y, w, h);
        const double rr = std::min(radius * m_scale, std::min(r.width(), r.height()) / 2);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        m_painter.drawRoundedRect(r, rr, rr);
    }
    void Disc(double cx, double cy, double radius, const QColor& colour) {
        const QRectF r = Snap(cx - radius, cy - radius, 2 * radius, 2 * radius);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        m_painter.drawEllipse(r);
    }
    // The knob's pointer, straight up from the centre.
    void Pointer(double cx, double cy, double length, double width, const QColor& colour) {
        const QRectF knob = Snap(cx - length, cy - length, 2 * length, 2 * length);
        const double w = std::max(1.0, std::round(width * m_scale));
        const double x = std::round(knob.center().x() - w / 2);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        m_painter.drawRect(QRectF(x, knob.top(), w, std::round(knob.height() / 2)));
    }

private:
    QPainter& m_painter;
    double m_scale;
};

// The display's level meter: bars rising left to right, the last ones dark.
void Meter(Canvas& canvas, double x, double y, double w, double h, int bars, int lit) {
    const double gap = w / (bars * 3.0);
    const double bar = (w - gap * (bars + 1)) / bars;
    for (int i = 0; i < bars; ++i) {
        const double height = h * (0.35 + 0.65 * (i + 1) / bars) - 2 * gap;
        canvas.Box(x + gap + i * (bar + gap), y + h - gap - height, bar, height, 0,
                   i < lit ? kLit : kTopStrip);
    }
}

void Draw(QPainter& painter, int size) {
    Canvas canvas(painter, size);
    if (size <= 24) {
        // Three parts, each at least a few pixels: body, display, knob.
        canvas.Box(0, 24, 128, 80, 14, kBody);
        canvas.Box(12, 44, 60, 40, 6, kDisplay);
        Meter(canvas, 12, 44, 60, 40, 3, 2);
        canvas.Disc(98, 64, 22, kKnob);
        canvas.Pointer(98, 64, 22, 10, kBody);
        return;
    }
    const bool large = size >= 128;
    canvas.Box(4, 28, 120, 72, 8, kBody);
    canvas.Box(4, 28, 120, 11, 5, kTopStrip);
    canvas.Box(14, 48, 58, 26, 4, kDisplay);
    Meter(canvas, 14, 48, 58, 26, large ? 8 : 4, large ? 5 : 3);
    canvas.Disc(96, 63, 19, kKnobRing);
    canvas.Disc(96, 63, 14, kKnob);
    canvas.Pointer(96, 63, 14, large ? 4 : 5, kBody);
    canvas.Disc(22, 86, large ? 4 : 5, kLit);
    if (large) {
        canvas.Box(34, 83, 12, 6, 2, kKnob);
        canvas.Box(52, 83, 12, 6, 2, kKnob);
    }
    canvas.Box(14, 100, 14, 6, 2, kFoot);
    canvas.Box(100, 100, 14, 6, 2, kFoot);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ampdesk-draw-icons <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const int size : kSizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Draw(painter, size);
        painter.end();
        const QString path = folder.filePath(QStringLiteral("ampdesk-%1.png").arg(size));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "ampdesk-draw-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
