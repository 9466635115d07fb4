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

// The two pictures behind a refused login: where the app-password page of a Google Account
// is reached, and what an app password looks like once made.
void drawAppPasswordPicture(const QString& path, bool second) {
    QImage image(720, 460, QImage::Format_RGB32);
    image.fill(QColor("#f1f3f5"));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont title("Liberation Sans", 17, QFont::Bold);
    QFont body("Liberation Sans", 12);
    QFont small("Liberation Sans", 10);
    QFont letters("Liberation Mono", 20, QFont::Bold);
    const QColor ink("#1d2a38"), grey("#5b6673"), line("#c9d1d9"), blue("#2f7fc1");
    // A browser window: its bar and a white page.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#3b6ea5"));
    p.drawRect(0, 0, 720, 40);
    p.setBrush(Qt::white);
    p.drawRoundedRect(16, 8, 688, 24, 12, 12);
    p.setPen(grey);
    p.setFont(small);
    p.drawText(QRect(32, 8, 660, 24), Qt::AlignVCenter,
               second ? "myaccount.google.com/apppasswords" : "myaccount.google.com/security");
    p.setPen(line);
    p.drawRoundedRect(30, 60, 660, 370, 8, 8);
    if (!second) {
        // The account's menu with Security chosen, and the security page beside it.
        p.setFont(body);
        const char* menu[] = {"Home", "Personal info", "Security", "Data & privacy"};
        for (int i = 0; i < 4; ++i) {
            if (i == 2) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor("#e3eefa"));
                p.drawRoundedRect(40, 88 + i * 40, 150, 32, 16, 16);
            }
            p.setPen(i == 2 ? blue : ink);
            p.drawText(QRect(56, 88 + i * 40, 140, 32), Qt::AlignVCenter, menu[i]);
        }
        p.setPen(line);
        p.drawLine(205, 80, 205, 370);
        p.setPen(ink);
        p.setFont(title);
        p.drawText(QRect(225, 78, 440, 36), Qt::AlignLeft, "How you sign in to Google");
        p.setFont(body);
        const auto row = [&](int y, const QString& name, const QString& state, bool marked) {
            p.setPen(marked ? blue : line);
            p.setBrush(marked ? QColor("#fff4c2") : QColor("#f7f9fb"));
            p.drawRoundedRect(225, y, 440, 50, 6, 6);
            p.setPen(ink);
            p.drawText(QRect(245, y, 260, 50), Qt::AlignVCenter, name);
            p.setPen(grey);
            p.drawText(QRect(445, y, 200, 50), Qt::AlignVCenter | Qt::AlignRight, state);
        };
        row(130, "1.  2-Step Verification", "On", false);
        row(195, "2.  App passwords", "Create  >", true);
        p.setPen(grey);
        p.setFont(small);
        p.drawText(QRect(225, 262, 440, 90), Qt::TextWordWrap,
                   "Turn on 2-Step Verification first: the App passwords page appears only "
                   "then. If you cannot see it, type \"App passwords\" into the search field "
                   "of your Google Account.");
        p.drawText(QRect(60, 392, 600, 30), Qt::AlignLeft,
                   "An illustration: the page may look different on your account.");
    } else {
        p.setPen(ink);
        p.setFont(title);
        p.drawText(QRect(60, 80, 600, 40), Qt::AlignLeft, "Your app password for Parlivo");
        p.setBrush(QColor("#fff4c2"));
        p.setPen(blue);
        p.drawRoundedRect(60, 140, 600, 70, 8, 8);
        p.setFont(letters);
        p.setPen(ink);
        p.drawText(QRect(60, 140, 600, 70), Qt::AlignCenter, "abcd efgh ijkl mnop");
        p.setFont(body);
        p.drawText(QRect(60, 230, 600, 110), Qt::TextWordWrap,
                   "Type these 16 letters into the Password box of Parlivo, with or without "
                   "the blanks, and keep your user name as it is. Google shows the app password "
                   "only once: if you lose it, delete it and create a new one.");
        p.setPen(grey);
        p.setFont(small);
        p.drawText(QRect(60, 392, 600, 30), Qt::AlignLeft,
                   "An illustration: your app password has other letters.");
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
    drawAppPasswordPicture(folder + "/Pictures/less-secure-apps1.jpg", false);
    drawAppPasswordPicture(folder + "/Pictures/less-secure-apps2.jpg", true);
    return 0;
}
