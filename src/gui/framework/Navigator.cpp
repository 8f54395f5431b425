#include "Navigator.h"

#include "UnitScrim.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

namespace {
bool instant = false;
constexpr int kDuration = 220;

void animate(QObject* target, const QByteArray& prop, const QVariant& from, const QVariant& to,
             std::function<void()> done = nullptr) {
    if (instant) {
        target->setProperty(prop.constData(), to);
        if (done) done();
        return;
    }
    auto* a = new QPropertyAnimation(target, prop, target);
    a->setDuration(kDuration);
    a->setStartValue(from);
    a->setEndValue(to);
    a->setEasingCurve(QEasingCurve::OutCubic);
    if (done) QObject::connect(a, &QPropertyAnimation::finished, target, done);
    a->start(QAbstractAnimation::DeleteWhenStopped);
}
} // namespace

namespace Navigator {

void SetInstant(bool on) {
    instant = on;
}
bool Instant() {
    return instant;
}
int DurationMs() {
    return instant ? 0 : kDuration;
}

void SlideIn(QWidget* w, QRect final, Transition direction) {
    QRect start = final;
    switch (direction) {
    case Transition::SlideLeft:
        start.moveLeft(final.left() + final.width());
        break;
    case Transition::SlideDown:
        start.moveTop(final.top() - final.height());
        break;
    case Transition::SlideUp:
        start.moveTop(final.top() + final.height());
        break;
    default:
        break;
    }
    w->setGeometry(start);
    animate(w, "geometry", start, final);
}

void FadeIn(QWidget* w) {
    auto* fx = new QGraphicsOpacityEffect(w);
    w->setGraphicsEffect(fx);
    animate(fx, "opacity", 0.0, 1.0, [w] {
        // Effects render through an offscreen buffer: drop it once fully shown.
        w->setGraphicsEffect(nullptr);
    });
}

void ScaleIn(QWidget* w, QRect final) {
    QRect start(0, 0, final.width() * 8 / 10, final.height() * 8 / 10);
    start.moveCenter(final.center());
    w->setGeometry(start);
    animate(w, "geometry", start, final);
}

void Present(QWidget* host, QWidget* page, Transition t, QRect area) {
    if (area.isEmpty()) area = host->rect();
    page->setParent(host);
    page->setGeometry(area);
    page->show();
    page->raise();
    switch (t) {
    case Transition::SlideLeft:
    case Transition::SlideDown:
    case Transition::SlideUp:
        SlideIn(page, area, t);
        break;
    case Transition::Fade:
        FadeIn(page);
        break;
    case Transition::Scale:
        ScaleIn(page, area);
        break;
    case Transition::None:
        break;
    }
}

void Dismiss(QWidget* page, Transition t) {
    if (!page) return;
    if (t == Transition::SlideUp && !instant) {
        QRect end = page->geometry();
        end.moveTop(end.top() - end.height());
        animate(page, "geometry", page->geometry(), end, [page] { page->deleteLater(); });
        return;
    }
    page->hide();
    page->deleteLater();
}

ModalHandle PresentModal(QWidget* host, QWidget* dialog, Transition t) {
    ModalHandle h;
    h.scrim = new UnitScrim(host);
    h.scrim->show();
    h.scrim->raise();
    animate(h.scrim, "Dim", 0, UnitScrim::FullDim);
    dialog->setParent(host);
    dialog->adjustSize();
    QRect final(QPoint(0, 0), dialog->size());
    final.moveCenter(host->rect().center());
    dialog->setGeometry(final);
    dialog->show();
    dialog->raise();
    if (t == Transition::Scale)
        ScaleIn(dialog, final);
    else if (t == Transition::Fade)
        FadeIn(dialog);
    h.dialog = dialog;
    return h;
}

void DismissModal(ModalHandle& h) {
    if (h.dialog) {
        h.dialog->hide();
        h.dialog->deleteLater();
    }
    if (h.scrim) {
        h.scrim->hide();
        h.scrim->deleteLater();
    }
    h.dialog = nullptr;
    h.scrim = nullptr;
}

} // namespace Navigator
