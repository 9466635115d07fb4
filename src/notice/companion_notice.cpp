#include "notice/companion_notice.h"

#include "core/error_report.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "core/twips.h"
#include "platform/desktop.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace notice {

using core::twips;

Form2::Form2(platform::Desktop& desktop, QString programFolder)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop), programFolder_(std::move(programFolder)), pointer_(this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setFixedSize(core::pixels(8040), core::pixels(1155));
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    setFont(font);
    setMouseTracking(true);

    Label1 = new QLabel(QStringLiteral("Gmail is not an efficient way to send text messages. "
                                       "There is new Quorvane software that allows for sending "
                                       "bulk text messages at ") +
                            kCompanionAddress,
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(twips(120, 90, 7890, 825));
    Label1->setAttribute(Qt::WA_NoMousePropagation); // movement over the label changes nothing

    PushButton1 = new QPushButton(
        QStringLiteral("Open ") + kCompanionAddress + QStringLiteral(" In Your Browser"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    QFont buttonFont = font;
    buttonFont.setPointSizeF(11.25);
    PushButton1->setFont(buttonFont);
    PushButton1->setGeometry(twips(120, 630, 7800, 405));
    PushButton1->setMouseTracking(true);
    PushButton1->setAttribute(Qt::WA_NoMousePropagation);
    PushButton1->installEventFilter(this);
    PushButton1->setAccessibleName(PushButton1->text());
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
}

void Form2::Form_Load() {
    core::Procedure p(desktop_, core::qualifiedName("Form2", "Form_Load"));
    p.step(100, [&] { core::ApplyStandardColors(this); });
    p.step(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    p.step(104, [&] { setWindowTitle(QStringLiteral("Parlivo")); });
    core::loadHandCursorIfPresent(p, 106, pointer_, programFolder_);
}

void Form2::showCentred() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void Form2::keepClearOf(const QRect& frame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !frameGeometry().intersects(frame))
        return;
    const QRect room = screen->availableGeometry();
    const int height = frameGeometry().height();
    const int left = room.center().x() - frameGeometry().width() / 2;
    if (frame.bottom() + 8 + height <= room.bottom())
        move(left, frame.bottom() + 8);
    else if (frame.top() - 8 - height >= room.top())
        move(left, frame.top() - 8 - height);
}

void Form2::PushButton1_Click() {
    core::Procedure p(desktop_, core::qualifiedName("Form2", "PushButton1_Click"));
    p.step(100, [&] { core::OpenDocument(desktop_, kCompanionAddress); });
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    pointer_.movedOver(core::kDefaultPointer);
    QWidget::mouseMoveEvent(event);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && watched == PushButton1)
        pointer_.movedOver(core::kHandPointer);
    return QWidget::eventFilter(watched, event);
}

} // namespace notice
