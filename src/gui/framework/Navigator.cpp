#include "Navigator.h"

#include "Page.h"
#include "UnitScrim.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <algorithm>
#include <vector>

namespace {
bool instant = false;
constexpr int kDuration = 220;

// The pages the navigator holds, in push order.
struct Pushed {
    Page* page;
    QPointer<UnitScrim> scrim;
    int kind;
    Transition transition;
};
std::vector<Pushed>& pushed() {
    static std::vector<Pushed> list;
    return list;
}

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

namespace {
UnitScrim* dimHost(QWidget* host) {
    auto* scrim = new UnitScrim(host);
    scrim->show();
    scrim->raise();
    animate(scrim, "Dim", 0, UnitScrim::FullDim);
    return scrim;
}

void placeCentred(QWidget* host, QWidget* dialog, Transition t) {
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
}

Page* push(QWidget* host, Page* page, Transition t, int kind, std::function<void()> left,
           bool modal) {
    if (Page* open = Find(kind)) {
        if (open != page) delete page;
        return open;
    }
    Pushed entry{page, modal ? dimHost(host) : nullptr, kind, t};
    pushed().push_back(entry);
    // Destroyed with its host, without a pop: forget it so its kind can open again.
    QObject::connect(page, &QObject::destroyed, [page] {
        auto& list = pushed();
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->page != page) continue;
            if (it->scrim) it->scrim->deleteLater();
            list.erase(it);
            break;
        }
    });
    // The operator left it: the opener's reaction first (a save, a sound), then the pop;
    // a second completion of a page on its way out does nothing.
    QObject::connect(page, &Page::completed, page, [page, left = std::move(left)] {
        auto& list = pushed();
        bool held = std::any_of(list.begin(), list.end(),
                                [page](const Pushed& e) { return e.page == page; });
        if (!held) return;
        if (left) left();
        Pop(page);
    });
    if (!modal) {
        Present(host, page, t);
    } else if (t == Transition::SlideDown) {
        int h = page->sizeHint().height() > 0 ? page->sizeHint().height() : host->height() / 2;
        Present(host, page, t, QRect(0, 0, host->width(), h));
    } else {
        placeCentred(host, page, t);
    }
    page->Init();
    return page;
}
} // namespace

Page* Push(QWidget* host, Page* page, Transition t, int kind, std::function<void()> left) {
    return push(host, page, t, kind, std::move(left), false);
}

Page* PushModal(QWidget* host, Page* page, Transition t, int kind, std::function<void()> left) {
    return push(host, page, t, kind, std::move(left), true);
}

bool Pop(Page* page) {
    auto& list = pushed();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->page != page) continue;
        Pushed entry = *it;
        list.erase(it);
        if (entry.scrim) {
            entry.scrim->hide();
            entry.scrim->deleteLater();
        }
        Dismiss(page,
                entry.transition == Transition::SlideDown ? Transition::SlideUp : Transition::None);
        return true;
    }
    return false;
}

Page* Find(int kind) {
    if (kind < 0) return nullptr;
    for (const Pushed& e : pushed())
        if (e.kind == kind) return e.page;
    return nullptr;
}

ModalHandle PresentModal(QWidget* host, QWidget* dialog, Transition t) {
    ModalHandle h;
    h.scrim = dimHost(host);
    placeCentred(host, dialog, t);
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
