// Presenting and dismissing screens and dialogs over a host widget, with the slide,
// fade and scale transitions. Dialogs sit over a dimming scrim that makes them modal.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

class Page;
class UnitScrim;

enum class Transition { None, SlideLeft, SlideDown, SlideUp, Fade, Scale };

// A dialog and its scrim as presented together.
struct ModalHandle {
    QPointer<QWidget> dialog;
    QPointer<UnitScrim> scrim;
    bool Open() const { return !dialog.isNull(); }
    // The open dialog as its own class; null when closed or of another class.
    template <class T> T* As() const { return qobject_cast<T*>(dialog.data()); }
};

namespace Navigator {
// Tests turn transitions off so every state is final right after the call.
void SetInstant(bool instant);
bool Instant();
int DurationMs();

// Screens (pages) are pushed and popped here, and only here: the navigator shows the page
// over `host`, calls its Init() and keeps it until it is popped; the page's `completed`
// runs `left` (the opener's reaction to the operator leaving it) and pops it. A `kind`
// >= 0 allows one open page of that kind: pushing another deletes the new page and
// returns the open one.
// Push: slides in (or fades in) over the host's whole area.
Page* Push(QWidget* host, Page* page, Transition t = Transition::SlideLeft, int kind = -1,
           std::function<void()> left = nullptr);
// PushModal: over a dimming scrim; scaled or faded in at the centre, or with SlideDown
// slid down from the top edge at its own height and slid back up when popped.
Page* PushModal(QWidget* host, Page* page, Transition t = Transition::Scale, int kind = -1,
                std::function<void()> left = nullptr);
// Takes a pushed page (and its scrim) off the screen and deletes it; false when it was
// not pushed or is gone already. No `left` reaction: the opener closes it.
bool Pop(Page* page);
// The open page of a kind, or nullptr.
Page* Find(int kind);

// Widgets that are not screens (menus, prompts, message boxes) are presented directly:

// Shows `page` as a child of `host` in `area` (the host's rect when empty).
void Present(QWidget* host, QWidget* page, Transition t, QRect area = QRect());
// Runs the leaving transition, then deletes the widget.
void Dismiss(QWidget* page, Transition t = Transition::None);
// Dims the host (fading scrim) and shows `dialog` centred over it, scaling in.
ModalHandle PresentModal(QWidget* host, QWidget* dialog, Transition t = Transition::Scale);
void DismissModal(ModalHandle& h);

// The transitions themselves (QPropertyAnimation on geometry, opacity and dim).
void SlideIn(QWidget* w, QRect final, Transition direction);
void FadeIn(QWidget* w);
void ScaleIn(QWidget* w, QRect final);
} // namespace Navigator
