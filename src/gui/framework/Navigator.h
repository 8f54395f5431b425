// Presenting and dismissing screens and dialogs over a host widget, with the slide,
// fade and scale transitions. Dialogs sit over a dimming scrim that makes them modal.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

class UnitScrim;

enum class Transition { None, SlideLeft, SlideDown, SlideUp, Fade, Scale };

// A dialog and its scrim as presented together.
struct ModalHandle {
    QPointer<QWidget> dialog;
    QPointer<UnitScrim> scrim;
    bool Open() const { return !dialog.isNull(); }
};

namespace Navigator {
// Tests turn transitions off so every state is final right after the call.
void SetInstant(bool instant);
bool Instant();
int DurationMs();

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
