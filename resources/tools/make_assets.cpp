// Draws the program's pictures: the icon's PNG sizes from its SVG, the hand cursor, and the
// two guidance pictures. Run by hand when a drawing changes; the results are kept in
// resources/.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QtEndian>

namespace {

void renderIcons(const QString& folder) {
    QSvgRenderer svg(folder + "/icons/parlivo.svg");
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        image.save(folder + QString("/icons/parlivo-%1.png").arg(size));
    }
}

QImage drawHand() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // Index finger pointing up, its tip at (9, 1); three folded fingers and the thumb.
    hand.moveTo(7, 3);
    hand.quadTo(9, 0, 11, 3);
    hand.lineTo(11, 13);
    hand.quadTo(13, 11, 15, 13);
    hand.quadTo(17, 12, 19, 14);
    hand.quadTo(21, 13, 23, 15);
    hand.lineTo(23, 23);
    hand.quadTo(22, 28, 18, 30);
    hand.lineTo(10, 30);
    hand.quadTo(7, 27, 3, 20);
    hand.quadTo(2, 17, 5, 17);
    hand.lineTo(7, 19);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1.4));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.drawLine(QPointF(15, 13.5), QPointF(15, 19));
    p.drawLine(QPointF(19, 14.5), QPointF(19, 19));
    return image;
}

// A Windows cursor file: directory, one entry with the hot spot, a 32-bit DIB and its mask.
QByteArray cursorFile(const QImage& image, int hotX, int hotY) {
    const int w = image.width();
    const int h = image.height();
    QByteArray dib;
    QBuffer buffer(&dib);
    buffer.open(QIODevice::WriteOnly);
    const auto put32 = [&](quint32 v) {
        v = qToLittleEndian(v);
        buffer.write(reinterpret_cast<const char*>(&v), 4);
    };
    const auto put16 = [&](quint16 v) {
        v = qToLittleEndian(v);
        buffer.write(reinterpret_cast<const char*>(&v), 2);
    };
    put32(40);
    put32(quint32(w));
    put32(quint32(h * 2));
    put16(1);
    put16(32);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x)
            put32(image.pixel(x, y));
    const int maskStride = ((w + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        buffer.write(row);
    }
    QByteArray file;
    QBuffer out(&file);
    out.open(QIODevice::WriteOnly);
    const auto o16 = [&](quint16 v) {
        v = qToLittleEndian(v);
        out.write(reinterpret_cast<const char*>(&v), 2);
    };
    const auto o32 = [&](quint32 v) {
        v = qToLittleEndian(v);
        out.write(reinterpret_cast<const char*>(&v), 4);
    };
    o16(0);
    o16(2);
    o16(1);
    out.putChar(char(w));
    out.putChar(char(h));
    out.putChar(0);
    out.putChar(0);
    o16(quint16(hotX));
    o16(quint16(hotY));
    o32(quint32(dib.size()));
    o32(6 + 16);
    out.write(dib);
    return file;
}

void drawNoticePicture(const QString& path, bool second) {
    QImage image(720, 460, QImage::Format_RGB32);
    image.fill(QColor("#f1f3f5"));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont title("Liberation Sans", 17, QFont::Bold);
    QFont body("Liberation Sans", 12);
    QFont small("Liberation Sans", 10);
    // A mail window: a title bar and a white sheet.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#3b6ea5"));
    p.drawRect(0, 0, 720, 40);
    p.setPen(Qt::white);
    p.setFont(small);
    p.drawText(QRect(16, 0, 700, 40), Qt::AlignVCenter,
               second ? "Inbox - Account settings" : "Inbox - Security notice");
    p.setPen(QColor("#c9d1d9"));
    p.setBrush(Qt::white);
    p.drawRoundedRect(30, 60, 660, 370, 8, 8);
    p.setPen(QColor("#1d2a38"));
    if (!second) {
        p.setFont(title);
        p.drawText(QRect(60, 80, 600, 40), Qt::AlignLeft, "Sign-in attempt was blocked");
        p.setFont(body);
        p.drawText(QRect(60, 130, 600, 150), Qt::TextWordWrap,
                   "Someone just used your password to try to sign in to your account from "
                   "an app that your mail provider treats as less secure. The sign-in was "
                   "stopped to protect your account.\n\nIf this was you, you can let such "
                   "apps sign in, or create an app password for them.");
        p.setBrush(QColor("#2f7fc1"));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(60, 320, 230, 44, 6, 6);
        p.setPen(Qt::white);
        p.drawText(QRect(60, 320, 230, 44), Qt::AlignCenter, "Review your devices");
        p.setPen(QColor("#5b6673"));
        p.setFont(small);
        p.drawText(QRect(60, 380, 600, 30), Qt::AlignLeft,
                   "This picture illustrates the kind of message to look for in your Inbox.");
    } else {
        p.setFont(title);
        p.drawText(QRect(60, 80, 600, 40), Qt::AlignLeft, "Signing in from other apps");
        p.setFont(body);
        p.drawText(QRect(60, 130, 600, 90), Qt::TextWordWrap,
                   "In your account's security settings, turn on 2-step verification, then "
                   "open \"App passwords\", choose \"Mail\" and create a password. Type that "
                   "password into the Password box of this program.");
        // A settings row with its switch.
        p.setPen(QColor("#c9d1d9"));
        p.setBrush(QColor("#f7f9fb"));
        p.drawRoundedRect(60, 240, 600, 56, 6, 6);
        p.setPen(QColor("#1d2a38"));
        p.drawText(QRect(80, 240, 400, 56), Qt::AlignVCenter, "App passwords");
        p.setBrush(QColor("#2f7fc1"));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(580, 256, 48, 24, 12, 12);
        p.setBrush(Qt::white);
        p.drawEllipse(606, 259, 18, 18);
        p.setPen(QColor("#1d2a38"));
        p.setBrush(QColor("#fff4c2"));
        p.drawRoundedRect(60, 316, 600, 48, 6, 6);
        p.drawText(QRect(80, 316, 560, 48), Qt::AlignVCenter,
                   "Your app password:  abcd efgh ijkl mnop");
        p.setPen(QColor("#5b6673"));
        p.setFont(small);
        p.drawText(QRect(60, 380, 600, 30), Qt::AlignLeft,
                   "An illustration: the names of the settings may differ on your account.");
    }
    p.end();
    image.save(path, "JPG", 90);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    renderIcons(folder);
    QFile cursor(folder + "/HAND-M.CUR");
    cursor.open(QIODevice::WriteOnly);
    cursor.write(cursorFile(drawHand(), 9, 1));
    cursor.close();
    QDir().mkpath(folder + "/Pictures");
    drawNoticePicture(folder + "/Pictures/less-secure-apps1.jpg", false);
    drawNoticePicture(folder + "/Pictures/less-secure-apps2.jpg", true);
    return 0;
}
